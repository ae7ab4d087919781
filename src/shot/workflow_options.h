#pragma once
// The options that shape what is taken of a page and how the browser meets it: the part
// of the page, what is hidden, added or awaited, who the browser says it is, the output's
// form. Each is checked here, before anything loads.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

struct ShotOptions;

struct WorkflowOptions {
    QCommandLineOption selector, padding, clip, hide, remove, style, script, waitFor, delay, header,
        cookie, cookies, userAgent, auth, colorScheme, reducedMotion, format, json, shard, pdfPage;

    void AddTo(QCommandLineParser& parser) const;
    // Reads the options given into `o`; the reason the first unusable one is not usable,
    // or nothing.
    QString Read(const QCommandLineParser& parser, ShotOptions& o) const;
};

// An option's text, or the content of FILE for "@FILE" (a file or a pipe of UTF-8, 1 MiB
// at most); empty with `error` set when it cannot be read.
QString OptionText(const QString& value, QString* error);

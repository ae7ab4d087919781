#pragma once
#include <QString>

// What became of a file operation: done, or not and why, in words a message can show
// after the file's name ("not a regular file", "truncated: 54 of 1254 bytes").
struct FileOutcome {
    bool ok = false;
    QString reason;  // empty when ok

    static FileOutcome Done() { return {true, QString()}; }
    static FileOutcome Failed(const QString& why) { return {false, why}; }
};

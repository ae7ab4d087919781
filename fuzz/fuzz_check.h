#pragma once
// A fuzz target's own checks: a broken promise aborts, so libFuzzer (and the replay
// test) report the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// Settings text as the readers promise it: UTF-8 where the bytes are UTF-8, and Latin-1,
// byte for character, where they are not.
inline QString SettingsText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

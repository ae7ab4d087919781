#pragma once
#include <QString>

// The one shape of a failure across the layers: done, or not and why, in words a
// message can show after the file's name ("not a regular file", "truncated: 54 of 1254
// bytes"). Tests as a bool; never thrown.
struct Outcome {
    bool ok = false;
    QString reason;  // empty when ok

    explicit operator bool() const { return ok; }

    static Outcome Done() { return {true, QString()}; }
    static Outcome Failed(const QString& why) { return {false, why}; }
};

#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// Sequential text files as the settings use them: 8-bit text, every written line
// ends with CR LF, each write replaces the whole file.

// "Print" each item on its own line; the file is replaced atomically, so a failed
// write leaves the earlier file whole. False when the file cannot be written.
bool PrintLines(const QString& path, const QStringList& lines);

// "Line Input" of the first line, without its line end. Lines may end in CR LF, LF
// or CR. Nothing when the file cannot be read or holds no line at all (zero bytes).
std::optional<QString> LineInputFirst(const QString& path);

// "Input" of the next `count` values: each skips spaces and line ends before it and
// stops at a space, comma or line end. Nothing when the file cannot be read or holds
// fewer values.
std::optional<QStringList> InputValues(const QString& path, int count);

// A value read by InputValues as a single-precision number; nothing when the text
// is not a number (a word in place of a bar position).
std::optional<float> ToSingle(const QString& value);

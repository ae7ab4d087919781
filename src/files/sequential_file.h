#pragma once
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <optional>

#include "files/outcome.h"

// Sequential text files as the settings use them: UTF-8 text in every locale (a file
// that is not valid UTF-8 reads as Latin-1), every written line ends with CR LF, each
// write replaces the whole file. Readers take regular files of
// bounded size only and read no further than what they return.

// Settings files longer than this are refused whole: the address line holds what a
// browser accepts (2 MB and more), the other settings a few numbers.
inline constexpr qint64 kSettingLineLimit = 8 << 20;
inline constexpr qint64 kSettingValuesLimit = 1 << 20;

// "Print" each item on its own line; the file, one of the program's own, is replaced
// atomically, so a failed write leaves the earlier file whole, and a link in its place is
// replaced rather than written through. Not done, and why, when it cannot be written.
Outcome PrintLines(const QString& path, const QStringList& lines);

// "Line Input" of the first line, without its line end. Lines may end in CR LF, LF
// or CR. Nothing when the file cannot be read, is no regular file, is longer than
// `limit` bytes or holds no line at all (zero bytes).
std::optional<QString> LineInputFirst(const QString& path, qint64 limit = kSettingLineLimit);
// The same from an open device, reading at most `limit` bytes of it.
std::optional<QString> LineInputFirst(QIODevice& device, qint64 limit);

// "Input" of the next `count` values: each skips spaces and line ends before it and
// stops at a space, comma or line end. Nothing when the file cannot be read, is no
// regular file, is longer than `limit` bytes or holds fewer values.
std::optional<QStringList> InputValues(const QString& path, int count,
                                       qint64 limit = kSettingValuesLimit);
std::optional<QStringList> InputValues(QIODevice& device, int count, qint64 limit);

// A value read by InputValues as a single-precision number; nothing when the text
// is not a number (a word in place of a bar position) or not a finite single (INF,
// NAN, or 1e39, beyond the largest single).
std::optional<float> ToSingle(const QString& value);

#pragma once
// The three settings files in the program folder: url.txt, rows.txt, barpos.txt.
#include <QString>
#include <array>
#include <optional>

#include "files/outcome.h"
#include "files/program_files.h"

// First line of url.txt or rows.txt; nothing when the file is missing or empty, is no
// regular file (a pipe, a device) or is longer than kSettingLineLimit.
std::optional<QString> ReadSettingLine(const QString& path);

// Replaces the file with the text and CR LF. Not done, and why, when it cannot be written.
Outcome WriteSettingLine(const QString& path, const QString& text);

// The four bar places of the last crop, in file order: left bar, right bar, top bar,
// bottom bar. Nothing when the file is missing or has fewer than four values; a value
// that is not a number, or not a finite single, is itself empty, and only that bar
// keeps its default. A file that is no regular file or is over kSettingValuesLimit
// bytes reads as missing. Numbers are read and written with "." in every locale.
using BarPositions = std::array<std::optional<float>, 4>;
std::optional<BarPositions> ReadBarPositions();

// Not done, and the file left as it was, when it cannot be written or a place is not
// finite.
Outcome WriteBarPositions(const std::array<float, 4>& places);

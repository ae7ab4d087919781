#pragma once
// The three settings files in the program folder: url.txt, rows.txt, barpos.txt.
#include <QString>
#include <array>
#include <optional>

QString UrlFilePath();
QString RowsFilePath();
QString BarPosFilePath();

// First line of url.txt or rows.txt; nothing when the file is missing or empty.
std::optional<QString> ReadSettingLine(const QString& path);

// Replaces the file with the text and CR LF. False when it cannot be written.
bool WriteSettingLine(const QString& path, const QString& text);

// The four bar places of the last crop, in file order: left bar, right bar, top bar,
// bottom bar. Nothing when the file is missing or has fewer than four values; a value
// that is not a number is itself empty, and only that bar keeps its default.
using BarPositions = std::array<std::optional<float>, 4>;
std::optional<BarPositions> ReadBarPositions();

bool WriteBarPositions(const std::array<float, 4>& places);

#include "engine/settings_files.h"

#include <cmath>

#include "engine/print_number.h"
#include "files/program_folder.h"
#include "files/sequential_file.h"

QString UrlFilePath() {
    return AppFile(QStringLiteral("url.txt"));
}
QString RowsFilePath() {
    return AppFile(QStringLiteral("rows.txt"));
}
QString BarPosFilePath() {
    return AppFile(QStringLiteral("barpos.txt"));
}

std::optional<QString> ReadSettingLine(const QString& path) {
    return LineInputFirst(path);
}

bool WriteSettingLine(const QString& path, const QString& text) {
    return PrintLines(path, {text});
}

std::optional<BarPositions> ReadBarPositions() {
    const auto values = InputValues(BarPosFilePath(), 4);
    if (!values) return std::nullopt;
    BarPositions places;
    for (int i = 0; i < 4; ++i) places[i] = ToSingle(values->at(i));
    return places;
}

bool WriteBarPositions(const std::array<float, 4>& places) {
    // INF or NAN in the file would only come back as a default place, so the file
    // keeps the last places that were real.
    for (float place : places)
        if (!std::isfinite(place)) return false;
    QStringList lines;
    for (float place : places) lines << PrintNumber(place);
    return PrintLines(BarPosFilePath(), lines);
}

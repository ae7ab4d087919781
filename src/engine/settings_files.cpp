#include "engine/settings_files.h"

#include <cmath>

#include "engine/print_number.h"
#include "files/program_files.h"
#include "files/sequential_file.h"

std::optional<QString> ReadSettingLine(const QString& path) {
    return LineInputFirst(path);
}

Outcome WriteSettingLine(const QString& path, const QString& text) {
    return PrintLines(path, {text});
}

std::optional<BarPositions> ReadBarPositions() {
    const auto values = InputValues(BarPosFilePath(), 4);
    if (!values) return std::nullopt;
    BarPositions places;
    for (int i = 0; i < 4; ++i) places[i] = ToSingle(values->at(i));
    return places;
}

Outcome WriteBarPositions(const std::array<float, 4>& places) {
    // INF or NAN in the file would only come back as a default place, so the file
    // keeps the last places that were real.
    for (float place : places)
        if (!std::isfinite(place)) return Outcome::Failed(QStringLiteral("a bar has no place"));
    QStringList lines;
    for (float place : places) lines << PrintNumber(place);
    return PrintLines(BarPosFilePath(), lines);
}

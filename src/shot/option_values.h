#pragma once
// Reading an option's value, and the one shape of the message when it is not usable.
#include <QString>
#include <cmath>
#include <optional>

// A whole number from `low` to `high`, spaces around it allowed.
inline std::optional<int> WholeIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

// Greater than `low` (or equal when `lowIncluded`), at most `high`, and finite.
inline std::optional<double> NumberIn(const QString& text, double low, bool lowIncluded,
                                      double high) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    if (value < low || (!lowIncluded && value == low) || value > high) return std::nullopt;
    return value;
}

// "--option: 'value' is not what it should be".
inline QString Bad(const QString& option, const QString& value, const QString& want) {
    return QStringLiteral("--%1: '%2' is not %3").arg(option, value, want);
}

#include "engine/print_number.h"

#include <charconv>
#include <cmath>
#include <string>

QString PrintNumber(float value) {
    if (value == 0 || std::isnan(value)) return QStringLiteral(" 0 ");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF ") : QStringLiteral(" INF ");
    // to_chars writes "." whatever the locale, unlike printf under LC_NUMERIC.
    char buf[64];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, static_cast<double>(std::fabs(value)),
                      std::chars_format::general, 7);
    std::string digits(buf, ec == std::errc() ? end : buf);
    for (char& c : digits)
        if (c == 'e') c = 'E';
    // The general format keeps trailing zeros away but writes "1.5E+07"; the print
    // statement writes the exponent the same way, so only the leading zero needs to go.
    if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
    const char* sign = value < 0 ? "-" : " ";
    return QString::fromLatin1(sign) + QString::fromLatin1(digits.c_str()) + u' ';
}

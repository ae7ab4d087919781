#include "platform/print_number.h"

#include <cmath>
#include <cstdio>
#include <string>

QString PrintNumber(float value) {
    if (value == 0 || std::isnan(value)) return QStringLiteral(" 0 ");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(std::fabs(value)));
    std::string digits = buf;
    // "%G" keeps trailing zeros away but writes "1.5E+07"; the print statement
    // writes the exponent the same way, so only the leading zero needs to go.
    if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
    const char* sign = value < 0 ? "-" : " ";
    return QString::fromLatin1(sign) + QString::fromLatin1(digits.c_str()) + u' ';
}

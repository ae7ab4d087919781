#include "engine/val.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsIgnored(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

std::string Compact(QStringView text) {
    std::string out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (IsIgnored(c)) continue;
        // Anything outside ASCII ends every number, so a stand-in byte is enough.
        out.push_back(c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x7f');
    }
    return out;
}

// Hexadecimal and octal literals keep the integer widths they were typed for: up to
// 16 bits they read as a signed 16-bit value, up to 32 bits as a signed 32-bit one.
double RadixValue(const std::string& s, size_t pos, int radix) {
    uint64_t value = 0;
    bool any = false;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (radix == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (radix == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0 || digit >= radix) break;
        any = true;
        if (value > (uint64_t{1} << 40)) break;  // far past 32 bits: stop growing
        value = value * radix + digit;
    }
    if (!any) return 0;
    if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
    if (value <= 0xFFFFFFFFu) return static_cast<int32_t>(static_cast<uint32_t>(value));
    return static_cast<double>(value);
}

// strtod in the C locale, whatever LC_NUMERIC the program runs under: the decimal
// point is always ".". strtod keeps its overflow and underflow results (HUGE_VAL, 0).
double CLocaleStrtod(const std::string& number) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(number.c_str(), nullptr, c);
}

}  // namespace

double Val(QStringView text) {
    const std::string s = Compact(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'h' || s[1] == 'H') return RadixValue(s, 2, 16);
        if (s[1] == 'o' || s[1] == 'O') return RadixValue(s, 2, 8);
        return 0;
    }

    // Longest prefix of the form [sign] digits [. digits] [(E|D) [sign] digits].
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number.push_back(s[i++]);
    bool mantissa = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') number.push_back(s[i++]), mantissa = true;
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            number.push_back(s[i++]), mantissa = true;
    }
    if (!mantissa) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
        bool digits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            exponent.push_back(s[j++]), digits = true;
        if (digits) number += exponent;
    }
    return CLocaleStrtod(number);
}

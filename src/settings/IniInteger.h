#pragma once
// Integer values of the settings file. They are parsed here rather than by the
// platform's profile functions so that "-1" and "4294967295" both read as -1 on
// every platform: decimal digits with an optional minus sign, modulo 2^32.
#include <cstdint>

namespace tolltone {

// A value with no digits (missing, empty or garbage) gives fallback. Leading
// blanks are skipped; anything after the digits is ignored.
template <class Unit>
int32_t ParseIniInteger(const Unit* text, int32_t fallback) {
    const Unit* p = text;
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    const bool negative = *p == Unit('-');
    if (negative) ++p;
    if (*p < Unit('0') || *p > Unit('9')) return fallback;
    uint32_t value = 0;
    for (; *p >= Unit('0') && *p <= Unit('9'); ++p)
        value = value * 10u + static_cast<uint32_t>(*p - Unit('0'));
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

// Formats as "%u" (unsignedForm) or "%d". The buffer holds any 32-bit value.
struct IniIntegerText {
    wchar_t text[12];
};

inline IniIntegerText FormatIniInteger(int32_t value, bool unsignedForm) {
    IniIntegerText out{};
    const bool negative = !unsignedForm && value < 0;
    uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    wchar_t digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    int length = 0;
    if (negative) out.text[length++] = L'-';
    while (count > 0) out.text[length++] = digits[--count];
    out.text[length] = L'\0';
    return out;
}

} // namespace tolltone

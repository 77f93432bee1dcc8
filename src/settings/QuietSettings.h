#pragma once
// The optional quiet keys of the settings file. The user writes them by hand; the
// module reads them with the five settings and never writes them.
#include <cstdint>

namespace tolltone {

inline constexpr int MinutesPerDay = 24 * 60;

// A local wall-clock window [start, end) in minutes of the day. start > end
// crosses midnight; equal ends (also the default) mean no quiet hours.
struct QuietHours {
    int startMinute = 0;
    int endMinute = 0;
};

struct QuietSettings {
    QuietHours Hours;
    int32_t WhenBusy = 0;    // non-zero: no chime while the user is busy
    int32_t WhenLocked = 0;  // non-zero: no chime while the screen is locked
};

namespace quiet_detail {

template <class Unit>
const Unit* SkipBlanks(const Unit* p) {
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    return p;
}

template <class Unit>
bool IsDigit(Unit c) {
    return c >= Unit('0') && c <= Unit('9');
}

// "H:MM" or "HH:MM" with hour 0-23 and minute 00-59; advances p past it.
template <class Unit>
bool ParseClockTime(const Unit*& p, int& minuteOfDay) {
    if (!IsDigit(*p)) return false;
    int hour = *p++ - Unit('0');
    if (IsDigit(*p)) hour = hour * 10 + (*p++ - Unit('0'));
    if (hour > 23 || *p++ != Unit(':')) return false;
    if (!IsDigit(p[0]) || !IsDigit(p[1])) return false;
    const int minute = (p[0] - Unit('0')) * 10 + (p[1] - Unit('0'));
    p += 2;
    if (minute > 59) return false;
    minuteOfDay = hour * 60 + minute;
    return true;
}

} // namespace quiet_detail

// Parses "HH:MM-HH:MM", blanks allowed around either time. Anything malformed
// gives no quiet hours: a typo must never silence the module for good.
template <class Unit>
QuietHours ParseQuietHours(const Unit* text) {
    using namespace quiet_detail;
    QuietHours hours;
    const Unit* p = SkipBlanks(text);
    if (!ParseClockTime(p, hours.startMinute)) return {};
    p = SkipBlanks(p);
    if (*p++ != Unit('-')) return {};
    p = SkipBlanks(p);
    if (!ParseClockTime(p, hours.endMinute)) return {};
    if (*SkipBlanks(p) != Unit('\0')) return {};
    return hours;
}

} // namespace tolltone

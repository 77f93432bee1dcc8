#pragma once
// The optional quiet keys of the settings file: hours, busy, locked, days. The
// user sets them in the 詳細設定 dialog or by hand; the module reads them with
// the five settings.
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
    uint8_t Days = 0;        // bit d set: no chime on day d (0 = Sunday, as the clock counts)
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

// The day of a name, 0 = Sunday; -1 when it is none. English, three letters or
// the whole name, in any case.
template <class Unit>
int DayOfName(const Unit* name, int length) {
    constexpr const char* Names[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
    for (int day = 0; day < 7; ++day) {
        const char* full = Names[day];
        int i = 0;
        for (; i < length && full[i] != '\0'; ++i) {
            Unit c = name[i];
            if (c >= Unit('A') && c <= Unit('Z')) c = static_cast<Unit>(c - Unit('A') + Unit('a'));
            if (c != Unit(full[i])) break;
        }
        if (i == length && (length == 3 || full[i] == '\0')) return day;
    }
    return -1;
}

template <class Unit>
bool IsDaySeparator(Unit c) {
    return c == Unit(',') || c == Unit(' ') || c == Unit('\t');
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

// Parses a list of day names ("Sat,Sun", "sat sun", "Saturday, Sunday") separated
// by commas and blanks into QuietSettings::Days. One word that is not a day makes
// the whole value malformed: no quiet days, as for QuietHours.
template <class Unit>
uint8_t ParseQuietDays(const Unit* text) {
    using namespace quiet_detail;
    uint8_t days = 0;
    const Unit* p = text;
    for (;;) {
        while (IsDaySeparator(*p)) ++p;
        if (*p == Unit('\0')) return days;
        const Unit* word = p;
        while (*p != Unit('\0') && !IsDaySeparator(*p)) ++p;
        const int day = DayOfName(word, static_cast<int>(p - word));
        if (day < 0) return 0;
        days = static_cast<uint8_t>(days | (1u << day));
    }
}

} // namespace tolltone

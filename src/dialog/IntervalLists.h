#pragma once
// The intervals the dialog offers: the label shown (minutes) and the seconds
// stored in Interval. A list ends at its first empty label, and never runs
// past MaxIntervalRows rows.
#include <cstdint>

namespace tolltone {

struct IntervalChoice {
    wchar_t label[16];
    int32_t seconds;
};

inline constexpr int MaxIntervalRows = 100;

// For sounding once per interval (radio 104).
inline constexpr IntervalChoice IntervalListOnce[] = {
    {L"None", -1}, {L"1", 60}, {L"5", 300}, {L"10", 600}, {L"15", 900}, {L"30", 1800}, {L"60", 3600}, {L"", 0},
};

// For striking the hour (radio 105).
inline constexpr IntervalChoice IntervalListStrike[] = {
    {L"None", -1}, {L"30", 1800}, {L"60", 3600}, {L"", 0},
};

// Number of rows before the end row.
inline int IntervalRowCount(const IntervalChoice* list) {
    int rows = 0;
    while (rows < MaxIntervalRows && list[rows].label[0] != L'\0') ++rows;
    return rows;
}

// The row whose seconds equal seconds, or -1.
inline int IntervalRowOf(const IntervalChoice* list, int32_t seconds) {
    const int rows = IntervalRowCount(list);
    for (int row = 0; row < rows; ++row)
        if (list[row].seconds == seconds) return row;
    return -1;
}

} // namespace tolltone

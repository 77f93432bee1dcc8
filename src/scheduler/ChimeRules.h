#pragma once
// Arithmetic of the chime: when to fire, which minutes chime, how many strokes.
#include <cstdint>

namespace tolltone {

inline constexpr unsigned ChimeTimerId = 5000;
inline constexpr int MaxSameMinuteSleeps = 30;
inline constexpr unsigned SameMinuteSleepMs = 100;

// Delay that makes the timer run out at the start of the next minute.
constexpr unsigned ArmDelayMs(int second) {
    return static_cast<unsigned>(60 - second % 60) * 1000u;
}

// Minutes between chimes. The division is unsigned, so a negative Interval other
// than -1 becomes a huge step that only minute 0 divides.
constexpr uint32_t IntervalStep(int32_t interval) {
    return static_cast<uint32_t>(interval) / 60u;
}

// Chime minutes are aligned to the hour. Intervals below a minute (step 0) are not
// offered by the dialog but may be hand-written: they chime every minute.
constexpr bool IsChimeMinute(int minute, int32_t interval) {
    const uint32_t step = IntervalStep(interval);
    return step == 0 || static_cast<uint32_t>(minute) % step == 0;
}

// Strokes for striking the hour: 1-12 or 1-24, a single stroke at half past.
constexpr int StrokeCount(int hour, int minute, int32_t timeType) {
    if (minute == 30) return 1;
    if (timeType != 0) return hour % 24 == 0 ? 24 : hour % 24;
    return hour % 12 == 0 ? 12 : hour % 12;
}

} // namespace tolltone

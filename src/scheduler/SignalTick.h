#pragma once
// The chime on the second (the OnTheSecond key). The timer runs out a little
// before the minute, less the sound's mark; the firing decides everything for
// the minute to come and starts the sound at once, with the silence (or
// without the part of its lead-in) that puts its first sample, or its mark, on
// the boundary. A second firing just after the boundary checks that the clock
// kept to it, and stops the sound when it did not: a check that comes late is
// told from a clock that moved by the awake count.
#include "scheduler/ChimeTick.h"

#include <cstdint>

namespace tolltone {

inline constexpr uint64_t MinuteMs = 60000;
// The timer runs out this long before the sound must start: the image made
// ahead is handed over, and a busy host's message may come late.
inline constexpr unsigned SignalMarginMs = 250;
// A firing up to this much before its time still serves the coming minute; one
// farther from it comes late for the minute under way, which sounds at once.
inline constexpr unsigned SignalSlackMs = 2000;
// The check runs this long after the boundary, so that a timer running out a
// tick early still finds it passed.
inline constexpr unsigned CheckDelayMs = 20;
// The check finds the clock moved (set forward or back, a wake from sleep)
// when it went this much farther or less far than the awake count since the
// firing that decided the sound; a check the host's busy thread delivered late
// moved both alike.
inline constexpr int64_t ClockMoveToleranceMs = 1500;
inline constexpr unsigned ShortestTimerMs = 10;  // the platform raises shorter ones

// The boundary last served, and a sound started ahead of its boundary (or, one
// that cannot start ahead, due at it) waiting for the check. Also, for either
// timing, a timer set only to look again for an image still being made.
struct SignalState {
    bool preparing = false;  // on the second: the timer looks again for preparingMs's image
    uint64_t preparingMs = 0;
    bool waiting = false;    // default timing: waitMinute chimes once its image is ready
    LocalClockReading waitMinute;
    uint64_t servedMs = 0;  // a minute is served once, told by its boundary
    bool pending = false;
    bool started = false;  // playing; else it is played by name at the check
    uint64_t boundaryMs = 0;
    LocalClockReading target;  // the local clock at the boundary
    uint64_t firedMs = 0;       // the precise clock at the firing that decided it
    uint64_t firedAwakeMs = 0;  // and the awake count
};

int ArmSignalTimer(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env);

// The longest silence an image is put behind: a firing that serves the coming
// minute comes at most this long before its sound must start.
inline constexpr unsigned LongestLeadSilenceMs = SignalMarginMs + SignalSlackMs;

// One firing of the timer on the second: the check of a pending sound, else the
// coming minute's chime (or, fired late, the current minute's, at once).
void SignalTick(const ChimeSettings& settings, int16_t& lastMinute, SignalState& state, ChimeEnvironment& env);

} // namespace tolltone

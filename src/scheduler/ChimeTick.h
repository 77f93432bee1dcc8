#pragma once
// The scheduler's decisions, free of the platform: the shell supplies the clock,
// the timer and the sound player through ChimeEnvironment.
#include "scheduler/QuietRules.h"
#include "settings/ChimeSettings.h"

#include <cstdint>

namespace tolltone {

struct LocalClockReading {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 0;  // 0 = Sunday
};

class ChimeEnvironment {
public:
    virtual LocalClockReading Now() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual void SetChimeTimer(unsigned elapseMs) = 0;
    virtual void KillChimeTimer() = 0;
    virtual void PlayOnce(const wchar_t* waveName) = 0;                    // asynchronous
    virtual bool StartStrikes(int strokes, const wchar_t* waveName) = 0;   // worker thread
    // Plays waveName strokes times (once: strokes 1) at volume percent on a worker
    // thread; at 0 plays nothing. False when the sound cannot be scaled (not a
    // readable file, or a format the module cannot scale): nothing was done.
    virtual bool PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) = 0;
    virtual UserActivity QueryUserActivity() = 0;  // asked only when a quiet key needs it

protected:
    ~ChimeEnvironment() = default;
};

// Sets the one-shot timer for the next minute boundary. 1 when enabled, else 0.
int ArmChimeTimer(const ChimeSettings& settings, ChimeEnvironment& env);

// True when the current minute is a chime minute; updates lastMinute and gives the
// clock reading it tested. If the clock still shows the minute of the last test,
// waits (up to 3 s) for the next one.
bool RunIntervalTest(int32_t interval, int16_t& lastMinute, ChimeEnvironment& env, LocalClockReading& reading);

// One firing of the timer: stop it, test (the interval, or a moment with a sound
// of its own), stay silent if the chime minute is a quiet one, else sound; arm
// again.
void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, ChimeEnvironment& env);

} // namespace tolltone

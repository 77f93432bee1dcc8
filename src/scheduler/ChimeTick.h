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

    // For the chime on the second only. The platform's precise clock in
    // milliseconds; its minutes begin where the local clock's do.
    virtual uint64_t PreciseMs() = 0;
    // Milliseconds the machine has been awake: never set, and still while it
    // sleeps or hibernates. Only its moves mean anything, against PreciseMs's.
    virtual uint64_t AwakeMs() = 0;
    // The local clock at instant ms of PreciseMs; false when it cannot be told.
    virtual bool LocalAt(uint64_t ms, LocalClockReading& reading) = 0;
    // From the start of waveName to its mark (its first cue point), in ms; 0
    // without one, or for a sound that cannot be played from memory.
    virtual unsigned MarkMs(const wchar_t* waveName) = 0;
    // Plays waveName strokes times at volume percent so that its mark lands on
    // boundaryMs; a boundary already past plays it at once from its start. False
    // when it cannot be played from memory: nothing was done.
    virtual bool PlayMarked(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundaryMs) = 0;
    virtual void StopMarked() = 0;  // the sound PlayMarked started, if it may still play

protected:
    ~ChimeEnvironment() = default;
};

// Sets the one-shot timer for the next minute boundary (on the second: a little
// before it). 1 when enabled, else 0.
int ArmChimeTimer(const ChimeSettings& settings, ChimeEnvironment& env);

// True when the current minute is a chime minute; updates lastMinute and gives the
// clock reading it tested. If the clock still shows the minute of the last test,
// waits (up to 3 s) for the next one.
bool RunIntervalTest(int32_t interval, int16_t& lastMinute, ChimeEnvironment& env, LocalClockReading& reading);

// One firing of the timer: stop it, test (the interval, or a moment with a sound
// of its own), stay silent if the chime minute is a quiet one, else sound; arm
// again.
void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, ChimeEnvironment& env);

// Whether the minute of reading is a quiet one; the user's state is asked only
// when a quiet key needs it.
bool IsQuietMinute(const QuietSettings& quiet, const LocalClockReading& reading, ChimeEnvironment& env);

// Plays waveName as a chime minute without a mark does: at the module's volume
// when it can be scaled, strokes times when striking, else as it is (a strike
// of more strokes than one not at all).
void PlayChime(const ChimeSettings& settings, int strokes, const wchar_t* waveName, ChimeEnvironment& env);

} // namespace tolltone

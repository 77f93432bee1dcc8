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

// Where a sound that must be played from memory stands: its image made ahead
// and ready, still being made (a slow disk, a read tried again), or none can
// be made (it may play by name).
enum class SoundReadiness : uint8_t { Ready, Pending, NoImage };

// How often a tick looks again for an image still being made.
inline constexpr unsigned PreparePollMs = 250;

class ChimeEnvironment {
public:
    virtual LocalClockReading Now() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual void SetChimeTimer(unsigned elapseMs) = 0;
    virtual void KillChimeTimer() = 0;
    virtual void PlayOnce(const wchar_t* waveName) = 0;                    // asynchronous
    // Asks for the image of waveName strokes times at volume percent to be made
    // ahead, off the host's thread, and tells where it stands; markMs is the time
    // from its start to its mark (its first cue point) once Ready, else 0. Never
    // waits: a request other than the one being made replaces it.
    virtual SoundReadiness PrepareSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) = 0;
    // Where that image stands if it is the one asked for (else Pending), without
    // asking for it.
    virtual SoundReadiness PeekSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) = 0;
    // Plays the Ready image of strokes of waveName at full volume.
    virtual bool StartStrikes(int strokes, const wchar_t* waveName) = 0;
    // Plays the Ready image of waveName strokes times (once: strokes 1) at volume
    // percent; at 0 plays nothing. False when no image could be made: nothing
    // was done.
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
    // Plays the Ready image of waveName strokes times at volume percent so that
    // its mark lands on boundaryMs; a boundary already past plays it at once from
    // its start. False when it cannot be played from memory: nothing was done.
    virtual bool PlayMarked(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundaryMs) = 0;
    virtual void StopMarked() = 0;  // the sound PlayMarked started, if it may still play

protected:
    ~ChimeEnvironment() = default;
};

struct SignalState;

// Sets the one-shot timer for the next minute boundary (on the second: a little
// before it) and asks for the coming minute's image. 1 when enabled, else 0.
int ArmChimeTimer(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env);

// Asks for the image of the chime minute at local, if it chimes and needs one:
// made a minute ahead, the boundary only hands it over.
void PrepareChimeOf(const ChimeSettings& settings, const LocalClockReading& local, ChimeEnvironment& env);

// True when the current minute is a chime minute; updates lastMinute and gives the
// clock reading it tested. If the clock still shows the minute of the last test,
// waits (up to 3 s) for the next one.
bool RunIntervalTest(int32_t interval, int16_t& lastMinute, ChimeEnvironment& env, LocalClockReading& reading);

// One firing of the timer: stop it, test (the interval, or a moment with a sound
// of its own), stay silent if the chime minute is a quiet one, else sound; arm
// again. A sound whose image is still being made is waited for (state) while
// its minute lasts.
void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, SignalState& state, ChimeEnvironment& env);

// Whether the minute of reading is a quiet one; the user's state is asked only
// when a quiet key needs it.
bool IsQuietMinute(const QuietSettings& quiet, const LocalClockReading& reading, ChimeEnvironment& env);

// Plays waveName as a chime minute without a mark does: at the module's volume
// when it can be scaled, strokes times when striking, else as it is (a strike
// of more strokes than one not at all). False when its image is still being
// made: nothing was played.
bool PlayChime(const ChimeSettings& settings, int strokes, const wchar_t* waveName, ChimeEnvironment& env);

// Whether waveName is played from an image (a strike, or a volume below full)
// rather than by name.
bool NeedsImage(const ChimeSettings& settings);

} // namespace tolltone

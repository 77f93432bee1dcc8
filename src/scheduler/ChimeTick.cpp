#include "scheduler/ChimeTick.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/MomentRules.h"
#include "scheduler/SignalTick.h"

namespace tolltone {
namespace {

bool SameMinute(const LocalClockReading& a, const LocalClockReading& b) {
    return a.hour == b.hour && a.minute == b.minute && a.dayOfWeek == b.dayOfWeek;
}

// False when its image is still being made.
bool SoundChime(const ChimeSettings& settings, LocalClockReading reading, ChimeEnvironment& env) {
    const ChimeChoice choice = ChooseChime(settings, reading.hour, reading.minute);
    if (choice.waveName[0] == L'\0') return true;
    return PlayChime(settings, choice.strokes, choice.waveName, env);
}

// The minute after reading's, by the clock's own count: the one an arming for
// the next boundary serves.
LocalClockReading NextMinute(LocalClockReading reading) {
    reading.second = 0;
    if (++reading.minute < 60) return reading;
    reading.minute = 0;
    if (++reading.hour < 24) return reading;
    reading.hour = 0;
    reading.dayOfWeek = (reading.dayOfWeek + 1) % 7;
    return reading;
}

// Looks again soon for the image of the minute it waits for.
void WaitForImage(SignalState& state, const LocalClockReading& minute, ChimeEnvironment& env) {
    state.waiting = true;
    state.waitMinute = minute;
    env.SetChimeTimer(PreparePollMs);
}

} // namespace

// The user's state is asked only when a quiet key needs it, so without the keys
// a tick does exactly what it always did.
bool IsQuietMinute(const QuietSettings& quiet, const LocalClockReading& reading, ChimeEnvironment& env) {
    if (IsQuietDay(quiet.Days, reading.dayOfWeek)) return true;
    const UserActivity activity = NeedsUserActivity(quiet) ? env.QueryUserActivity() : UserActivity{};
    return IsQuiet(quiet, reading.hour, reading.minute, activity);
}

bool NeedsImage(const ChimeSettings& settings) {
    return settings.SignalType != 0 || settings.Sounds.Volume != FullVolume || settings.Sounds.OnTheSecond;
}

// A volume below full plays the scaled sound; a single sound that cannot be
// scaled plays by name as it is, never louder as an image, and a strike of more
// strokes than one never as one.
bool PlayChime(const ChimeSettings& settings, int strokes, const wchar_t* waveName, ChimeEnvironment& env) {
    const bool strike = settings.SignalType != 0;
    if (!strike && settings.Sounds.Volume == FullVolume && !settings.Sounds.OnTheSecond) {
        env.PlayOnce(waveName);  // the platform reads the file on its own thread
        return true;
    }
    if (!strike) strokes = 1;
    unsigned markMs = 0;
    switch (env.PrepareSound(strokes, waveName, settings.Sounds.Volume, markMs)) {
    case SoundReadiness::Pending: return false;
    case SoundReadiness::NoImage:
        if (strokes == 1) env.PlayOnce(waveName);
        return true;
    case SoundReadiness::Ready: break;
    }
    if (settings.Sounds.Volume != FullVolume) env.PlayAtVolume(strokes, waveName, settings.Sounds.Volume);
    else env.StartStrikes(strokes, waveName);
    return true;
}

// Quiet by the clock alone (hours, days) makes no image; a busy or locked user
// is asked at the minute itself.
void PrepareChimeOf(const ChimeSettings& settings, const LocalClockReading& local, ChimeEnvironment& env) {
    if (settings.Enable == 0 || !NeedsImage(settings)) return;
    const bool chimes = (settings.Interval != NoChime && IsChimeMinute(local.minute, settings.Interval)) ||
                        IsMomentMinute(settings, local.minute);
    if (!chimes || IsQuietDay(settings.Quiet.Days, local.dayOfWeek) ||
        IsQuiet(settings.Quiet, local.hour, local.minute, UserActivity{}))
        return;
    const ChimeChoice choice = ChooseChime(settings, local.hour, local.minute);
    if (choice.waveName[0] == L'\0') return;
    unsigned markMs = 0;
    env.PrepareSound(settings.SignalType != 0 ? choice.strokes : 1, choice.waveName, settings.Sounds.Volume, markMs);
}

int ArmChimeTimer(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env) {
    if (settings.Enable == 0) return 0;
    if (settings.Sounds.OnTheSecond) return ArmSignalTimer(settings, state, env);
    const LocalClockReading now = env.Now();
    env.SetChimeTimer(ArmDelayMs(now.second));
    PrepareChimeOf(settings, NextMinute(now), env);
    return 1;
}

bool RunIntervalTest(int32_t interval, int16_t& lastMinute, ChimeEnvironment& env, LocalClockReading& reading) {
    if (interval == NoChime) return false;
    reading = env.Now();
    for (int sleeps = 0; reading.minute == lastMinute && sleeps < MaxSameMinuteSleeps; ++sleeps) {
        env.Sleep(SameMinuteSleepMs);
        reading = env.Now();
    }
    lastMinute = static_cast<int16_t>(reading.minute);
    return IsChimeMinute(reading.minute, interval);
}

void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, SignalState& state, ChimeEnvironment& env) {
    env.KillChimeTimer();
    if (state.waiting) {
        // Late, but never for another minute: once its minute is over the
        // image that was not ready does not sound, and this firing serves the
        // new minute as any tick does.
        state.waiting = false;
        if (SameMinute(env.Now(), state.waitMinute)) {
            if (!SoundChime(settings, state.waitMinute, env)) WaitForImage(state, state.waitMinute, env);
            else ArmChimeTimer(settings, state, env);
            return;
        }
    }
    LocalClockReading reading;
    const bool chimeMinute =
        RunIntervalTest(settings.Interval, lastMinute, env, reading) || IsMomentMinute(settings, reading.minute);
    if (chimeMinute && !IsQuietMinute(settings.Quiet, reading, env)) {
        if (settings.SignalType != 0) reading = env.Now();  // a strike tells the hour of the clock as it plays
        if (!SoundChime(settings, reading, env)) {
            WaitForImage(state, reading, env);
            return;
        }
    }
    ArmChimeTimer(settings, state, env);
}

} // namespace tolltone

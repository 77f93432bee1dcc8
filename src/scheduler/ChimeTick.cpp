#include "scheduler/ChimeTick.h"

#include "scheduler/ChimeRules.h"

namespace tolltone {
namespace {

void SoundChime(const ChimeSettings& settings, ChimeEnvironment& env) {
    // The strike worker gets its own copy, so a later change of the setting never
    // reaches a running strike.
    wchar_t waveName[PathUnits];
    int length = 0;
    for (; length < PathUnits - 1 && settings.WaveName[length] != L'\0'; ++length)
        waveName[length] = settings.WaveName[length];
    waveName[length] = L'\0';
    if (length == 0) return;

    if (settings.SignalType != 0) {
        const LocalClockReading now = env.Now();
        env.StartStrikes(StrokeCount(now.hour, now.minute, settings.TimeType), waveName);
    } else {
        env.PlayOnce(waveName);
    }
}

// The user's state is asked only when a quiet key needs it, so without the keys
// a tick does exactly what it always did.
bool IsQuietMinute(const QuietSettings& quiet, const LocalClockReading& reading, ChimeEnvironment& env) {
    const UserActivity activity = NeedsUserActivity(quiet) ? env.QueryUserActivity() : UserActivity{};
    return IsQuiet(quiet, reading.hour, reading.minute, activity);
}

} // namespace

int ArmChimeTimer(const ChimeSettings& settings, ChimeEnvironment& env) {
    if (settings.Enable == 0) return 0;
    env.SetChimeTimer(ArmDelayMs(env.Now().second));
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

void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, ChimeEnvironment& env) {
    env.KillChimeTimer();
    LocalClockReading reading;
    if (RunIntervalTest(settings.Interval, lastMinute, env, reading) && !IsQuietMinute(settings.Quiet, reading, env))
        SoundChime(settings, env);
    ArmChimeTimer(settings, env);
}

} // namespace tolltone

#include "scheduler/ChimeTick.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/MomentRules.h"
#include "scheduler/SignalTick.h"

namespace tolltone {
namespace {

void SoundChime(const ChimeSettings& settings, LocalClockReading reading, ChimeEnvironment& env) {
    if (settings.SignalType != 0) reading = env.Now();
    const ChimeChoice choice = ChooseChime(settings, reading.hour, reading.minute);
    // The strike worker gets its own copy, so a later change of the setting never
    // reaches a running strike.
    wchar_t waveName[PathUnits];
    int length = 0;
    for (; length < PathUnits - 1 && choice.waveName[length] != L'\0'; ++length)
        waveName[length] = choice.waveName[length];
    waveName[length] = L'\0';
    if (length == 0) return;
    PlayChime(settings, choice.strokes, waveName, env);
}

} // namespace

// The user's state is asked only when a quiet key needs it, so without the keys
// a tick does exactly what it always did.
bool IsQuietMinute(const QuietSettings& quiet, const LocalClockReading& reading, ChimeEnvironment& env) {
    if (IsQuietDay(quiet.Days, reading.dayOfWeek)) return true;
    const UserActivity activity = NeedsUserActivity(quiet) ? env.QueryUserActivity() : UserActivity{};
    return IsQuiet(quiet, reading.hour, reading.minute, activity);
}

// A volume below full plays the scaled sound; a single sound that cannot be
// scaled plays by name as it is, never louder as an image, and a strike of more
// strokes than one never as one.
void PlayChime(const ChimeSettings& settings, int strokes, const wchar_t* waveName, ChimeEnvironment& env) {
    const bool strike = settings.SignalType != 0;
    if (settings.Sounds.Volume != FullVolume) {
        if (!env.PlayAtVolume(strike ? strokes : 1, waveName, settings.Sounds.Volume) && (!strike || strokes == 1))
            env.PlayOnce(waveName);
        return;
    }
    if (strike) env.StartStrikes(strokes, waveName);
    else env.PlayOnce(waveName);
}

int ArmChimeTimer(const ChimeSettings& settings, ChimeEnvironment& env) {
    if (settings.Enable == 0) return 0;
    if (settings.Sounds.OnTheSecond) return ArmSignalTimer(settings, env);
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
    const bool chimeMinute =
        RunIntervalTest(settings.Interval, lastMinute, env, reading) || IsMomentMinute(settings, reading.minute);
    if (chimeMinute && !IsQuietMinute(settings.Quiet, reading, env)) SoundChime(settings, reading, env);
    ArmChimeTimer(settings, env);
}

} // namespace tolltone

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

} // namespace

int ArmChimeTimer(const ChimeSettings& settings, ChimeEnvironment& env) {
    if (settings.Enable == 0) return 0;
    env.SetChimeTimer(ArmDelayMs(env.Now().second));
    return 1;
}

bool RunIntervalTest(int32_t interval, int16_t& lastMinute, ChimeEnvironment& env) {
    if (interval == NoChime) return false;
    LocalClockReading now = env.Now();
    for (int sleeps = 0; now.minute == lastMinute && sleeps < MaxSameMinuteSleeps; ++sleeps) {
        env.Sleep(SameMinuteSleepMs);
        now = env.Now();
    }
    lastMinute = static_cast<int16_t>(now.minute);
    return IsChimeMinute(now.minute, interval);
}

void ChimeTick(const ChimeSettings& settings, int16_t& lastMinute, ChimeEnvironment& env) {
    env.KillChimeTimer();
    if (RunIntervalTest(settings.Interval, lastMinute, env)) SoundChime(settings, env);
    ArmChimeTimer(settings, env);
}

} // namespace tolltone

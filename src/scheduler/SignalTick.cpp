#include "scheduler/SignalTick.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/MomentRules.h"

namespace tolltone {
namespace {

uint64_t NextBoundary(uint64_t ms) { return (ms / MinuteMs + 1) * MinuteMs; }

bool SameMinute(const LocalClockReading& a, const LocalClockReading& b) {
    return a.hour == b.hour && a.minute == b.minute && a.dayOfWeek == b.dayOfWeek;
}

// The chime of the minute at local, as the default timing decides it: a null
// name when the minute does not chime.
ChimeChoice ChimeOf(const ChimeSettings& settings, const LocalClockReading& local) {
    const bool chimes = (settings.Interval != NoChime && IsChimeMinute(local.minute, settings.Interval)) ||
                        IsMomentMinute(settings, local.minute);
    if (!chimes) return {nullptr, 0};
    const ChimeChoice choice = ChooseChime(settings, local.hour, local.minute);
    if (choice.waveName[0] == L'\0') return {nullptr, 0};
    return {choice.waveName, settings.SignalType != 0 ? choice.strokes : 1};
}

// How long before the boundary the timer must run out for the minute at local.
unsigned LeadMs(const ChimeSettings& settings, const LocalClockReading& local, ChimeEnvironment& env) {
    const ChimeChoice choice = ChimeOf(settings, local);
    return SignalMarginMs + (choice.waveName != nullptr ? env.MarkMs(choice.waveName) : 0);
}

// True when the check itself set the timer again (a sound due by name whose
// boundary has not quite come).
bool CheckSignal(const ChimeSettings& settings, PendingSignal& pending, ChimeEnvironment& env) {
    const PendingSignal due = pending;
    pending = {};
    const uint64_t now = env.PreciseMs();
    LocalClockReading local;
    const bool onItsMinute = now + SignalMarginMs >= due.boundaryMs && now <= due.boundaryMs + CheckToleranceMs &&
                             env.LocalAt(due.boundaryMs, local) && SameMinute(local, due.target);
    if (due.started) {
        if (!onItsMinute) env.StopMarked();
        return false;
    }
    if (!onItsMinute) return false;
    if (now < due.boundaryMs) {  // never before the boundary
        pending = due;
        env.SetChimeTimer(static_cast<unsigned>(due.boundaryMs - now) + CheckDelayMs);
        return true;
    }
    const ChimeChoice choice = ChimeOf(settings, due.target);
    if (choice.waveName != nullptr) PlayChime(settings, choice.strokes, choice.waveName, env);
    return false;
}

// Sets the timer for the first boundary after both now and served (the
// boundary a firing has just dealt with, which may not have come yet).
int ArmSignalTimerAfter(const ChimeSettings& settings, ChimeEnvironment& env, uint64_t served) {
    if (settings.Enable == 0) return 0;
    const uint64_t now = env.PreciseMs();
    const uint64_t boundary = NextBoundary(now > served ? now : served);
    LocalClockReading local;
    const uint64_t lead = env.LocalAt(boundary, local) ? LeadMs(settings, local, env) : SignalMarginMs;
    const uint64_t until = boundary - now;
    env.SetChimeTimer(until > lead + ShortestTimerMs ? static_cast<unsigned>(until - lead) : ShortestTimerMs);
    return 1;
}

// The key may have gone with a change of the file read at this firing.
void ArmAfter(const ChimeSettings& settings, ChimeEnvironment& env, uint64_t served) {
    if (settings.Sounds.OnTheSecond) ArmSignalTimerAfter(settings, env, served);
    else ArmChimeTimer(settings, env);
}

} // namespace

int ArmSignalTimer(const ChimeSettings& settings, ChimeEnvironment& env) { return ArmSignalTimerAfter(settings, env, 0); }

void SignalTick(const ChimeSettings& settings, int16_t& lastMinute, PendingSignal& pending, ChimeEnvironment& env) {
    env.KillChimeTimer();
    if (pending.pending) {
        const uint64_t served = pending.boundaryMs;
        if (!CheckSignal(settings, pending, env)) ArmAfter(settings, env, served);
        return;
    }
    const uint64_t now = env.PreciseMs();
    uint64_t boundary = NextBoundary(now);
    LocalClockReading local;
    bool known = env.LocalAt(boundary, local);
    if (!known || boundary - now > LeadMs(settings, local, env) + SignalSlackMs) {
        boundary -= MinuteMs;  // late for the minute under way: it sounds at once
        known = env.LocalAt(boundary, local);
    }
    // A minute is served once, by its early start or by a late firing, never
    // waited for on the host's thread.
    if (known && local.minute != lastMinute) {
        lastMinute = static_cast<int16_t>(local.minute);
        const ChimeChoice choice = ChimeOf(settings, local);
        if (choice.waveName != nullptr && !IsQuietMinute(settings.Quiet, local, env)) {
            const bool ahead = boundary > now;
            if (env.PlayMarked(choice.strokes, choice.waveName, settings.Sounds.Volume, boundary)) {
                if (ahead) pending = {true, true, boundary, local};
            } else if (ahead) {
                pending = {true, false, boundary, local};
            } else {
                PlayChime(settings, choice.strokes, choice.waveName, env);
            }
        }
    }
    if (!pending.pending) {
        ArmAfter(settings, env, boundary);
        return;
    }
    const uint64_t after = env.PreciseMs();
    env.SetChimeTimer(static_cast<unsigned>(boundary > after ? boundary - after : 0) + CheckDelayMs);
}

} // namespace tolltone

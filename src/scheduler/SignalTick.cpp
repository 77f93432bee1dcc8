#include "scheduler/SignalTick.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/MomentRules.h"
#include "sound/WaveImage.h"

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
// ask: the image is asked for on the way; else only looked at, so that a late
// firing does not drop the image of the minute under way. Pending: still being
// made (or not the one asked for), its mark not known yet. A minute quiet by
// the clock alone needs no image.
unsigned LeadMs(const ChimeSettings& settings, const LocalClockReading& local, ChimeEnvironment& env,
                SoundReadiness& readiness, bool ask) {
    readiness = SoundReadiness::NoImage;
    const ChimeChoice choice = ChimeOf(settings, local);
    if (choice.waveName == nullptr || IsQuietDay(settings.Quiet.Days, local.dayOfWeek) ||
        IsQuiet(settings.Quiet, local.hour, local.minute, UserActivity{}))
        return SignalMarginMs;
    unsigned markMs = 0;
    readiness = ask ? env.PrepareSound(choice.strokes, choice.waveName, settings.Sounds.Volume, markMs)
                    : env.PeekSound(choice.strokes, choice.waveName, settings.Sounds.Volume, markMs);
    return SignalMarginMs + (readiness == SoundReadiness::Ready ? markMs : 0);
}

// Looks again for the image of boundary soon, and never later than it could
// still be started whole.
void LookAgainFor(uint64_t boundary, uint64_t now, SignalState& state, ChimeEnvironment& env) {
    state.preparing = true;
    state.preparingMs = boundary;
    const uint64_t until = boundary > now + SignalMarginMs ? boundary - now - SignalMarginMs : ShortestTimerMs;
    env.SetChimeTimer(until < PreparePollMs ? (until > ShortestTimerMs ? static_cast<unsigned>(until) : ShortestTimerMs)
                                            : PreparePollMs);
}

struct CheckOutcome {
    bool armed;       // the check set the timer again (a sound due by name whose boundary has not quite come)
    uint64_t served;  // else the boundary the next arming comes after
};

CheckOutcome CheckSignal(const ChimeSettings& settings, int16_t& lastMinute, SignalState& state, ChimeEnvironment& env) {
    const SignalState due = state;
    state.pending = false;
    const uint64_t now = env.PreciseMs();
    // However late the host delivers the check, the clock kept to the sound's
    // start when it went as far as the awake count.
    const int64_t moved =
        static_cast<int64_t>(now - due.firedMs) - static_cast<int64_t>(env.AwakeMs() - due.firedAwakeMs);
    LocalClockReading local;
    const bool onItsMinute = moved <= ClockMoveToleranceMs && moved >= -ClockMoveToleranceMs &&
                             now + SignalMarginMs >= due.boundaryMs && env.LocalAt(due.boundaryMs, local) &&
                             SameMinute(local, due.target);
    if (!onItsMinute) {
        // The clock moved: the minute was not served, whichever it is now.
        if (due.started) env.StopMarked();
        state.servedMs = 0;
        lastMinute = -1;
        return {false, 0};
    }
    if (due.started) return {false, due.boundaryMs};
    if (now < due.boundaryMs) {  // never before the boundary
        state.pending = true;
        env.SetChimeTimer(static_cast<unsigned>(due.boundaryMs - now) + CheckDelayMs);
        return {true, 0};
    }
    // A check held past the end of its minute is too late for the minute's sound.
    const ChimeChoice choice = ChimeOf(settings, due.target);
    if (choice.waveName != nullptr && now < due.boundaryMs + MinuteMs)
        PlayChime(settings, choice.strokes, choice.waveName, env);
    return {false, due.boundaryMs};
}

// Sets the timer for the first boundary after both now and served (the
// boundary a firing has just dealt with, which may not have come yet).
int ArmSignalTimerAfter(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env, uint64_t served) {
    if (settings.Enable == 0) return 0;
    const uint64_t now = env.PreciseMs();
    const uint64_t boundary = NextBoundary(now > served ? now : served);
    LocalClockReading local;
    SoundReadiness readiness = SoundReadiness::NoImage;
    const uint64_t lead = env.LocalAt(boundary, local) ? LeadMs(settings, local, env, readiness, true) : SignalMarginMs;
    // Its mark decides when the timer runs out: not known before the image is.
    if (readiness == SoundReadiness::Pending) {
        LookAgainFor(boundary, now, state, env);
        return 1;
    }
    const uint64_t until = boundary - now;
    env.SetChimeTimer(until > lead + ShortestTimerMs ? static_cast<unsigned>(until - lead) : ShortestTimerMs);
    return 1;
}

// The key may have gone with a change of the file read at this firing.
void ArmAfter(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env, uint64_t served) {
    if (settings.Sounds.OnTheSecond) ArmSignalTimerAfter(settings, state, env, served);
    else ArmChimeTimer(settings, state, env);
}

} // namespace

int ArmSignalTimer(const ChimeSettings& settings, SignalState& state, ChimeEnvironment& env) {
    return ArmSignalTimerAfter(settings, state, env, 0);
}

void SignalTick(const ChimeSettings& settings, int16_t& lastMinute, SignalState& state, ChimeEnvironment& env) {
    env.KillChimeTimer();
    if (state.pending) {
        const CheckOutcome checked = CheckSignal(settings, lastMinute, state, env);
        if (!checked.armed) ArmAfter(settings, state, env, checked.served);
        return;
    }
    const uint64_t now = env.PreciseMs();
    if (state.preparing) {
        // A look for an image: it serves nothing before its boundary; after it,
        // the image came too late for its mark, and that minute does not sound.
        state.preparing = false;
        if (now >= state.preparingMs) {
            LocalClockReading given;
            state.servedMs = state.preparingMs;
            if (env.LocalAt(state.preparingMs, given)) lastMinute = static_cast<int16_t>(given.minute);
        }
        ArmAfter(settings, state, env, now >= state.preparingMs ? state.preparingMs : 0);
        return;
    }
    const uint64_t awake = env.AwakeMs();
    uint64_t boundary = NextBoundary(now);
    LocalClockReading local;
    bool known = env.LocalAt(boundary, local);
    const uint64_t until = boundary - now;
    SoundReadiness readiness = SoundReadiness::NoImage;
    // A coming minute whose local time cannot be read tells no lead: a firing
    // within the longest lead a mark may ask for is taken for it (and sounds
    // nothing), lest the minute under way start and the coming one's start cut
    // it a moment later.
    const bool forComing = known ? until <= SignalMarginMs + SignalSlackMs ||
                                       until <= LeadMs(settings, local, env, readiness, false) + SignalSlackMs
                                 : until <= SignalMarginMs + LatestMarkSeconds * 1000ull + SignalSlackMs;
    if (known && forComing) {
        LeadMs(settings, local, env, readiness, true);
        if (readiness == SoundReadiness::Pending) {
            LookAgainFor(boundary, now, state, env);  // not served: it may still be made in time
            return;
        }
    }
    if (!forComing) {
        boundary -= MinuteMs;  // late for the minute under way: it sounds at once
        known = env.LocalAt(boundary, local);
    }
    // A minute is served once, by its early start or by a late firing, never
    // waited for on the host's thread.
    if (known && boundary != state.servedMs) {
        state.servedMs = boundary;
        lastMinute = static_cast<int16_t>(local.minute);  // for the default timing, should the key go
        const ChimeChoice choice = ChimeOf(settings, local);
        unsigned markMs = 0;
        // An image not made by its boundary does not sound: a mark off its
        // second is worse than none.
        if (choice.waveName != nullptr && !IsQuietMinute(settings.Quiet, local, env) &&
            env.PrepareSound(choice.strokes, choice.waveName, settings.Sounds.Volume, markMs) != SoundReadiness::Pending) {
            const bool ahead = boundary > now;
            const bool played = env.PlayMarked(choice.strokes, choice.waveName, settings.Sounds.Volume, boundary);
            if (ahead) {
                state.pending = true;
                state.started = played;
                state.boundaryMs = boundary;
                state.target = local;
                state.firedMs = now;
                state.firedAwakeMs = awake;
            } else if (!played) {
                PlayChime(settings, choice.strokes, choice.waveName, env);
            }
        }
    }
    if (!state.pending) {
        // A clock that cannot be read waits for the boundary after the coming one.
        ArmAfter(settings, state, env, known ? boundary : NextBoundary(now));
        return;
    }
    const uint64_t after = env.PreciseMs();
    env.SetChimeTimer(static_cast<unsigned>(boundary > after ? boundary - after : 0) + CheckDelayMs);
}

} // namespace tolltone

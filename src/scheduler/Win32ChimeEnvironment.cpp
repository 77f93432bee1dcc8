#include "scheduler/Win32ChimeEnvironment.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/SignalTick.h"
#include "scheduler/Win32UserActivity.h"
#include "sound/PreparedSound.h"
#include "sound/SoundPlayer.h"

#include <mmsystem.h>

namespace tolltone {

LocalClockReading Win32ChimeEnvironment::Now() {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond, local.wDayOfWeek};
}

void Win32ChimeEnvironment::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

// Without a window there is no timer: SetTimer would ignore the identifier and
// make a thread timer that nothing could ever find to kill.
void Win32ChimeEnvironment::SetChimeTimer(unsigned elapseMs) {
    if (timerWindow_ != nullptr && timerWindow_ != parent_) KillChimeTimer();  // the host changed windows
    if (parent_ == nullptr) return;
    // A timer that could not be set leaves the module silent until the next
    // StartModule or OK: a moment's shortage of the system's timers is tried
    // again at once, a lasting one is not waited out on the host's thread.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (::SetTimer(parent_, ChimeTimerId, elapseMs, callback_) != 0) {
            timerWindow_ = parent_;
            return;
        }
}

void Win32ChimeEnvironment::KillChimeTimer() {
    if (timerWindow_ == nullptr) return;
    ::KillTimer(timerWindow_, ChimeTimerId);
    timerWindow_ = nullptr;
}

// No SND_FILENAME and no SND_NODEFAULT: system sound names work too, and an
// unplayable name sounds the default sound.
void Win32ChimeEnvironment::PlayOnce(const wchar_t* waveName) { PlayNamedSound(waveName, SND_ASYNC); }

// Every image has room for the longest silence a mark may need, so one image
// serves either timing.
namespace {
SoundReadiness ReadinessOf(PrepareState state) {
    switch (state) {
    case PrepareState::Ready: return SoundReadiness::Ready;
    case PrepareState::Pending: return SoundReadiness::Pending;
    case PrepareState::NoImage: break;
    }
    return SoundReadiness::NoImage;
}
} // namespace

SoundReadiness Win32ChimeEnvironment::PrepareSound(int strokes, const wchar_t* waveName, int32_t volume,
                                                   unsigned& markMs) {
    return ReadinessOf(PrepareChimeSound(strokes, waveName, volume, LongestLeadSilenceMs, markMs));
}

SoundReadiness Win32ChimeEnvironment::PeekSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) {
    return ReadinessOf(PeekChimeSound(strokes, waveName, volume, markMs));
}

// All strokes in one image, played once: their order cannot depend on what the
// platform does inside its sound call. One the platform refused is not asked
// for again.
bool Win32ChimeEnvironment::StartStrikes(int strokes, const wchar_t* waveName) {
    return PlayPreparedSound(strokes, waveName, FullVolume, 0) != ImagePlay::NoImage;
}

// An image the platform refused counts as played: asking again, by name or at
// full volume, would make it louder than the user set.
bool Win32ChimeEnvironment::PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) {
    return PlayPreparedSound(strokes, waveName, volume, 0) != ImagePlay::NoImage;
}

UserActivity Win32ChimeEnvironment::QueryUserActivity() { return QueryWin32UserActivity(); }

// UTC to the millisecond: the time zone's bias is whole minutes, so local
// minutes begin where these do.
constexpr uint64_t FileTimeUnitsPerMs = 10'000;

uint64_t Win32ChimeEnvironment::PreciseMs() { return PreciseFileTime() / FileTimeUnitsPerMs; }

// The unbiased interrupt time, in FILETIME's units: documented to leave out
// sleep and hibernation, so a wake moves the clock past it as a clock set
// forward does (what the performance counter does over a sleep is not
// documented). It fails only without an address to write to; should it, a
// count of 0 makes the check take the clock as moved (or, failed at both ends,
// judge by the clock alone), so the sound stops rather than stay on a minute
// it may not be on.
uint64_t Win32ChimeEnvironment::AwakeMs() {
    ULONGLONG units = 0;
    ::QueryUnbiasedInterruptTime(&units);
    return units / FileTimeUnitsPerMs;
}

// By the zone's rules for that instant: the minute after 01:59 on a night the
// clocks go forward is 03:00.
bool Win32ChimeEnvironment::LocalAt(uint64_t ms, LocalClockReading& reading) {
    const uint64_t units = ms * FileTimeUnitsPerMs;
    const FILETIME utcTime{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
    SYSTEMTIME utc, local;
    if (!::FileTimeToSystemTime(&utcTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return false;
    reading = {local.wHour, local.wMinute, local.wSecond, local.wDayOfWeek};
    return true;
}

bool Win32ChimeEnvironment::PlayMarked(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundaryMs) {
    return PlayPreparedSound(strokes, waveName, volume, boundaryMs * FileTimeUnitsPerMs) != ImagePlay::NoImage;
}

void Win32ChimeEnvironment::StopMarked() { StopImageSound(); }

} // namespace tolltone

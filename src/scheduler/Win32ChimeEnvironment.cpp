#include "scheduler/Win32ChimeEnvironment.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/StrikeWorker.h"
#include "scheduler/Win32UserActivity.h"
#include "sound/ScaledSound.h"

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
    if (::SetTimer(parent_, ChimeTimerId, elapseMs, callback_) != 0) timerWindow_ = parent_;
}

void Win32ChimeEnvironment::KillChimeTimer() {
    if (timerWindow_ == nullptr) return;
    ::KillTimer(timerWindow_, ChimeTimerId);
    timerWindow_ = nullptr;
}

// No SND_FILENAME and no SND_NODEFAULT: system sound names work too, and an
// unplayable name sounds the default sound.
void Win32ChimeEnvironment::PlayOnce(const wchar_t* waveName) {
    ::PlaySoundW(waveName, nullptr, SND_ASYNC);
}

bool Win32ChimeEnvironment::StartStrikes(int strokes, const wchar_t* waveName) {
    return StartStrikeWorker(strokes, waveName);
}

bool Win32ChimeEnvironment::PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) {
    return PlayScaledSound(strokes, waveName, volume);
}

UserActivity Win32ChimeEnvironment::QueryUserActivity() { return QueryWin32UserActivity(); }

} // namespace tolltone

#include "scheduler/Win32ChimeEnvironment.h"

#include "scheduler/ChimeRules.h"
#include "scheduler/Win32UserActivity.h"
#include "sound/ScaledSound.h"
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

// All strokes in one image, played once: their order cannot depend on what the
// platform does inside its sound call. A sound that cannot be made an image
// (a system sound name, another format) sounds once, as it is.
bool Win32ChimeEnvironment::StartStrikes(int strokes, const wchar_t* waveName) {
    if (!PlaySoundImage(strokes, waveName, FullVolume)) PlayNamedSound(waveName, SND_ASYNC);
    return true;
}

bool Win32ChimeEnvironment::PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) {
    return PlaySoundImage(strokes, waveName, volume);
}

UserActivity Win32ChimeEnvironment::QueryUserActivity() { return QueryWin32UserActivity(); }

} // namespace tolltone

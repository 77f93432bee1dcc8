#pragma once
// The scheduler's environment on Windows: local clock, window timer, sound player.
#include "scheduler/ChimeTick.h"

#include <windows.h>

namespace tolltone {

class Win32ChimeEnvironment final : public ChimeEnvironment {
public:
    // parent: the host's window now; timerWindow: the window the timer is set on
    // (null when none), kept up to date here.
    Win32ChimeEnvironment(HWND parent, HWND& timerWindow, TIMERPROC callback)
        : parent_(parent), timerWindow_(timerWindow), callback_(callback) {}

    LocalClockReading Now() override;
    void Sleep(unsigned milliseconds) override;
    void SetChimeTimer(unsigned elapseMs) override;
    void KillChimeTimer() override;
    void PlayOnce(const wchar_t* waveName) override;
    SoundReadiness PrepareSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) override;
    SoundReadiness PeekSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) override;
    bool StartStrikes(int strokes, const wchar_t* waveName) override;
    bool PlayAtVolume(int strokes, const wchar_t* waveName, int32_t volume) override;
    UserActivity QueryUserActivity() override;
    uint64_t PreciseMs() override;
    uint64_t AwakeMs() override;
    bool LocalAt(uint64_t ms, LocalClockReading& reading) override;
    bool PlayMarked(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundaryMs) override;
    void StopMarked() override;

private:
    HWND parent_;
    HWND& timerWindow_;
    TIMERPROC callback_;
};

} // namespace tolltone

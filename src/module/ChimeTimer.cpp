#include "module/ChimeTimer.h"

#include "module/ModuleSettings.h"
#include "module/SettingsLookAhead.h"
#include "scheduler/ChimeRules.h"
#include "scheduler/Win32ChimeEnvironment.h"

namespace tolltone {
namespace {

void CALLBACK ChimeTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) noexcept;

// The timer of a module whose file could not be read yet: enabled or not, the
// next minute reads it again.
int ArmWithRetry(ChimeModule& module) {
    Win32ChimeEnvironment environment(module.ParentWindow, module.TimerWindow, ChimeTimerProc);
    const int armed = ArmChimeTimer(static_cast<const ChimeSettings&>(module), module.Signal, environment);
    if (armed == 0 && module.SettingsUnread) environment.SetChimeTimer(ArmDelayMs(environment.Now().second));
    return armed;
}

void CALLBACK ChimeTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) noexcept {
    ChimeModule* module = CurrentModule;
    if (timerId != ChimeTimerId || module == nullptr) return;
    // A look for an image (several a second) is no minute: the file's retry
    // and the look at it wait for the next one.
    const bool look = module->Signal.waiting || module->Signal.preparing || module->Signal.pending;
    if (module->SettingsUnread && !look) {
        // A choice the user made meanwhile chimes as chosen while it waits for
        // the file; only defaults never read keep the module silent.
        if (!RetryUnreadSettingsWhenDue(*module) && !module->SettingsLoaded) {
            ArmWithRetry(*module);
            return;
        }
        // Read at last, the minute goes on as the file says, disabled included;
        // a disabled choice still waiting keeps its retry.
        if (module->Enable == 0) {
            if (module->SettingsUnread) ArmWithRetry(*module);
            else StopChimeTimer(*module);
            return;
        }
    }
    if (!look) ApplySettingsLook(*module);
    Win32ChimeEnvironment environment(module->ParentWindow, module->TimerWindow, ChimeTimerProc);
    if (module->Sounds.OnTheSecond || module->Signal.pending)
        SignalTick(*module, module->LastMinute, module->Signal, environment);
    else
        ChimeTick(*module, module->LastMinute, module->Signal, environment);
    LookAheadAtSettings(*module, true);
}

} // namespace

// Armed anew (a start, the dialog's OK): a sound started ahead is left to play,
// unchecked, its minute served; one due by name at the check is not, and its
// minute is served again.
int ArmChimeTimer(ChimeModule& module) {
    if (module.Signal.pending && !module.Signal.started) {
        module.Signal.servedMs = 0;
        module.LastMinute = -1;
    }
    module.Signal.pending = false;
    module.Signal.preparing = false;
    module.Signal.waiting = false;
    const int armed = ArmWithRetry(module);
    LookAheadAtSettings(module, false);
    module.LookAsked = false;
    return armed;
}

BOOL StopChimeTimer(ChimeModule& module) {
    if (module.TimerWindow == nullptr) return FALSE;
    const BOOL stopped = ::KillTimer(module.TimerWindow, ChimeTimerId);
    module.TimerWindow = nullptr;
    return stopped;
}

} // namespace tolltone

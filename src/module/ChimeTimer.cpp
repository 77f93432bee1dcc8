#include "module/ChimeTimer.h"

#include "module/ModuleSettings.h"
#include "scheduler/ChimeRules.h"
#include "scheduler/Win32ChimeEnvironment.h"

namespace tolltone {
namespace {

void CALLBACK ChimeTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) noexcept {
    ChimeModule* module = CurrentModule;
    if (timerId != ChimeTimerId || module == nullptr) return;
    RefreshBeforeTick(*module);
    Win32ChimeEnvironment environment(module->ParentWindow, module->TimerWindow, ChimeTimerProc);
    ChimeTick(*module, module->LastMinute, environment);
}

} // namespace

int ArmChimeTimer(ChimeModule& module) {
    Win32ChimeEnvironment environment(module.ParentWindow, module.TimerWindow, ChimeTimerProc);
    return ArmChimeTimer(static_cast<const ChimeSettings&>(module), environment);
}

BOOL StopChimeTimer(ChimeModule& module) {
    if (module.TimerWindow == nullptr) return FALSE;
    const BOOL stopped = ::KillTimer(module.TimerWindow, ChimeTimerId);
    module.TimerWindow = nullptr;
    return stopped;
}

} // namespace tolltone

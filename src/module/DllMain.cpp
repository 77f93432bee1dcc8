// Library load and unload: the record lives from process attach to detach.
#include "module/ChimeModule.h"
#include "module/ChimeTimer.h"
#include "module/ModuleSettings.h"

#include "base/ModuleHeap.h"

namespace tolltone {

ChimeModule* CurrentModule = nullptr;

namespace {

BOOL AttachModule(HINSTANCE instance) {
    ChimeModule* module = CreateObject<ChimeModule>();
    if (module == nullptr) return FALSE;
    module->Instance = instance;
    // No thread of the host, nor the strike worker, needs this module's notice.
    ::DisableThreadLibraryCalls(instance);
    module->LastMinute = -1;
    CurrentModule = module;
    return TRUE;
}

void DetachModule() {
    ChimeModule* module = CurrentModule;
    if (module == nullptr) return;
    StopChimeTimer(*module);
    // After a host unload during a strike this runs on the strike worker, when its
    // last stroke ends; KillTimer still removes the host window's timer from here.
    if (module->SettingsLoaded) SaveModuleSettings(*module);
    CurrentModule = nullptr;
    DestroyObject(module);
}

} // namespace
} // namespace tolltone

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) noexcept {
    switch (reason) {
    case DLL_PROCESS_ATTACH: return tolltone::AttachModule(instance);
    case DLL_PROCESS_DETACH: tolltone::DetachModule(); return TRUE;
    default: return TRUE;
    }
}

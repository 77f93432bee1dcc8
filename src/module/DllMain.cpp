// Library load and unload: the record lives from process attach to detach.
#include "module/ChimeModule.h"
#include "module/ChimeTimer.h"
#include "module/ModuleSettings.h"

#include "base/ModuleHeap.h"
#include "sound/PreparedSound.h"
#include "sound/SoundPlayer.h"
#include "win32/ModuleWorker.h"

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

// Runs under the loader lock, on the thread that unloads the module. Nothing
// here loads a library or takes a shell lock: the settings file and the texts
// of the save were found ahead. The one wait is for the sound worker's callback
// to return, which loads nothing and takes no lock of the loader's; a read it
// waits on is cancelled.
void DetachModule(bool processEnding) {
    if (!processEnding) {
        worker::Stop();
        FreePreparedSounds();
        LeaveSoundAtUnload();
    }
    ChimeModule* module = CurrentModule;
    if (module == nullptr) return;
    StopChimeTimer(*module);
    if (module->SettingsLoaded) SaveModuleSettings(*module);
    CurrentModule = nullptr;
    // At process end the memory goes with the process: nothing to free.
    if (!processEnding) DestroyObject(module);
}

} // namespace
} // namespace tolltone

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept {
    switch (reason) {
    case DLL_PROCESS_ATTACH: return tolltone::AttachModule(instance);
    case DLL_PROCESS_DETACH: tolltone::DetachModule(reserved != nullptr); return TRUE;
    default: return TRUE;
    }
}

// The entry points through which the launcher drives the module. Each one only
// forwards to the scheduler or the settings storage.
#include "module/ChimeModule.h"
#include "module/ChimeTimer.h"
#include "resources/ResourceIds.h"
#include "settings/SettingsMigration.h"

using namespace tolltone;

namespace {
constexpr int TitleUnits = 80;
}

extern "C" {

int WINAPI QueryQVRModule() noexcept { return 1; }

void WINAPI SetParentWindow(HWND window) noexcept {
    if (CurrentModule != nullptr) CurrentModule->ParentWindow = window;
}

int WINAPI IsModuleEnable() noexcept {
    return CurrentModule != nullptr ? CurrentModule->Enable : 0;
}

int WINAPI GetTitleName(wchar_t* buffer) noexcept {
    if (CurrentModule == nullptr || buffer == nullptr) return 0;
    return ::LoadStringW(CurrentModule->Instance, IDS_TITLE, buffer, TitleUnits);
}

int WINAPI StartModule() noexcept {
    return CurrentModule != nullptr ? ArmChimeTimer(*CurrentModule) : 0;
}

int WINAPI StopModule() noexcept {
    return CurrentModule != nullptr ? StopChimeTimer(*CurrentModule) : 0;
}

void WINAPI SetPortableMode(int portableMode) noexcept {
    if (CurrentModule != nullptr) CurrentModule->PortableMode = portableMode;
}

int WINAPI InitialLoad(int portableMode) noexcept {
    ChimeModule* module = CurrentModule;
    if (module == nullptr) return 0;
    module->PortableMode = portableMode;
    const InitialLoadOutcome outcome = InitialLoadSettings(*module, module->PortableMode, module->Instance);
    module->SettingsLoaded = outcome.settingsLoaded;
    return outcome.result;
}

int WINAPI ChangePortableMode(int portableMode) noexcept {
    ChimeModule* module = CurrentModule;
    if (module == nullptr || !RelocateSettingsFile(portableMode, module->Instance)) return 0;
    module->PortableMode = portableMode;
    return 1;
}

} // extern "C"

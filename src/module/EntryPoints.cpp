// The entry points through which the launcher drives the module. Each one only
// forwards to the scheduler, the settings storage or the settings dialog.
#include "dialog/SettingDialog.h"
#include "module/ChimeModule.h"
#include "module/ChimeTimer.h"
#include "module/ModuleSettings.h"
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

// Stops the timer, runs the dialog, then saves and re-arms (or stops) after OK or
// when the dialog could not be created; nothing after Cancel. Settings that were
// never loaded nor confirmed are not saved over a stored file.
int WINAPI Setting() noexcept {
    ChimeModule* module = CurrentModule;
    if (module == nullptr) return 0;
    // A second call from the open dialog's message loop (a tray menu, a hot
    // key) shows the open dialog instead of stacking another over it.
    if (BringSettingDialogToFront()) return 0;
    // The dialog shows what the file holds once it can be read.
    if (module->SettingsUnread) RetryUnreadSettings(*module);
    StopChimeTimer(*module);
    RefreshOptionalKeys(*module);  // the optional keys as the file holds them now
    const SettingDialogHost host{module->Instance, module->ParentWindow,
                                 [](void* context) { return CurrentVolume(*static_cast<ChimeModule*>(context)); },
                                 module};
    const ChimeSettings shown = *module;
    ChimeSettings chosen = shown;
    const INT_PTR result = RunSettingDialog(host, chosen);
    if (result == 1) {
        TakeDialogChoice(*module, shown, chosen);
        module->SettingsLoaded = true;  // the user chose every value
    }
    if (result != 0) {
        if (module->SettingsLoaded) {
            if (!module->SettingsFile.valid) PrepareSettingsFile(*module);  // no InitialLoad before
            // A file not read yet (a crashed save's copy still held, the file
            // held) takes no save: the choice waits in the record, and the
            // minute that reads the file saves it into the file's text.
            if (SaveModuleSettings(*module) != 0) module->SettingsUnread = false;
        }
        // A choice waiting for the file is retried each minute, disabled too.
        if (module->Enable != 0 || module->SettingsUnread) ArmChimeTimer(*module);
        else StopChimeTimer(*module);
    }
    return static_cast<int>(result);
}

int WINAPI StartModule() noexcept {
    return CurrentModule != nullptr ? ArmChimeTimer(*CurrentModule) : 0;
}

int WINAPI StopModule() noexcept {
    return CurrentModule != nullptr ? StopChimeTimer(*CurrentModule) : 0;
}

void WINAPI SetPortableMode(int portableMode) noexcept {
    if (CurrentModule == nullptr) return;
    CurrentModule->PortableMode = portableMode;
    PrepareSettingsFile(*CurrentModule);
}

int WINAPI InitialLoad(int portableMode) noexcept {
    ChimeModule* module = CurrentModule;
    if (module == nullptr) return 0;
    module->PortableMode = portableMode;
    PrepareSettingsFile(*module);
    const InitialLoadOutcome outcome =
        InitialLoadSettings(*module, module->SettingsFile, module->PortableMode, module->Instance);
    module->SettingsLoaded = outcome.settingsLoaded;
    module->SettingsUnread = !outcome.settingsLoaded;
    if (outcome.settingsLoaded) NoteSettingsFileRead(*module);
    // Optional keys not all read are read again at the next minute.
    if (!outcome.optionalRead) module->SettingsStamp = SettingsFileStamp{};
    return outcome.result;
}

int WINAPI ChangePortableMode(int portableMode) noexcept {
    ChimeModule* module = CurrentModule;
    if (module == nullptr || !RelocateSettingsFile(portableMode, module->Instance)) return 0;
    module->PortableMode = portableMode;
    PrepareSettingsFile(*module);
    return 1;
}

} // extern "C"

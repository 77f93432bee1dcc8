#pragma once
// The modal settings dialog over the host window: the settings it shows come
// in, the user's choice goes out; it knows nothing of the module's record.
#include "settings/ChimeSettings.h"

#include <windows.h>

namespace tolltone {

// What the dialog needs of its owner.
struct SettingDialogHost {
    HINSTANCE Instance;
    HWND Owner;
    // The volume the settings file holds now, for the Test button.
    int32_t (*CurrentVolume)(void* context);
    void* Context;
};

// Runs dialog 3000 with the module's manifest active, showing settings: 1 after
// OK (settings then hold the user's choice, the 詳細設定 dialog's included),
// 0 after Cancel or close (settings unchanged), -1 when the dialog could not be
// created.
INT_PTR RunSettingDialog(const SettingDialogHost& host, ChimeSettings& settings);

// When a settings dialog is open, brings it to the front and gives true.
bool BringSettingDialogToFront();

} // namespace tolltone

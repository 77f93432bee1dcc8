#pragma once
// The modal settings dialog over the host window.
#include "module/ChimeModule.h"

namespace tolltone {

struct SettingDialogParam {
    HINSTANCE Instance;
    ChimeModule* Module;  // read at start, written on OK; not owned
};

// Runs dialog 3000 with the module's manifest active: 1 after OK (the record
// then holds the controls' values), 0 after Cancel or close, -1 when the dialog
// could not be created.
INT_PTR RunSettingDialog(ChimeModule& module);

// When a settings dialog is open, brings it to the front and gives true.
bool BringSettingDialogToFront();

} // namespace tolltone

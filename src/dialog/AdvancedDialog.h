#pragma once
// The 詳細設定 dialog (resource 3001), modal over the settings dialog: the
// optional keys. The values it shows come in, the user's choice goes out.
#include "settings/QuietSettings.h"
#include "settings/SoundSettings.h"

#include <windows.h>

namespace tolltone {

// Shows quiet and sounds; after OK (true) they hold the user's choice, after
// Cancel or close (false) they are unchanged. waveName is the sound a moment
// without one of its own plays.
bool RunAdvancedDialog(HINSTANCE instance, HWND owner, QuietSettings& quiet, SoundSettings& sounds,
                       const wchar_t* waveName);

} // namespace tolltone

#pragma once
// The file browser behind the "..." buttons of both dialogs.
#include <windows.h>

namespace tolltone {

// Opens the browser at the edit's name, first in the per-user settings folder;
// a chosen file's full path goes into the edit. Cancel changes nothing.
void BrowseSoundFile(HWND dialog, int editId, HINSTANCE instance);

} // namespace tolltone

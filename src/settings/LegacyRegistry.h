#pragma once
// The registry of the oldest releases: HKCU\Software\Orvane\Tolltone and the
// uninstall entry that their installer left under HKLM.
#include "settings/ChimeSettings.h"

#include <windows.h>

namespace tolltone {

bool LegacyKeyExists(HINSTANCE strings);

// Reads the five values over settings. A missing value gives its default; a
// value stored in a form the module cannot take (wrong size, too long) keeps
// what settings held. False when the key could not be opened or a value could
// not be read (no access, an I/O error): the key must stay for the next start.
bool ReadLegacySettings(HINSTANCE strings, ChimeSettings& settings);

void DeleteLegacyKey(HINSTANCE strings);

// Deletes the old uninstall entry; the error of opening its parent key (5 without
// administrator rights), else the result of closing it (0).
LONG DeleteOldUninstallEntry();

} // namespace tolltone

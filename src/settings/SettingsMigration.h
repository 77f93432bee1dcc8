#pragma once
// The first load of a release: settings of older releases are brought forward
// (registry, then the old maker folder), then the settings file is loaded. And
// the move of the file between the per-user and the portable location.
#include "settings/ChimeSettings.h"
#include "settings/SettingsFile.h"

#include <windows.h>

namespace tolltone {

struct InitialLoadOutcome {
    int result = 0;
    // False when the settings file could not be read (held, unreadable, a copy
    // that cannot be taken yet, a mark that cannot be turned): the record then
    // holds defaults that must never be written over that file.
    bool settingsLoaded = false;
    bool optionalRead = false;  // the optional keys too
    // Not loaded because a write was refused (a crashed save's copy not moved, a
    // file in a foreign encoding not turned), not because a read failed.
    bool writeRefused = false;
};

// current is the settings file of the mode, found ahead by the caller: a second
// look-up that failed must not make the defaults the file's.
InitialLoadOutcome InitialLoadSettings(ChimeSettings& settings, const SettingsPath& current, int32_t portableMode,
                                       HINSTANCE strings);

// Moves the settings file to the location of toPortable's mode, replacing a file
// there. True when it was moved.
bool RelocateSettingsFile(int32_t toPortable, HINSTANCE strings);

} // namespace tolltone

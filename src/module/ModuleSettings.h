#pragma once
// Saving the record to the settings file of its current mode.
#include "module/ChimeModule.h"
#include "settings/SettingsFile.h"

namespace tolltone {

// Finds the current mode's settings file and loads the texts a save needs.
inline void PrepareSettingsFile(ChimeModule& module) {
    module.SettingsFile = SettingsFilePath(module.PortableMode, module.Instance);
    module.Texts = LoadSettingsTexts(module.Instance);
}

// Saves to the file found by the last PrepareSettingsFile; calls nothing that
// loads a library or takes a shell lock, so the unload may call it.
inline int SaveModuleSettings(const ChimeModule& module) {
    return SaveSettings(module.SettingsFile, module.Texts, module);
}

} // namespace tolltone

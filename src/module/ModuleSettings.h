#pragma once
// Saving the record to the settings file of its current mode.
#include "module/ChimeModule.h"
#include "settings/SettingsFile.h"

namespace tolltone {

inline int SaveModuleSettings(const ChimeModule& module) {
    return SaveSettings(SettingsFilePath(module.PortableMode, module.Instance), module.Instance, module);
}

} // namespace tolltone

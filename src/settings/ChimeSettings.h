#pragma once
// The five persisted settings of the module, and the quiet and sound keys read
// beside them. Plain data, shared by the scheduler, the settings file and the
// dialog; ChimeModule extends it with the run-time state.
#include "base/PlatformLimits.h"
#include "settings/QuietSettings.h"
#include "settings/SoundSettings.h"

#include <cstdint>

namespace tolltone {

inline constexpr int32_t NoChime = -1; // Interval value meaning "None"

struct ChimeSettings {
    wchar_t WaveName[PathUnits] = {};  // sound to play; empty = no sound
    int32_t Interval = NoChime;        // whole seconds
    int32_t Enable = 0;
    int32_t SignalType = 0;            // 0 = once per interval, 1 = strike the hour
    int32_t TimeType = 0;              // 0 = 12-hour clock, 1 = 24-hour clock
    QuietSettings Quiet;               // optional keys: written only where the user changed one
    SoundSettings Sounds;              // optional keys: written only where the user changed one
};

} // namespace tolltone

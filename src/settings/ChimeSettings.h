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

// The five as bits, in the file's order: a save over a file the module could
// not read writes only those the user changed.
enum ChimeKey : unsigned {
    EnableKey = 1, SignalTypeKey = 2, IntervalKey = 4, TimeTypeKey = 8, WaveNameKey = 16, AllChimeKeys = 31,
};

inline unsigned ChangedChimeKeys(const ChimeSettings& a, const ChimeSettings& b) {
    unsigned keys = 0;
    if (a.Enable != b.Enable) keys |= EnableKey;
    if (a.SignalType != b.SignalType) keys |= SignalTypeKey;
    if (a.Interval != b.Interval) keys |= IntervalKey;
    if (a.TimeType != b.TimeType) keys |= TimeTypeKey;
    for (int i = 0; i < PathUnits && (a.WaveName[i] != L'\0' || b.WaveName[i] != L'\0'); ++i)
        if (a.WaveName[i] != b.WaveName[i]) {
            keys |= WaveNameKey;
            break;
        }
    return keys;
}

} // namespace tolltone

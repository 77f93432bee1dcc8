#pragma once
// Which sound a chime minute plays, as a clock tower does: its own sound for the
// hour, the half and the quarters when the user named one, else WaveName.
#include "scheduler/ChimeRules.h"
#include "settings/ChimeSettings.h"

namespace tolltone {

// The sound named for the moment of this minute (:00, :30, :15 and :45), or null
// when the minute is no such moment or its key is absent or empty.
inline const wchar_t* MomentWaveName(const SoundSettings& sounds, int minute) {
    const wchar_t* name = nullptr;
    switch (minute) {
    case 0: name = sounds.HourWaveName; break;
    case 30: name = sounds.HalfWaveName; break;
    case 15:
    case 45: name = sounds.QuarterWaveName; break;
    default: return nullptr;
    }
    return name[0] != L'\0' ? name : nullptr;
}

// A named moment chimes even where the interval would not; never while the
// interval is None or the module is disabled.
inline bool IsMomentMinute(const ChimeSettings& settings, int minute) {
    return settings.Enable != 0 && settings.Interval != NoChime && MomentWaveName(settings.Sounds, minute) != nullptr;
}

struct ChimeChoice {
    const wchar_t* waveName;
    int strokes;  // when striking the hour
};

// A minute without a sound of its own plays WaveName exactly as always. With one,
// the hour keeps its count of strokes and every other moment sounds once.
inline ChimeChoice ChooseChime(const ChimeSettings& settings, int hour, int minute) {
    const wchar_t* moment = MomentWaveName(settings.Sounds, minute);
    if (moment == nullptr) return {settings.WaveName, StrokeCount(hour, minute, settings.TimeType)};
    return {moment, minute == 0 ? StrokeCount(hour, minute, settings.TimeType) : 1};
}

} // namespace tolltone

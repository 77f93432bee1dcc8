#pragma once
// The optional sound keys of the settings file: a sound of its own for the hour,
// the half and the quarters, and the module's own volume. The user sets them in
// the 詳細設定 dialog or by hand; the module reads them with the quiet keys.
#include "base/PlatformLimits.h"

#include <cstdint>

namespace tolltone {

inline constexpr int32_t FullVolume = 100;  // percent: the file as it is

struct SoundSettings {
    wchar_t HourWaveName[PathUnits] = {};     // minute :00; empty = WaveName as always
    wchar_t HalfWaveName[PathUnits] = {};     // minute :30
    wchar_t QuarterWaveName[PathUnits] = {};  // minutes :15 and :45
    int32_t Volume = FullVolume;              // 0..100
    bool OnTheSecond = false;                 // "1": chimes start on the boundary, marks land on it
};

// "0" to "100", blanks allowed around the digits. Anything else (empty, a sign,
// a unit, more than 100) gives FullVolume: a typo plays the file as it is and
// never silences the module.
template <class Unit>
int32_t ParseVolume(const Unit* text) {
    const Unit* p = text;
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    if (*p < Unit('0') || *p > Unit('9')) return FullVolume;
    int32_t value = 0;
    for (; *p >= Unit('0') && *p <= Unit('9'); ++p) {
        value = value * 10 + static_cast<int32_t>(*p - Unit('0'));
        if (value > FullVolume) return FullVolume;
    }
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    return *p == Unit('\0') ? value : FullVolume;
}

// "1", blanks allowed around it; anything else keeps the default timing.
template <class Unit>
bool ParseOnTheSecond(const Unit* text) {
    const Unit* p = text;
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    if (*p++ != Unit('1')) return false;
    while (*p == Unit(' ') || *p == Unit('\t')) ++p;
    return *p == Unit('\0');
}

} // namespace tolltone

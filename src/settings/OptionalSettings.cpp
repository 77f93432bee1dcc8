#include "settings/OptionalSettings.h"

#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "settings/IniInteger.h"
#include "settings/ProfileEncoding.h"
#include "settings/ProfileRead.h"
#include "win32/UniqueHandle.h"

#include <cstring>
#include <cwchar>

namespace tolltone {
namespace {

// A value cut to its buffer is malformed, whatever its first part says. The
// quiet keys keep their 63 units; the seven day names spelt out need more.
constexpr DWORD ShortUnits = 64;
constexpr DWORD DaysUnits = 128;

struct ShortValue {
    wchar_t text[DaysUnits] = {};
    bool whole = false;
};

// Reads the keys of one section by the names loaded ahead.
struct OptionalReader {
    const ProfileSnapshot& file;
    const OptionalKeyNames& names;

    const wchar_t* Key(UINT keyId) const { return names.keys[keyId - IDS_KEY_QUIET_HOURS]; }
    ShortValue Short(UINT keyId, DWORD units = ShortUnits) {
        ShortValue value;
        value.whole = file.Value(names.section, Key(keyId), value.text, units) < units - 1;
        return value;
    }
    // The names are taken as WaveName is: any text, up to the path limit.
    void Name(UINT keyId, wchar_t* name) { file.Value(names.section, Key(keyId), name, PathUnits); }
};

void LoadQuietSettings(OptionalReader& reader, QuietSettings& quiet) {
    const ShortValue hours = reader.Short(IDS_KEY_QUIET_HOURS);
    quiet.Hours = hours.whole ? ParseQuietHours(hours.text) : QuietHours{};
    quiet.WhenBusy = ParseIniInteger(reader.Short(IDS_KEY_QUIET_WHEN_BUSY).text, 0);
    quiet.WhenLocked = ParseIniInteger(reader.Short(IDS_KEY_QUIET_WHEN_LOCKED).text, 0);
    const ShortValue days = reader.Short(IDS_KEY_QUIET_DAYS, DaysUnits);
    quiet.Days = days.whole ? ParseQuietDays(days.text) : 0;
}

void LoadSoundSettings(OptionalReader& reader, SoundSettings& sounds) {
    reader.Name(IDS_KEY_HOUR_WAVE_NAME, sounds.HourWaveName);
    reader.Name(IDS_KEY_HALF_WAVE_NAME, sounds.HalfWaveName);
    reader.Name(IDS_KEY_QUARTER_WAVE_NAME, sounds.QuarterWaveName);
    const ShortValue volume = reader.Short(IDS_KEY_VOLUME);
    sounds.Volume = volume.whole ? ParseVolume(volume.text) : FullVolume;
    const ShortValue onTheSecond = reader.Short(IDS_KEY_ON_THE_SECOND);
    sounds.OnTheSecond = onTheSecond.whole && ParseOnTheSecond(onTheSecond.text);
}

// Each key's text in the string table: IDS_KEY_QUIET_HOURS and the eight after
// it, in the order of the OptionalKey bits.
constexpr UINT FirstOptionalKeyId = IDS_KEY_QUIET_HOURS;
static_assert(IDS_KEY_ON_THE_SECOND == FirstOptionalKeyId + OptionalKeyCount - 1);
static_assert(OnTheSecondKey == 1 << (OptionalKeyCount - 1));

bool SameQuietHours(const QuietHours& a, const QuietHours& b) {
    const bool noneA = a.startMinute == a.endMinute, noneB = b.startMinute == b.endMinute;
    return noneA || noneB ? noneA == noneB : a.startMinute == b.startMinute && a.endMinute == b.endMinute;
}

// The keys whose values differ, as bits.
uint16_t DifferentKeys(const ChimeSettings& a, const ChimeSettings& b) {
    uint16_t keys = 0;
    const auto differ = [&keys](bool different, OptionalKey key) {
        if (different) keys = static_cast<uint16_t>(keys | key);
    };
    differ(!SameQuietHours(a.Quiet.Hours, b.Quiet.Hours), QuietHoursKey);
    differ((a.Quiet.WhenBusy != 0) != (b.Quiet.WhenBusy != 0), QuietWhenBusyKey);
    differ((a.Quiet.WhenLocked != 0) != (b.Quiet.WhenLocked != 0), QuietWhenLockedKey);
    differ(std::wcscmp(a.Sounds.HourWaveName, b.Sounds.HourWaveName) != 0, HourWaveNameKey);
    differ(std::wcscmp(a.Sounds.HalfWaveName, b.Sounds.HalfWaveName) != 0, HalfWaveNameKey);
    differ(std::wcscmp(a.Sounds.QuarterWaveName, b.Sounds.QuarterWaveName) != 0, QuarterWaveNameKey);
    differ(a.Sounds.Volume != b.Sounds.Volume, VolumeKey);
    differ(a.Quiet.Days != b.Quiet.Days, QuietDaysKey);
    differ(a.Sounds.OnTheSecond != b.Sounds.OnTheSecond, OnTheSecondKey);
    return keys;
}

// Copies the values of keys from one record to another.
void CopyKeys(uint16_t keys, const QuietSettings& quiet, const SoundSettings& sounds, QuietSettings& toQuiet,
              SoundSettings& toSounds) {
    if (keys & QuietHoursKey) toQuiet.Hours = quiet.Hours;
    if (keys & QuietWhenBusyKey) toQuiet.WhenBusy = quiet.WhenBusy;
    if (keys & QuietWhenLockedKey) toQuiet.WhenLocked = quiet.WhenLocked;
    if (keys & HourWaveNameKey) std::wcscpy(toSounds.HourWaveName, sounds.HourWaveName);
    if (keys & HalfWaveNameKey) std::wcscpy(toSounds.HalfWaveName, sounds.HalfWaveName);
    if (keys & QuarterWaveNameKey) std::wcscpy(toSounds.QuarterWaveName, sounds.QuarterWaveName);
    if (keys & VolumeKey) toSounds.Volume = sounds.Volume;
    if (keys & QuietDaysKey) toQuiet.Days = quiet.Days;
    if (keys & OnTheSecondKey) toSounds.OnTheSecond = sounds.OnTheSecond;
}

void AppendTwoDigits(wchar_t*& out, int value) {
    *out++ = static_cast<wchar_t>(L'0' + value / 10);
    *out++ = static_cast<wchar_t>(L'0' + value % 10);
}

// "HH:MM-HH:MM"; empty for no quiet hours.
void FormatQuietHours(const QuietHours& hours, wchar_t* out) {
    if (hours.startMinute != hours.endMinute) {
        for (const int minute : {hours.startMinute, hours.endMinute}) {
            AppendTwoDigits(out, minute / 60);
            *out++ = L':';
            AppendTwoDigits(out, minute % 60);
            *out++ = L'-';
        }
        --out;
    }
    *out = L'\0';
}

// The days from Monday to Sunday, as the docs write them ("Sat,Sun").
void FormatQuietDays(uint8_t days, wchar_t* out) {
    static const wchar_t Names[7][4] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    out[0] = L'\0';
    for (int i = 1; i <= 7; ++i) {
        const int day = i % 7;
        if ((days & (1u << day)) == 0) continue;
        if (out[0] != L'\0') std::wcscat(out, L",");
        std::wcscat(out, Names[day]);
    }
}

// The text a changed key writes; names point into changes.
const wchar_t* ValueText(const OptionalChanges& changes, uint16_t key, wchar_t (&buffer)[32]) {
    const auto flag = [&buffer](bool on) {
        std::wcscpy(buffer, on ? L"1" : L"0");
        return buffer;
    };
    switch (key) {
    case QuietHoursKey: FormatQuietHours(changes.Quiet.Hours, buffer); return buffer;
    case QuietWhenBusyKey: return flag(changes.Quiet.WhenBusy != 0);
    case QuietWhenLockedKey: return flag(changes.Quiet.WhenLocked != 0);
    case HourWaveNameKey: return changes.Sounds.HourWaveName;
    case HalfWaveNameKey: return changes.Sounds.HalfWaveName;
    case QuarterWaveNameKey: return changes.Sounds.QuarterWaveName;
    case VolumeKey: std::wcscpy(buffer, FormatIniInteger(changes.Sounds.Volume, false).text); return buffer;
    case QuietDaysKey: FormatQuietDays(changes.Quiet.Days, buffer); return buffer;
    default: return flag(changes.Sounds.OnTheSecond);
    }
}

} // namespace

bool SameStamp(const SettingsFileStamp& a, const SettingsFileStamp& b) {
    return a.known && b.known && a.exists == b.exists && a.writeTime == b.writeTime && a.size == b.size;
}

// Through a handle: a file that is a symbolic link opens as the file it names,
// whose stamp is the one an edit changes (the link's own attributes, which
// Windows' GetFileAttributesExW gives, never change).
SettingsFileStamp ReadSettingsFileStamp(const SettingsPath& path) {
    SettingsFileStamp stamp;
    stamp.known = true;
    if (!path.valid) return stamp;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION data;
    if (!file || !::GetFileInformationByHandle(file.Get(), &data)) {
        const DWORD error = ::GetLastError();
        // Only a file that is not there is told as such; a failed query tells nothing.
        stamp.known = !file && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
        return stamp;
    }
    stamp.exists = true;
    stamp.writeTime = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    stamp.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return stamp;
}

OptionalKeyNames LoadOptionalKeyNames(HINSTANCE strings) {
    OptionalKeyNames names;
    names.loaded = ::LoadStringW(strings, IDS_SECTION, names.section, PathUnits) > 0;
    for (int i = 0; i < OptionalKeyCount; ++i)
        names.loaded = names.loaded && ::LoadStringW(strings, FirstOptionalKeyId + static_cast<UINT>(i), names.keys[i],
                                                     OptionalKeyUnits) > 0;
    return names;
}

bool ReadOptionalKeys(const ProfileSnapshot& file, const OptionalKeyNames& names, QuietSettings& quiet,
                      SoundSettings& sounds) {
    if (!names.loaded || !file.Reached()) return false;
    OptionalReader reader{file, names};
    LoadQuietSettings(reader, quiet);
    LoadSoundSettings(reader, sounds);
    return true;
}

bool LoadOptionalSettings(const ProfileSnapshot& file, HINSTANCE strings, ChimeSettings& settings) {
    // Read into a copy: keys that could not all be read leave the record's as they were.
    QuietSettings quiet;
    SoundSettings sounds;
    if (!ReadOptionalKeys(file, LoadOptionalKeyNames(strings), quiet, sounds)) return false;
    settings.Quiet = quiet;
    settings.Sounds = sounds;
    return true;
}

SettingsLook LookAtSettingsFile(const SettingsPath& path, const SettingsFileStamp& known, const OptionalKeyNames& names) {
    SettingsLook look;
    look.basis = known;
    if (!path.valid) return look;
    look.stamp = ReadSettingsFileStamp(path);
    if (SameStamp(look.stamp, known)) {
        look.result = LookResult::Unchanged;
        return look;
    }
    const ProfileMark mark = ReadProfileMark(path.text);
    if (mark == ProfileMark::Unknown) return look;  // a read that failed: next minute again
    if (mark == ProfileMark::Foreign) {
        look.result = LookResult::Foreign;  // turning it writes: the host's thread does that
        return look;
    }
    // Stamped before the read: a write during the read shows at the next look.
    if (ReadOptionalKeys(ProfileSnapshot(path.text), names, look.quiet, look.sounds)) look.result = LookResult::Changed;
    return look;
}

bool RefreshOptionalSettings(const SettingsPath& path, HINSTANCE strings, SettingsFileStamp& known,
                             RefusedWrite& retry, ChimeSettings& settings) {
    if (!path.valid) return false;
    const SettingsFileStamp now = ReadSettingsFileStamp(path);
    if (SameStamp(now, known)) return false;
    // A file saved with a foreign mark while the module runs is turned first;
    // that replaces it, so it is stamped again.
    const ProfileMark mark = ReadProfileMark(path.text);
    if (mark == ProfileMark::Unknown) return false;  // a read that failed: next minute again
    const bool foreign = mark == ProfileMark::Foreign;
    if (foreign) {
        if (!retry.Due(now)) return false;
        if (!TurnForeignSettingsFile(path, LoadSettingsTexts(strings))) {
            retry.Refused(now);
            return false;
        }
        retry.Reset();
    }
    // Stamped before the read: a write during the read shows at the next check.
    // A read that failed keeps the old stamp: it is tried again next minute.
    const SettingsFileStamp stamp = foreign ? ReadSettingsFileStamp(path) : now;
    if (!LoadOptionalSettings(ProfileSnapshot(path.text), strings, settings)) return false;
    known = stamp;
    return true;
}

OptionalChanges ChangedOptionalKeys(HINSTANCE strings, const ChimeSettings& read, const ChimeSettings& chosen) {
    OptionalChanges changes;
    for (int i = 0; i < OptionalKeyCount; ++i)
        if (::LoadStringW(strings, FirstOptionalKeyId + static_cast<UINT>(i), changes.names[i], 24) <= 0) return {};
    changes.keys = DifferentKeys(read, chosen);
    changes.Quiet = chosen.Quiet;
    changes.Sounds = chosen.Sounds;
    return changes;
}

void AddOptionalChanges(OptionalChanges& pending, const OptionalChanges& later) {
    if (later.keys == 0) return;
    CopyKeys(later.keys, later.Quiet, later.Sounds, pending.Quiet, pending.Sounds);
    pending.keys = static_cast<uint16_t>(pending.keys | later.keys);
    std::memcpy(pending.names, later.names, sizeof pending.names);
}

void ApplyOptionalChanges(const OptionalChanges& changes, ChimeSettings& settings) {
    CopyKeys(changes.keys, changes.Quiet, changes.Sounds, settings.Quiet, settings.Sounds);
}

AnsiFit FitOptionalChanges(const OptionalChanges& changes) {
    AnsiFit fit = AnsiFit::Holds;
    for (int i = 0; i < OptionalKeyCount && fit == AnsiFit::Holds; ++i) {
        const uint16_t key = static_cast<uint16_t>(1u << i);
        if ((changes.keys & key) == 0) continue;
        wchar_t buffer[32];
        fit = FitAnsiCodePage(changes.names[i]);
        if (fit == AnsiFit::Holds) fit = FitAnsiCodePage(ValueText(changes, key, buffer));
    }
    return fit;
}

bool WriteOptionalChanges(const wchar_t* file, const wchar_t* section, const OptionalChanges& changes) {
    for (int i = 0; i < OptionalKeyCount; ++i) {
        const uint16_t key = static_cast<uint16_t>(1u << i);
        if ((changes.keys & key) == 0) continue;
        wchar_t buffer[32];
        if (!::WritePrivateProfileStringW(section, changes.names[i], ValueText(changes, key, buffer), file)) return false;
    }
    return true;
}

} // namespace tolltone

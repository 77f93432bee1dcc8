#include "settings/OptionalSettings.h"

#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "settings/IniInteger.h"
#include "settings/ProfileEncoding.h"
#include "settings/ProfileRead.h"
#include "win32/UniqueHandle.h"

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

// Reads the keys of one section; complete stays true only while every key's
// name loaded and every read reached the file.
struct OptionalReader {
    const ProfileSnapshot& file;
    const wchar_t* section;
    HINSTANCE strings;
    bool complete = true;

    ShortValue Short(UINT keyId, DWORD units = ShortUnits) {
        ShortValue value;
        const ResourceText key = LoadResourceText(strings, keyId);
        complete = complete && key.loaded;
        value.whole = file.Value(section, key.text, value.text, units) < units - 1;
        return value;
    }
    // The names are taken as WaveName is: any text, up to the path limit.
    void Name(UINT keyId, wchar_t* name) {
        const ResourceText key = LoadResourceText(strings, keyId);
        complete = complete && key.loaded;
        file.Value(section, key.text, name, PathUnits);
    }
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

bool LoadOptionalSettings(const ProfileSnapshot& file, HINSTANCE strings, ChimeSettings& settings) {
    const ResourceText section = LoadResourceText(strings, IDS_SECTION);
    if (!section.loaded || !file.Reached()) return false;
    // Read into a copy: keys that could not all be read leave the record's as they were.
    QuietSettings quiet;
    SoundSettings sounds;
    OptionalReader reader{file, section.text, strings};
    LoadQuietSettings(reader, quiet);
    LoadSoundSettings(reader, sounds);
    if (!reader.complete) return false;
    settings.Quiet = quiet;
    settings.Sounds = sounds;
    return true;
}

bool RefreshOptionalSettings(const SettingsPath& path, HINSTANCE strings, SettingsFileStamp& known,
                             RefusedWrite& retry, ChimeSettings& settings) {
    if (!path.valid) return false;
    const SettingsFileStamp now = ReadSettingsFileStamp(path);
    if (SameStamp(now, known)) return false;
    // A file saved with a foreign mark while the module runs is turned first;
    // that replaces it, so it is stamped again.
    const bool foreign = ReadProfileMark(path.text) != ProfileMark::None;
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

} // namespace tolltone

#include "settings/SettingsFile.h"

#include "paths/PathRules.h"
#include "paths/PathJoin.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "settings/IniInteger.h"
#include "settings/OptionalSettings.h"
#include "settings/ProfileEncoding.h"
#include "settings/ReplacingSave.h"
#include "win32/UniqueHandle.h"

#include <shlobj.h>

#include <iterator>

namespace tolltone {
namespace {

struct IntegerKey {
    UINT keyId;
    int32_t ChimeSettings::*field;
    int32_t fallback;
    bool unsignedForm;
};

// The file's order of keys; WaveName comes last.
constexpr IntegerKey IntegerKeys[] = {
    {IDS_KEY_ENABLE, &ChimeSettings::Enable, 0, false},
    {IDS_KEY_SIGNAL_TYPE, &ChimeSettings::SignalType, 0, false},
    {IDS_KEY_INTERVAL, &ChimeSettings::Interval, NoChime, true},
    {IDS_KEY_TIME_TYPE, &ChimeSettings::TimeType, 0, false},
};

} // namespace

SettingsPath PerUserSettingsPath(HINSTANCE strings, UINT makerFolderId) {
    SettingsPath path;
    wchar_t appData[PathUnits] = {};
    // The folder query's result is not trusted beyond its text: an empty folder
    // gives no usable path.
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    if (appData[0] == L'\0') return path;
    const ResourceText maker = LoadResourceText(strings, makerFolderId);
    const ResourceText host = LoadResourceText(strings, IDS_HOST_FOLDER);
    const ResourceText file = LoadResourceText(strings, IDS_SETTINGS_FILE);
    path.valid = JoinPath<wchar_t>(path.text, PathUnits, {appData, maker.text, host.text, file.text});
    return path;
}

SettingsPath PerUserSettingsPath(HINSTANCE strings) {
    return PerUserSettingsPath(strings, IDS_MAKER_FOLDER);
}

SettingsPath HostDirectorySettingsPath(HINSTANCE strings) {
    SettingsPath path;
    wchar_t directory[PathUnits] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, directory, PathUnits);
    if (length == 0 || length >= PathUnits) return path;  // a cut name is a wrong folder
    DirectoryName(directory, directory, PathUnits, NoDoubleByte{});
    const ResourceText file = LoadResourceText(strings, IDS_SETTINGS_FILE);
    path.valid = JoinPath<wchar_t>(path.text, PathUnits, {directory, file.text});
    return path;
}

SettingsPath SettingsFilePath(int32_t portableMode, HINSTANCE strings) {
    return portableMode != 0 ? HostDirectorySettingsPath(strings) : PerUserSettingsPath(strings);
}

SettingsPath StagingPath(const SettingsPath& path, HINSTANCE strings) {
    SettingsPath copy;
    wchar_t directory[PathUnits] = {};
    DirectoryName(path.text, directory, PathUnits, NoDoubleByte{});
    const ResourceText name = LoadResourceText(strings, IDS_SETTINGS_COPY_FILE);
    copy.valid = directory[0] != L'\0' && JoinPath<wchar_t>(copy.text, PathUnits, {directory, name.text});
    return copy;
}

SettingsFileState ProbeSettingsFile(const SettingsPath& path) {
    if (!path.valid) return SettingsFileState::Missing;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        path.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) return SettingsFileState::Readable;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SettingsFileState::Missing
                                                                          : SettingsFileState::Unreadable;
}

int LoadSettings(const SettingsPath& path, HINSTANCE strings, ChimeSettings& settings) {
    if (!path.valid) {
        settings = ChimeSettings{};
        return 0;
    }
    const ResourceText section = LoadResourceText(strings, IDS_SECTION);
    for (const IntegerKey& key : IntegerKeys) {
        const ResourceText name = LoadResourceText(strings, key.keyId);
        wchar_t value[32] = {};
        ::GetPrivateProfileStringW(section.text, name.text, L"", value, 32, path.text);
        settings.*key.field = ParseIniInteger(value, key.fallback);
    }
    LoadOptionalSettings(path, strings, settings);
    const ResourceText waveKey = LoadResourceText(strings, IDS_KEY_WAVE_NAME);
    return static_cast<int>(::GetPrivateProfileStringW(section.text, waveKey.text, L"",
                                                       settings.WaveName, PathUnits, path.text));
}

int SaveSettings(const SettingsPath& path, HINSTANCE strings, const ChimeSettings& settings) {
    if (!path.valid) return 0;
    const SettingsPath copyPath = StagingPath(path, strings);
    if (!copyPath.valid) return 0;
    StagedCopy copy(path.text, copyPath.text);
    if (!copy.Ready()) return 0;

    const ResourceText section = LoadResourceText(strings, IDS_SECTION);
    struct Entry {
        ResourceText key;
        IniIntegerText number;
        const wchar_t* value;
    };
    Entry entries[std::size(IntegerKeys) + 1];
    for (size_t i = 0; i < std::size(IntegerKeys); ++i) {
        entries[i].key = LoadResourceText(strings, IntegerKeys[i].keyId);
        entries[i].number = FormatIniInteger(settings.*IntegerKeys[i].field, IntegerKeys[i].unsignedForm);
        entries[i].value = entries[i].number.text;
    }
    entries[std::size(IntegerKeys)].key = LoadResourceText(strings, IDS_KEY_WAVE_NAME);
    entries[std::size(IntegerKeys)].value = settings.WaveName;

    // A text the ANSI code page cannot hold would be stored as '?' or a look-alike:
    // the file turns UTF-16 first, and the profile functions keep it so.
    bool ansiHoldsAll = AnsiCodePageHolds(section.text);
    for (const Entry& entry : entries)
        ansiHoldsAll = ansiHoldsAll && AnsiCodePageHolds(entry.key.text) && AnsiCodePageHolds(entry.value);
    if (!ansiHoldsAll && !ConvertProfileToUtf16(copy.Path())) return 0;

    for (const Entry& entry : entries)
        if (!::WritePrivateProfileStringW(section.text, entry.key.text, entry.value, copy.Path())) return 0;
    return copy.Commit() ? 1 : 0;
}

} // namespace tolltone

#include "settings/LegacyRegistry.h"

#include "paths/PathJoin.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "win32/UniqueHandle.h"

#include <shlwapi.h>

#include <cwchar>

namespace tolltone {
namespace {

struct KeyPath {
    wchar_t text[PathUnits] = {};
    bool valid = false;  // an empty path would name HKEY_CURRENT_USER itself
};

KeyPath LegacyKeyPath(HINSTANCE strings) {
    KeyPath path;
    const ResourceText parent = LoadResourceText(strings, IDS_LEGACY_KEY);
    const ResourceText name = LoadResourceText(strings, IDS_SECTION);
    path.valid = parent.loaded && name.loaded && ConcatText<wchar_t>(path.text, PathUnits, {parent.text, name.text});
    return path;
}

UniqueRegistryKey OpenKey(HKEY root, const wchar_t* path, LONG* error = nullptr, REGSAM view = 0) {
    HKEY key = nullptr;
    const LONG result = ::RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS | view, &key);
    if (error != nullptr) *error = result;
    return UniqueRegistryKey(result == ERROR_SUCCESS ? key : nullptr);
}

struct LegacyNumber {
    UINT nameId;
    int32_t ChimeSettings::*field;
    int32_t fallback;
};

constexpr LegacyNumber LegacyNumbers[] = {
    {IDS_KEY_ENABLE, &ChimeSettings::Enable, 0},
    {IDS_KEY_SIGNAL_TYPE, &ChimeSettings::SignalType, 0},
    {IDS_KEY_INTERVAL, &ChimeSettings::Interval, NoChime},
    {IDS_KEY_TIME_TYPE, &ChimeSettings::TimeType, 0},
};

} // namespace

bool LegacyKeyExists(HINSTANCE strings) {
    const KeyPath path = LegacyKeyPath(strings);
    return path.valid && static_cast<bool>(OpenKey(HKEY_CURRENT_USER, path.text));
}

bool ReadLegacySettings(HINSTANCE strings, ChimeSettings& settings) {
    const KeyPath path = LegacyKeyPath(strings);
    HKEY opened = nullptr;
    if (!path.valid || ::RegCreateKeyExW(HKEY_CURRENT_USER, path.text, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                         &opened, nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueRegistryKey key(opened);

    // A value that could not be read keeps the field and the whole key.
    bool complete = true;
    for (const LegacyNumber& number : LegacyNumbers) {
        const ResourceText name = LoadResourceText(strings, number.nameId);
        complete = complete && name.loaded;
        if (!name.loaded) continue;
        int32_t value = 0;
        DWORD size = sizeof value;
        const LONG result = ::RegQueryValueExW(key.Get(), name.text, nullptr, nullptr,
                                               reinterpret_cast<BYTE*>(&value), &size);
        if (result == ERROR_SUCCESS && size == sizeof value) settings.*number.field = value;
        else if (result == ERROR_FILE_NOT_FOUND) settings.*number.field = number.fallback;
        else if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) complete = false;  // too long: never usable
    }

    const ResourceText waveKey = LoadResourceText(strings, IDS_KEY_WAVE_NAME);
    if (!waveKey.loaded) return false;
    wchar_t wave[PathUnits] = {};
    DWORD size = sizeof wave;
    const LONG result = ::RegQueryValueExW(key.Get(), waveKey.text, nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(wave), &size);
    if (result == ERROR_SUCCESS) {
        // The stored text need not be terminated: cut it to the field.
        const DWORD units = size / sizeof(wchar_t);
        wave[units < PathUnits ? units : PathUnits - 1] = L'\0';
        std::wcscpy(settings.WaveName, wave);
    } else if (result == ERROR_FILE_NOT_FOUND) {
        settings.WaveName[0] = L'\0';
    } else if (result != ERROR_MORE_DATA) {
        complete = false;
    }
    return complete;
}

void DeleteLegacyKey(HINSTANCE strings) {
    const ResourceText parentPath = LoadResourceText(strings, IDS_LEGACY_KEY);
    const ResourceText name = LoadResourceText(strings, IDS_SECTION);
    if (!parentPath.loaded || !name.loaded) return;
    const UniqueRegistryKey parent = OpenKey(HKEY_CURRENT_USER, parentPath.text);
    if (parent) ::SHDeleteKeyW(parent.Get(), name.text);
}

LONG DeleteOldUninstallEntry() {
    constexpr const wchar_t* Uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    constexpr const wchar_t* Entry = L"Quiver Plug Tolltone";
    // A 32-bit installer of an older release wrote its entry into the 32-bit
    // view; it goes too, and the result stays that of the 64-bit view.
    if (const UniqueRegistryKey uninstall32 = OpenKey(HKEY_LOCAL_MACHINE, Uninstall, nullptr, KEY_WOW64_32KEY))
        ::SHDeleteKeyW(uninstall32.Get(), Entry);
    LONG error = ERROR_SUCCESS;
    UniqueRegistryKey uninstall = OpenKey(HKEY_LOCAL_MACHINE, Uninstall, &error, KEY_WOW64_64KEY);
    if (!uninstall) return error;
    ::SHDeleteKeyW(uninstall.Get(), Entry);
    return ::RegCloseKey(uninstall.Release());
}

} // namespace tolltone

#pragma once
// The settings file Tolltone.ini: where it lives and how the five settings are
// read from and written to it.
#include "resources/ResourceText.h"
#include "settings/ChimeSettings.h"

#include <windows.h>

namespace tolltone {

struct SettingsPath {
    wchar_t text[PathUnits] = {};
    bool valid = false;  // false when the location could not be found or is too long
};

// AppData\<maker>\Quiver\Tolltone.ini; maker is the string id of the maker folder.
SettingsPath PerUserSettingsPath(HINSTANCE strings, UINT makerFolderId);
SettingsPath PerUserSettingsPath(HINSTANCE strings);
// Tolltone.ini beside the host process's executable.
SettingsPath HostDirectorySettingsPath(HINSTANCE strings);
SettingsPath SettingsFilePath(int32_t portableMode, HINSTANCE strings);

// The texts a save writes, loaded from the string table ahead of time: a save
// at unload runs under the loader lock and loads nothing there.
struct SettingsTexts {
    ResourceText section;
    ResourceText keys[5];   // in the file's order; WaveName last
    ResourceText copyName;  // the staging copy's name; each save makes it unique
    bool loaded = false;    // every text: a save without one of them does nothing
};
SettingsTexts LoadSettingsTexts(HINSTANCE strings);

// The copy beside a settings file that one save writes into (.tmp) and marks as
// complete (.new) before it replaces the file. Unique to the process and the
// save, so two programs saving one file never touch each other's copy; invalid
// when it would not fit the path limit.
struct StagingNames {
    SettingsPath writing;
    SettingsPath complete;
};
StagingNames UniqueStagingNames(const SettingsPath& path, const SettingsTexts& texts);
// The bytes of from put at place: copied under place's staging name, flushed,
// then renamed (moveFlags: MOVEFILE_REPLACE_EXISTING or not), so a crash never
// leaves half a file under the settings file's name. from stays as it is.
bool CopyIntoPlace(const wchar_t* from, const SettingsPath& place, const SettingsTexts& texts, DWORD moveFlags);

// A complete copy left by a crash on a file system that replaces in two steps
// (delete, then rename) where the file itself is gone: the newest one is put in
// the file's place (for a link whose file is gone, in the place of that file).
// A copy that a reader holds without sharing its deletion (a scanner) is copied
// into place instead, and marked as taken until it can go.
// Left: the file is gone and a copy may hold the user's values, but it could not
// be moved nor read (held without sharing), or the folder or the copy's name
// could not be searched for; defaults saved there now would hide it for good.
enum class CopyAdoption { None, Adopted, Left };
CopyAdoption AdoptCompleteCopy(const SettingsPath& path, const SettingsTexts& texts);
// A start's look at a complete copy beside a file that is there (a crash between
// the two renames on a file system that replaces in one step): the newest one,
// of a process that no longer runs, takes the file's place when it was written
// after the file, and goes when the file is newer; a deleted file must not
// bring it back later. Left: a newer copy that could not be moved yet.
CopyAdoption SettleCopyBesideFile(const SettingsPath& path, const SettingsTexts& texts);

// A file that begins with a big-endian or UTF-8 mark reads as garbage through
// Windows' profile functions: it is replaced, as a save replaces it, by the same
// text in ANSI or UTF-16LE. True when the file needs nothing or was turned, or
// holds bytes after a UTF-8 mark that are no UTF-8 (it is then read as Windows
// reads it and never rewritten); false when it could not be read or turned.
bool TurnForeignSettingsFile(const SettingsPath& path, const SettingsTexts& texts);

enum class SettingsFileState { Missing, Readable, Unreadable };

// Whether the file can be read. An unreadable file (locked, no access) must not
// be taken for a missing one: the module would then overwrite it with defaults.
SettingsFileState ProbeSettingsFile(const SettingsPath& path);

struct SettingsRead {
    int waveUnits = 0;             // units stored in WaveName
    bool complete = false;         // every one of the five keys was read (or is missing)
    bool optionalComplete = false; // and every optional key
    bool turnRefused = false;      // unread: a file in a foreign encoding could not be turned
};

// Reads the five keys and the optional ones into settings (defaults for what is
// missing). A key that could not be read makes the read incomplete: settings
// then hold what could be read and must not be saved over the file.
SettingsRead ReadSettings(const SettingsPath& path, HINSTANCE strings, ChimeSettings& settings);
// The same, giving the number of units stored in WaveName.
int LoadSettings(const SettingsPath& path, HINSTANCE strings, ChimeSettings& settings);
// Writes the five keys in their fixed order into a copy beside the file and puts
// the copy in the file's place; 1 when the file now holds them, else 0 and the
// file is exactly as it was. Everything else in the file is kept.
int SaveSettings(const SettingsPath& path, HINSTANCE strings, const ChimeSettings& settings);
// The same with the texts loaded ahead: no string table, no shell call; with
// optional, the optional keys the user changed are written in the same copy;
// of the five, those in keys (ChimeKey bits).
struct OptionalChanges;
int SaveSettings(const SettingsPath& path, const SettingsTexts& texts, const ChimeSettings& settings,
                 const OptionalChanges* optional = nullptr, unsigned keys = AllChimeKeys);

} // namespace tolltone

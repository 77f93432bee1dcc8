#pragma once
// The optional keys of the settings file (quiet hours, busy, locked and days,
// the moments' sounds, the volume, on the second): read with the five settings
// and again when the file changed on disk; written only where the user changed
// one in a dialog.
#include "settings/ProfileEncoding.h"
#include "settings/ProfileRead.h"
#include "settings/SettingsFile.h"
#include "settings/WriteBackoff.h"

#include <cstdint>

namespace tolltone {

// What tells a changed file: its last write time and size. Unknown (the default)
// differs from every stamp read, a missing file included.
struct SettingsFileStamp {
    uint64_t writeTime = 0;
    uint64_t size = 0;
    bool exists = false;
    bool known = false;
};

bool SameStamp(const SettingsFileStamp& a, const SettingsFileStamp& b);

// A write that a minute's retry found refused, and the file as it was then: the
// next retry that may write waits (see WriteBackoff) unless the file changed.
struct RefusedWrite {
    WriteBackoff backoff;
    SettingsFileStamp stamp;

    bool Due(const SettingsFileStamp& now) { return backoff.Due(!SameStamp(now, stamp)); }
    void Refused(const SettingsFileStamp& now) {
        backoff.Refused();
        stamp = now;
    }
    void Reset() { backoff.Reset(); }
};

// One query of the file system, no read of the file.
SettingsFileStamp ReadSettingsFileStamp(const SettingsPath& path);

// The section's and the optional keys' names, loaded ahead on the host's
// thread: a look at the file off that thread loads no string.
inline constexpr int OptionalKeyUnits = 24;
struct OptionalKeyNames {
    wchar_t section[PathUnits] = {};
    wchar_t keys[9][OptionalKeyUnits] = {};
    bool loaded = false;
};
OptionalKeyNames LoadOptionalKeyNames(HINSTANCE strings);

// Reads the optional keys of file by names; false when the names or the file
// could not be read (quiet and sounds then as they were, or partly read).
bool ReadOptionalKeys(const ProfileSnapshot& file, const OptionalKeyNames& names, QuietSettings& quiet,
                      SoundSettings& sounds);

// The minute's look at the file for hand edits of the optional keys, off the
// host's thread: one query of its stamp and, when it differs from known, one
// read. Foreign: the file is in an encoding Windows would read as garbage,
// which only the host's thread turns (a save). Failed: tried again next minute.
enum class LookResult : uint8_t { Failed, Unchanged, Changed, Foreign };
struct SettingsLook {
    LookResult result = LookResult::Failed;
    SettingsFileStamp basis;  // the stamp the look compared with
    SettingsFileStamp stamp;  // the file's, before the read
    QuietSettings quiet;      // Changed: the keys as the file holds them
    SoundSettings sounds;
};
SettingsLook LookAtSettingsFile(const SettingsPath& path, const SettingsFileStamp& known, const OptionalKeyNames& names);

// Reads the optional keys of file into settings; the five settings are left
// alone. False, and settings unchanged, when a key's name or the file could not
// be read.
bool LoadOptionalSettings(const ProfileSnapshot& file, HINSTANCE strings, ChimeSettings& settings);

// Reads the optional keys again when the file's stamp differs from known, and
// then remembers the stamp. True when they were read. A file in a foreign
// encoding is turned first; a turn that was refused is tried again as retry says.
bool RefreshOptionalSettings(const SettingsPath& path, HINSTANCE strings, SettingsFileStamp& known,
                             RefusedWrite& retry, ChimeSettings& settings);

// The optional keys, one bit each, in the file's order of writing.
enum OptionalKey : uint16_t {
    QuietHoursKey = 1 << 0,
    QuietWhenBusyKey = 1 << 1,
    QuietWhenLockedKey = 1 << 2,
    HourWaveNameKey = 1 << 3,
    HalfWaveNameKey = 1 << 4,
    QuarterWaveNameKey = 1 << 5,
    VolumeKey = 1 << 6,
    QuietDaysKey = 1 << 7,
    OnTheSecondKey = 1 << 8,
};
inline constexpr int OptionalKeyCount = 9;
static_assert(sizeof OptionalKeyNames::keys / sizeof OptionalKeyNames::keys[0] == OptionalKeyCount);

// The optional keys the user changed and their values, kept until a save has
// written them. The key names are loaded with the changes: a save at unload
// runs under the loader lock and loads nothing there.
struct OptionalChanges {
    uint16_t keys = 0;  // OptionalKey bits
    QuietSettings Quiet;
    SoundSettings Sounds;
    wchar_t names[OptionalKeyCount][24] = {};
};

// The keys whose meaning differs between what the module read and what the user
// chose (an unticked box and a value the module ignores mean the same), with
// their names; no bits when a name could not be loaded.
OptionalChanges ChangedOptionalKeys(HINSTANCE strings, const ChimeSettings& read, const ChimeSettings& chosen);

// Later changes over earlier ones, key by key.
void AddOptionalChanges(OptionalChanges& pending, const OptionalChanges& later);

// The changed keys' values put over settings: a read of the file does not undo
// a change that no save has written yet.
void ApplyOptionalChanges(const OptionalChanges& changes, ChimeSettings& settings);

// Whether the ANSI code page holds every name and value the changes write.
AnsiFit FitOptionalChanges(const OptionalChanges& changes);

// Writes the changed keys into file's section in the forms the docs show
// ("23:00-07:00", "Sat,Sun", "60", "0"/"1"); every other line keeps its bytes.
bool WriteOptionalChanges(const wchar_t* file, const wchar_t* section, const OptionalChanges& changes);

} // namespace tolltone

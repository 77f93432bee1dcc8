#pragma once
// The optional keys of the settings file (quiet hours, busy, locked and days,
// the moments' sounds, the volume): read with the five settings and again when
// the file changed on disk, never written by the module.
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

// Reads the optional keys of file into settings; the five settings are left
// alone. False, and settings unchanged, when a key's name or the file could not
// be read.
bool LoadOptionalSettings(const ProfileSnapshot& file, HINSTANCE strings, ChimeSettings& settings);

// Reads the optional keys again when the file's stamp differs from known, and
// then remembers the stamp. True when they were read. A file in a foreign
// encoding is turned first; a turn that was refused is tried again as retry says.
bool RefreshOptionalSettings(const SettingsPath& path, HINSTANCE strings, SettingsFileStamp& known,
                             RefusedWrite& retry, ChimeSettings& settings);

} // namespace tolltone

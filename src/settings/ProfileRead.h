#pragma once
// A settings file read once, by the module itself. Whether the read reached the
// file is known from the module's own open and read: a profile function hands
// back its default for a file it could not read as for a missing key, and what
// it leaves in the last error then is not documented. The values are found in
// the text as the profile functions find them: UTF-16LE after FF FE, anything
// else in the ANSI code page.
#include "base/ModuleHeap.h"

#include <windows.h>

namespace tolltone {

class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const wchar_t* path);
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

    // False when the file is there but could not be opened, read or decoded:
    // its values are unknown, not missing. A missing file is read (no keys).
    bool Reached() const { return reached_; }
    // The value of key in section, cut to units - 1 units; "" when missing.
    DWORD Value(const wchar_t* section, const wchar_t* key, wchar_t* out, DWORD units) const;

private:
    HeapArray<wchar_t> text_;
    size_t length_ = 0;
    bool reached_ = false;
};

} // namespace tolltone

#pragma once
// A settings file that is a symbolic link: saves go to the file it names, and
// after a crash the copies beside that file are found even when it is gone.
#include "settings/SettingsFile.h"

namespace tolltone {

// The file a link at path names, through a handle, or read from a link whose
// file is gone; path itself when it is no link or cannot be read.
SettingsPath LinkTarget(const SettingsPath& path);

// The file a symbolic link at path names, read from the link itself; valid only
// when that file is gone (a crash between a save's two renames on a file system
// that replaces in two steps).
SettingsPath DanglingLinkTarget(const SettingsPath& path);

} // namespace tolltone

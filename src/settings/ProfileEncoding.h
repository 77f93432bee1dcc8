#pragma once
// The settings file's encoding. The profile functions write an ANSI file in the
// ANSI code page, which loses any character that the code page cannot hold; they
// keep a UTF-16 file (byte-order mark first) in UTF-16.
#include <windows.h>

namespace tolltone {

// True when the ANSI code page holds text exactly: no default character, no
// best-fit substitute, the same text back.
bool AnsiCodePageHolds(const wchar_t* text);

// Rewrites the file as UTF-16LE with a byte-order mark, keeping every section,
// key, value and comment. A UTF-16 file is left alone; a missing or empty file
// becomes the mark alone. False when the file could not be read or written.
bool ConvertProfileToUtf16(const wchar_t* path);

} // namespace tolltone

#pragma once
// The settings file's encoding. The profile functions write an ANSI file in the
// ANSI code page, which loses any character that the code page cannot hold; they
// keep a UTF-16 file (byte-order mark first) in UTF-16.
#include <windows.h>

namespace tolltone {

// Whether the ANSI code page holds text exactly: no default character, no
// best-fit substitute, the same text back. Unknown when a conversion or an
// allocation failed: a save must not guess then.
enum class AnsiFit { Holds, Loses, Unknown };
AnsiFit FitAnsiCodePage(const wchar_t* text);

// Rewrites the file as UTF-16LE with a byte-order mark, keeping every section,
// key, value and comment. A UTF-16 file is left alone; a missing or empty file
// becomes the mark alone. A file without a mark is read as Notepad's UTF-8 when
// its bytes above 0x7F are valid UTF-8, else in the ANSI code page. False when
// the file could not be read or written, or holds a byte that neither takes.
bool ConvertProfileToUtf16(const wchar_t* path);

// Windows' profile functions read a file as UTF-16 only after FF FE; anything
// else is ANSI bytes, so a big-endian or UTF-8-marked file reads as garbage.
// Foreign when the file begins with one of those two marks; Unknown when it is
// there but its first bytes could not be read (a missing file has no mark).
enum class ProfileMark { None, Foreign, Unknown };
ProfileMark ReadProfileMark(const wchar_t* path);

// Rewrites a file with a foreign mark as one the profile functions read: ANSI
// when the code page holds every text of it, else UTF-16LE with its mark. Every
// line keeps its text. A file without a foreign mark is left alone (Turned).
// Kept: bytes after a UTF-8 mark that are no UTF-8 (an older program wrote ANSI
// into it) would turn into U+FFFD and be lost: the file is left as it stands,
// read as Windows reads it, and never rewritten. Failed when the file could
// not be read or written.
enum class ProfileTurn { Turned, Kept, Failed };
ProfileTurn ConvertForeignProfile(const wchar_t* path);

// Whether the file is one ConvertForeignProfile keeps as it stands, learnt by
// reading it only: such a file needs no writable folder to be read.
bool KeptAsItStands(const wchar_t* path);

} // namespace tolltone

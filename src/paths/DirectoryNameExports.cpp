// QM_GetDirectoryNameA / W: the directory part of a path, by its text alone.
#include "paths/PathRules.h"
#include "strings/AnsiCodePage.h"

#include <windows.h>

using namespace tolltone;

extern "C" int WINAPI QM_GetDirectoryNameA(const char* path, char* output, int capacity) noexcept {
    return DirectoryName(path, output, capacity, ActiveCodePageDoubleBytes());
}

extern "C" int WINAPI QM_GetDirectoryNameW(const wchar_t* path, wchar_t* output, int capacity) noexcept {
    return DirectoryName(path, output, capacity, NoDoubleByte{});
}

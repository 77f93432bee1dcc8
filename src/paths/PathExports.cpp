// QM_ path decomposition, A and W forms side by side. The A forms scan under the
// double-byte rule of the active code page.
#include "paths/PathDecomposition.h"
#include "paths/QmPaths.h"
#include "strings/AnsiCodePage.h"

using namespace tolltone;

namespace {

const DoubleByteTable& Ansi() { return ActiveCodePageDoubleBytes(); }

// One character through the platform's upper-casing; the A form's byte is signed.
int UpperA(char c) {
    const auto upper = reinterpret_cast<ULONG_PTR>(::CharUpperA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<BYTE>(c)))));
    return static_cast<signed char>(static_cast<BYTE>(upper));
}
int UpperW(wchar_t c) {
    return static_cast<int>(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c))))));
}

} // namespace

extern "C" {

int WINAPI QM_GetDirectoryNameA(const char* path, char* output, int capacity) {
    return DirectoryName(path, output, capacity, Ansi());
}
int WINAPI QM_GetDirectoryNameW(const wchar_t* path, wchar_t* output, int capacity) {
    return DirectoryName(path, output, capacity, NoDoubleByte{});
}

int WINAPI QM_GetFileNameA(const char* path, char* output, int capacity) {
    return FileName(path, output, capacity, Ansi());
}
int WINAPI QM_GetFileNameW(const wchar_t* path, wchar_t* output, int capacity) {
    return FileName(path, output, capacity, NoDoubleByte{});
}

int WINAPI QM_GetFileExtA(const char* path, char* output, int capacity) {
    return FileExtension(path, output, capacity, Ansi());
}
int WINAPI QM_GetFileExtW(const wchar_t* path, wchar_t* output, int capacity) {
    return FileExtension(path, output, capacity, NoDoubleByte{});
}

int WINAPI QM_GetNotExtPathA(const char* path, char* output, int capacity) {
    return PathWithoutExtension(path, output, capacity, Ansi());
}
int WINAPI QM_GetNotExtPathW(const wchar_t* path, wchar_t* output, int capacity) {
    return PathWithoutExtension(path, output, capacity, NoDoubleByte{});
}

int WINAPI QM_SplitPathA(const char* path, char* drive, char* directory, char* name, char* extension) {
    return SplitPath(path, drive, directory, name, extension, Ansi());
}
int WINAPI QM_SplitPathW(const wchar_t* path, wchar_t* drive, wchar_t* directory, wchar_t* name, wchar_t* extension) {
    return SplitPath(path, drive, directory, name, extension, NoDoubleByte{});
}

int WINAPI QM_GetDriveNameA(const char* path, char* output, int capacity) {
    return DriveName(path, output, capacity, Ansi());
}
int WINAPI QM_GetDriveNameW(const wchar_t* path, wchar_t* output, int capacity) {
    return DriveName(path, output, capacity, NoDoubleByte{});
}

int WINAPI QM_GetDriveNumberA(const char* path) { return DriveNumber(path, UpperA); }
int WINAPI QM_GetDriveNumberW(const wchar_t* path) { return DriveNumber(path, UpperW); }

} // extern "C"

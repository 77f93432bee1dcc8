#pragma once
// The platform's file-system calls by character width, so that each query is
// written once for the A and the W forms.
#include <windows.h>

namespace tolltone {

template <class Unit> struct FileSystemApi;

template <> struct FileSystemApi<char> {
    using FindData = WIN32_FIND_DATAA;
    static HANDLE OpenForQuery(const char* path) {
        return ::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    static HANDLE FindFirst(const char* path, FindData* data) { return ::FindFirstFileA(path, data); }
    static BOOL CreateDirectory(const char* path) { return ::CreateDirectoryA(path, nullptr); }
    static BOOL SetCurrentDirectory(const char* path) { return ::SetCurrentDirectoryA(path); }
};

template <> struct FileSystemApi<wchar_t> {
    using FindData = WIN32_FIND_DATAW;
    static HANDLE OpenForQuery(const wchar_t* path) {
        return ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    static HANDLE FindFirst(const wchar_t* path, FindData* data) { return ::FindFirstFileW(path, data); }
    static BOOL CreateDirectory(const wchar_t* path) { return ::CreateDirectoryW(path, nullptr); }
    static BOOL SetCurrentDirectory(const wchar_t* path) { return ::SetCurrentDirectoryW(path); }
};

} // namespace tolltone

#pragma once
// Questions about one path: a file's times and size, whether a file or a
// directory exists, and the creation of a directory with its missing parents.
// Each opens what it needs and closes it before returning.
#include "paths/FileSystemApi.h"
#include "base/ModuleHeap.h"
#include "base/PlatformLimits.h"
#include "win32/UniqueHandle.h"

#include <cstdint>

namespace tolltone {

// Read access, no sharing: the query fails while any other handle is open.
template <class Unit>
UniqueKernelHandle OpenForQuery(const Unit* path) {
    return AdoptFileHandle(FileSystemApi<Unit>::OpenForQuery(path));
}

template <class Unit>
int QueryFileTime(const Unit* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    const UniqueKernelHandle file = OpenForQuery(path);
    if (!file) return 0;
    return ::GetFileTime(file.Get(), creation, lastAccess, lastWrite);
}

// The low 32 bits of the size, -1 on failure; the full size through size.
template <class Unit>
int QueryFileSize(const Unit* path, int64_t* size) {
    const UniqueKernelHandle file = OpenForQuery(path);
    if (!file) return -1;
    if (size == nullptr) return static_cast<int>(::GetFileSize(file.Get(), nullptr));
    LARGE_INTEGER full;
    if (!::GetFileSizeEx(file.Get(), &full)) return -1;
    *size = full.QuadPart;
    return static_cast<int>(static_cast<uint32_t>(full.QuadPart));
}

template <class Unit>
int CheckFile(const Unit* path) {
    typename FileSystemApi<Unit>::FindData found;
    const HANDLE search = FileSystemApi<Unit>::FindFirst(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    ::FindClose(search);
    return 1;
}

// Tests a directory by entering it. The current directory is saved in UTF-16 in
// a buffer of its real length (the 8-bit query cannot report one longer than the
// path limit), so it is always put back.
template <class Unit>
int CheckDirectory(const Unit* path) {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return 0;
    const HeapArray<wchar_t> saved(needed);
    if (!saved) return 0;  // never leave a directory we could not return to
    const DWORD length = ::GetCurrentDirectoryW(needed, saved.get());
    if (length == 0 || length >= needed) return 0;
    if (!FileSystemApi<Unit>::SetCurrentDirectory(path)) return 0;
    ::SetCurrentDirectoryW(saved.get());
    return 1;
}

// Creates every missing directory along the path, then the whole path; 1 only
// when the whole path was created by this call. Paths of 260 units or more
// create nothing.
template <class Unit>
int CreateDirectoryPath(const Unit* path) {
    Unit work[PathUnits];
    int length = 0;
    for (; path[length] != Unit(0); ++length) {
        if (length >= PathUnits - 1) return 0;
        work[length] = path[length];
    }
    if (length == 0) return 0;
    work[length] = Unit(0);
    if (work[length - 1] == Unit('\\')) work[length - 1] = Unit(0);

    Unit prefix[PathUnits];
    for (int i = 0; i < length; ++i) {
        const Unit c = work[i];
        if (c == Unit(':')) {
            ++i;  // the backslash of a drive root is no separator
        } else if (c == Unit('\\')) {
            for (int k = 0; k < i; ++k) prefix[k] = work[k];
            prefix[i] = Unit(0);
            FileSystemApi<Unit>::CreateDirectory(prefix);
        }
    }
    return FileSystemApi<Unit>::CreateDirectory(work) ? 1 : 0;
}

} // namespace tolltone

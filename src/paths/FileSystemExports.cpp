// QM_ file-system queries, A and W forms.
#include "paths/FileSystemQueries.h"
#include "paths/QmPaths.h"

using namespace tolltone;

extern "C" {

int WINAPI QM_GetFileTimeA(const char* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    return QueryFileTime(path, creation, lastAccess, lastWrite);
}
int WINAPI QM_GetFileTimeW(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    return QueryFileTime(path, creation, lastAccess, lastWrite);
}

int WINAPI QM_GetFileSizeA(const char* path, int64_t* size) { return QueryFileSize(path, size); }
int WINAPI QM_GetFileSizeW(const wchar_t* path, int64_t* size) { return QueryFileSize(path, size); }

int WINAPI QM_CreateDirectoryA(const char* path) { return CreateDirectoryPath(path); }
int WINAPI QM_CreateDirectoryW(const wchar_t* path) { return CreateDirectoryPath(path); }

int WINAPI QM_CheckDirectoryA(const char* path) { return CheckDirectory(path); }
int WINAPI QM_CheckDirectoryW(const wchar_t* path) { return CheckDirectory(path); }

int WINAPI QM_CheckFileA(const char* path) { return CheckFile(path); }
int WINAPI QM_CheckFileW(const wchar_t* path) { return CheckFile(path); }

} // extern "C"

#pragma once
// The exported QM_ path functions, for callers of Tolltone.dll. Capacities count
// characters including the terminator; a result that does not fit leaves the
// output empty and gives 0 (-1 where stated).
#include "strings/QmStrings.h"

#include <cstdint>

extern "C" {

int WINAPI QM_GetDirectoryNameA(const char* path, char* output, int capacity);
int WINAPI QM_GetDirectoryNameW(const wchar_t* path, wchar_t* output, int capacity);
int WINAPI QM_GetFileNameA(const char* path, char* output, int capacity);
int WINAPI QM_GetFileNameW(const wchar_t* path, wchar_t* output, int capacity);
int WINAPI QM_GetFileExtA(const char* path, char* output, int capacity);
int WINAPI QM_GetFileExtW(const wchar_t* path, wchar_t* output, int capacity);
int WINAPI QM_GetNotExtPathA(const char* path, char* output, int capacity);
int WINAPI QM_GetNotExtPathW(const wchar_t* path, wchar_t* output, int capacity);
// drive holds 3 characters; directory, name and extension 260 each. 0 when the extension fitted.
int WINAPI QM_SplitPathA(const char* path, char* drive, char* directory, char* name, char* extension);
int WINAPI QM_SplitPathW(const wchar_t* path, wchar_t* drive, wchar_t* directory, wchar_t* name, wchar_t* extension);
// The text before the first colon outside quotes; -1 without a colon.
int WINAPI QM_GetDriveNameA(const char* path, char* output, int capacity);
int WINAPI QM_GetDriveNameW(const wchar_t* path, wchar_t* output, int capacity);
int WINAPI QM_GetDriveNumberA(const char* path);
int WINAPI QM_GetDriveNumberW(const wchar_t* path);

int WINAPI QM_GetComnSelectFileCountA(const char* buffer);
int WINAPI QM_GetComnSelectFileCountW(const wchar_t* buffer);
// Release the list with QM_DeleteStrListA / W after every call, whatever the result.
int WINAPI QM_GetComnSelectFilesA(const char* buffer, int length, StrListA* list);
int WINAPI QM_GetComnSelectFilesW(const wchar_t* buffer, int length, StrListW* list);

int WINAPI QM_GetFileTimeA(const char* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
int WINAPI QM_GetFileTimeW(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
int WINAPI QM_GetFileSizeA(const char* path, int64_t* size);
int WINAPI QM_GetFileSizeW(const wchar_t* path, int64_t* size);
int WINAPI QM_CreateDirectoryA(const char* path);
int WINAPI QM_CreateDirectoryW(const wchar_t* path);
int WINAPI QM_CheckDirectoryA(const char* path);
int WINAPI QM_CheckDirectoryW(const wchar_t* path);
int WINAPI QM_CheckFileA(const char* path);
int WINAPI QM_CheckFileW(const wchar_t* path);

} // extern "C"

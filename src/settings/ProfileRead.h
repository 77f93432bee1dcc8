#pragma once
// One read of a settings file key. A profile read that could not reach the
// file (another program holds it, an I/O error) hands back the default as if
// the key were missing; only the last error tells the two apart.
#include <windows.h>

namespace tolltone {

struct ProfileValue {
    DWORD length = 0;
    bool read = false;  // false: the value is unknown, not missing
};

inline ProfileValue ReadProfileValue(const wchar_t* section, const wchar_t* key, wchar_t* out, DWORD units,
                                     const wchar_t* path) {
    ::SetLastError(ERROR_SUCCESS);
    ProfileValue value;
    value.length = ::GetPrivateProfileStringW(section, key, L"", out, units, path);
    const DWORD error = ::GetLastError();
    // A missing key or file leaves no error or "not found"; a cut value "more data".
    value.read = error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                 error == ERROR_MORE_DATA;
    return value;
}

} // namespace tolltone

#include "settings/SettingsLink.h"

#include "paths/PathJoin.h"
#include "paths/PathRules.h"
#include "win32/UniqueHandle.h"

#include <winioctl.h>

#include <cstring>
#include <cwchar>

namespace tolltone {
namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The head of a symbolic link's reparse data (REPARSE_DATA_BUFFER, whose names
// follow it), as the file system returns it.
struct SymbolicLinkHead {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
    ULONG flags;
};
constexpr ULONG RelativeLink = 1;  // SYMLINK_FLAG_RELATIVE

// "\\?\C:\..." or "\??\C:\..." to "C:\...", and the UNC forms to "\\server\...".
bool PlainPath(const wchar_t* name, SettingsPath& out) {
    for (const wchar_t* prefix : {L"\\\\?\\UNC\\", L"\\??\\UNC\\"}) {
        if (std::wcsncmp(name, prefix, 8) == 0) return out.valid = ConcatText<wchar_t>(out.text, PathUnits, {L"\\\\", name + 8});
    }
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\??\\"}) {
        if (std::wcsncmp(name, prefix, 4) == 0) name += 4;
    }
    return out.valid = ConcatText<wchar_t>(out.text, PathUnits, {name});
}

// The name the link's data holds, checked against the bytes that came back:
// the print name, or the substitute name when there is none.
bool LinkName(const unsigned char* data, DWORD bytes, wchar_t (&name)[PathUnits], bool& relative) {
    SymbolicLinkHead head;
    if (bytes < sizeof head) return false;
    std::memcpy(&head, data, sizeof head);
    if (head.tag != IO_REPARSE_TAG_SYMLINK) return false;
    const bool print = head.printLength > 0;
    const size_t offset = print ? head.printOffset : head.substituteOffset;
    const size_t length = print ? head.printLength : head.substituteLength;
    const size_t names = bytes - sizeof head;
    if (length == 0 || length % sizeof(wchar_t) != 0 || offset > names || length > names - offset ||
        length / sizeof(wchar_t) >= PathUnits)
        return false;
    std::memcpy(name, data + sizeof head + offset, length);
    name[length / sizeof(wchar_t)] = L'\0';
    relative = (head.flags & RelativeLink) != 0;
    return std::wcslen(name) == length / sizeof(wchar_t);
}

} // namespace

SettingsPath LinkTarget(const SettingsPath& path) {
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        // A link whose file is gone: a save makes that file again, and the link stays.
        const SettingsPath dangling = DanglingLinkTarget(path);
        return dangling.valid ? dangling : path;
    }
    wchar_t final[PathUnits + 8];
    const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), final, PathUnits + 8, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= PathUnits + 8) return path;
    SettingsPath target;
    return PlainPath(final, target) ? target : path;
}

SettingsPath DanglingLinkTarget(const SettingsPath& path) {
    SettingsPath target;
    const UniqueKernelHandle link = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES, ShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return target;
    // Room for a head and two names of a path this module can hold.
    alignas(8) unsigned char data[sizeof(SymbolicLinkHead) + 4 * PathUnits * sizeof(wchar_t)];
    DWORD bytes = 0;
    if (!::DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &bytes, nullptr) ||
        bytes > sizeof data)
        return target;
    wchar_t name[PathUnits];
    bool relative = false;
    if (!LinkName(data, bytes, name, relative)) return target;
    if (relative) {
        wchar_t directory[PathUnits] = {};
        DirectoryName(path.text, directory, PathUnits, NoDoubleByte{});
        target.valid = directory[0] != L'\0' && JoinPath<wchar_t>(target.text, PathUnits, {directory, name});
    } else {
        PlainPath(name, target);
    }
    if (target.valid && ::GetFileAttributesW(target.text) != INVALID_FILE_ATTRIBUTES) target.valid = false;
    return target;
}

} // namespace tolltone

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
    USHORT dataLength;  // of what follows tag, dataLength and reserved
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
    ULONG flags;
};
static_assert(sizeof(SymbolicLinkHead) == 20);
constexpr ULONG RelativeLink = 1;  // SYMLINK_FLAG_RELATIVE

bool IsDrivePath(const wchar_t* path) {
    const wchar_t letter = static_cast<wchar_t>(path[0] | 0x20);
    return letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\';
}

// A name as the Win32 file functions take it: "\\?\C:\..." and "\??\C:\..." as
// "C:\...", their UNC forms as "\\server\...", any other "\??\" name (a volume by
// its GUID) in its "\\?\" form, and "C:\..." and "\\server\..." as they are. Any
// other name (a device's own path) is none.
bool Win32Path(const wchar_t* name, SettingsPath& out) {
    if (std::wcsncmp(name, L"\\??\\", 4) == 0 || std::wcsncmp(name, L"\\\\?\\", 4) == 0) {
        const wchar_t* rest = name + 4;
        if (std::wcsncmp(rest, L"UNC\\", 4) == 0) return out.valid = ConcatText<wchar_t>(out.text, PathUnits, {L"\\\\", rest + 4});
        if (IsDrivePath(rest)) return out.valid = ConcatText<wchar_t>(out.text, PathUnits, {rest});
        return out.valid = ConcatText<wchar_t>(out.text, PathUnits, {L"\\\\?\\", rest});
    }
    out.valid = (IsDrivePath(name) || std::wcsncmp(name, L"\\\\", 2) == 0) && ConcatText<wchar_t>(out.text, PathUnits, {name});
    return out.valid;
}

// "C:" of "C:\dir\file", "\\server\share" of "\\server\share\dir\file"; 0 for
// any other path.
size_t RootLength(const wchar_t* path) {
    if (path[0] != L'\0' && path[1] == L':') return 2;
    if (path[0] != L'\\' || path[1] != L'\\') return 0;
    const wchar_t* server = std::wcschr(path + 2, L'\\');
    if (server == nullptr) return 0;
    const wchar_t* share = std::wcschr(server + 1, L'\\');
    return share != nullptr ? static_cast<size_t>(share - path) : std::wcslen(path);
}

// One of the link's names, checked against the bytes that came back.
bool LinkName(const unsigned char* names, size_t namesBytes, size_t offset, size_t length, wchar_t (&name)[PathUnits]) {
    if (length == 0 || length % sizeof(wchar_t) != 0 || offset > namesBytes || length > namesBytes - offset ||
        length / sizeof(wchar_t) >= PathUnits)
        return false;
    std::memcpy(name, names + offset, length);
    name[length / sizeof(wchar_t)] = L'\0';
    return std::wcslen(name) == length / sizeof(wchar_t);
}

// The file a link at linkPath names by name: relative to the link's folder, or
// to its root for a name that begins with a backslash, when relative.
bool NamedFile(const wchar_t* linkPath, const wchar_t* name, bool relative, SettingsPath& out) {
    if (!relative) return Win32Path(name, out);
    wchar_t base[PathUnits] = {};
    if (name[0] == L'\\') {
        const size_t root = RootLength(linkPath);
        std::wmemcpy(base, linkPath, root);
        base[root] = L'\0';
        return out.valid = root > 0 && ConcatText<wchar_t>(out.text, PathUnits, {base, name});
    }
    DirectoryName(linkPath, base, PathUnits, NoDoubleByte{});
    return out.valid = base[0] != L'\0' && JoinPath<wchar_t>(out.text, PathUnits, {base, name});
}

// The file the reparse data of a symbolic link names: by its substitute name,
// which Windows follows, or by its print name when that one is unusable.
bool LinkedFile(const wchar_t* linkPath, const unsigned char* data, DWORD bytes, SettingsPath& out) {
    SymbolicLinkHead head;
    if (bytes < sizeof head) return false;
    std::memcpy(&head, data, sizeof head);
    if (head.tag != IO_REPARSE_TAG_SYMLINK) return false;
    const size_t stated = 8 + static_cast<size_t>(head.dataLength);
    const size_t end = stated < bytes ? stated : bytes;
    const size_t namesBytes = end > sizeof head ? end - sizeof head : 0;
    const unsigned char* names = data + sizeof head;
    const bool relative = (head.flags & RelativeLink) != 0;
    wchar_t name[PathUnits];
    return (LinkName(names, namesBytes, head.substituteOffset, head.substituteLength, name) &&
            NamedFile(linkPath, name, relative, out)) ||
           (LinkName(names, namesBytes, head.printOffset, head.printLength, name) && NamedFile(linkPath, name, relative, out));
}

} // namespace

SettingsPath LinkTarget(const SettingsPath& path) {
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        // Only a name that is not found may be a link whose file is gone: a save
        // makes that file again, and the link stays. Any other failure (a link
        // Windows will not follow, such as one from a share to a local drive; a
        // share that does not answer) leaves no place to save.
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return SettingsPath{};
        const SettingsPath dangling = DanglingLinkTarget(path);
        if (dangling.valid) return dangling;
        // A link whose data cannot be followed is no missing file: the save's
        // rename would put a file in the link's place.
        const DWORD attributes = ::GetFileAttributesW(path.text);
        if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? SettingsPath{} : path;
        const DWORD missing = ::GetLastError();
        return missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND ? path : SettingsPath{};
    }
    wchar_t final[PathUnits + 8];
    const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), final, PathUnits + 8, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= PathUnits + 8) return path;
    SettingsPath target;
    return Win32Path(final, target) ? target : path;
}

SettingsPath DanglingLinkTarget(const SettingsPath& path) {
    SettingsPath target;
    // Followed, the link must lead to no file at all: one Windows refuses to
    // follow names a place that is none of ours.
    {
        const UniqueKernelHandle followed = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES, ShareAll,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        const DWORD error = ::GetLastError();
        if (followed || (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)) return target;
    }
    const UniqueKernelHandle link = AdoptFileHandle(::CreateFileW(path.text, FILE_READ_ATTRIBUTES, ShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return target;
    // Room for a head and two names of a path this module can hold.
    alignas(8) unsigned char data[sizeof(SymbolicLinkHead) + 4 * PathUnits * sizeof(wchar_t)];
    DWORD bytes = 0;
    if (!::DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &bytes, nullptr) ||
        bytes > sizeof data)
        return target;
    if (!LinkedFile(path.text, data, bytes, target)) return target;
    if (::GetFileAttributesW(target.text) != INVALID_FILE_ATTRIBUTES) {
        target.valid = false;
    } else {
        // Gone, not merely out of reach: a file held for deletion, or a share
        // that does not answer, is no file to make again.
        const DWORD error = ::GetLastError();
        target.valid = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return target;
}

} // namespace tolltone

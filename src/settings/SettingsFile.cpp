#include "settings/SettingsFile.h"

#include "paths/PathRules.h"
#include "paths/PathJoin.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "settings/IniInteger.h"
#include "settings/OptionalSettings.h"
#include "settings/ProfileEncoding.h"
#include "settings/ProfileRead.h"
#include "settings/ReplacingSave.h"
#include "settings/SettingsLink.h"
#include "win32/UniqueHandle.h"

#include <shlobj.h>

#include <cwchar>
#include <iterator>

namespace tolltone {
namespace {

struct IntegerKey {
    UINT keyId;
    int32_t ChimeSettings::*field;
    int32_t fallback;
    bool unsignedForm;
};

// The file's order of keys; WaveName comes last.
constexpr IntegerKey IntegerKeys[] = {
    {IDS_KEY_ENABLE, &ChimeSettings::Enable, 0, false},
    {IDS_KEY_SIGNAL_TYPE, &ChimeSettings::SignalType, 0, false},
    {IDS_KEY_INTERVAL, &ChimeSettings::Interval, NoChime, true},
    {IDS_KEY_TIME_TYPE, &ChimeSettings::TimeType, 0, false},
};

static_assert(std::size(IntegerKeys) + 1 == std::size(SettingsTexts{}.keys));

// "Tolltone.new" as its stem and its extension (with the dot).
struct StagingPattern {
    wchar_t stem[PathUnits];
    const wchar_t* extension;
};

StagingPattern SplitCopyName(const wchar_t* copyName) {
    StagingPattern pattern{};
    const wchar_t* dot = std::wcsrchr(copyName, L'.');
    const size_t stemLength = dot != nullptr ? static_cast<size_t>(dot - copyName) : std::wcslen(copyName);
    std::wmemcpy(pattern.stem, copyName, stemLength);
    pattern.stem[stemLength] = L'\0';
    pattern.extension = dot != nullptr ? dot : L"";
    return pattern;
}

// first, separator, second in lower-case hexadecimal digits.
void FormatHex(wchar_t (&out)[32], DWORD first, wchar_t separator, DWORD second) {
    int length = 0;
    for (const DWORD value : {first, second}) {
        if (length > 0) out[length++] = separator;
        wchar_t digits[8];
        int count = 0;
        DWORD rest = value;
        do {
            digits[count++] = L"0123456789abcdef"[rest & 15];
            rest >>= 4;
        } while (rest != 0);
        while (count > 0) out[length++] = digits[--count];
    }
    out[length] = L'\0';
}

enum class CopyEdit { Commit, Drop, Fail };
enum class Replacement { Replaced, Kept, Failed };

} // namespace

SettingsPath PerUserSettingsPath(HINSTANCE strings, UINT makerFolderId) {
    SettingsPath path;
    wchar_t appData[PathUnits] = {};
    // The folder query's result is not trusted beyond its text: an empty folder
    // gives no usable path.
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    if (appData[0] == L'\0') return path;
    const ResourceText maker = LoadResourceText(strings, makerFolderId);
    const ResourceText host = LoadResourceText(strings, IDS_HOST_FOLDER);
    const ResourceText file = LoadResourceText(strings, IDS_SETTINGS_FILE);
    path.valid = maker.loaded && host.loaded && file.loaded &&
                 JoinPath<wchar_t>(path.text, PathUnits, {appData, maker.text, host.text, file.text});
    return path;
}

SettingsPath PerUserSettingsPath(HINSTANCE strings) {
    return PerUserSettingsPath(strings, IDS_MAKER_FOLDER);
}

SettingsPath HostDirectorySettingsPath(HINSTANCE strings) {
    SettingsPath path;
    wchar_t directory[PathUnits] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, directory, PathUnits);
    if (length == 0 || length >= PathUnits) return path;  // a cut name is a wrong folder
    DirectoryName(directory, directory, PathUnits, NoDoubleByte{});
    const ResourceText file = LoadResourceText(strings, IDS_SETTINGS_FILE);
    path.valid = file.loaded && JoinPath<wchar_t>(path.text, PathUnits, {directory, file.text});
    return path;
}

SettingsPath SettingsFilePath(int32_t portableMode, HINSTANCE strings) {
    return portableMode != 0 ? HostDirectorySettingsPath(strings) : PerUserSettingsPath(strings);
}

SettingsTexts LoadSettingsTexts(HINSTANCE strings) {
    SettingsTexts texts;
    texts.section = LoadResourceText(strings, IDS_SECTION);
    for (size_t i = 0; i < std::size(IntegerKeys); ++i) texts.keys[i] = LoadResourceText(strings, IntegerKeys[i].keyId);
    texts.keys[std::size(IntegerKeys)] = LoadResourceText(strings, IDS_KEY_WAVE_NAME);
    texts.copyName = LoadResourceText(strings, IDS_SETTINGS_COPY_FILE);
    texts.loaded = texts.section.loaded && texts.copyName.loaded;
    for (const ResourceText& key : texts.keys) texts.loaded = texts.loaded && key.loaded;
    return texts;
}

StagingNames UniqueStagingNames(const SettingsPath& path, const SettingsTexts& texts) {
    // "Tolltone.new" becomes "Tolltone.<process>-<save>.tmp" and ".new". The save
    // number starts from the clock: a module loaded again in the same process
    // must not meet the names of a copy an earlier load left behind.
    static volatile LONG saves = 0;
    const StagingPattern pattern = SplitCopyName(texts.copyName.text);
    wchar_t unique[32];
    const DWORD save = (::GetTickCount() << 8) + static_cast<DWORD>(::InterlockedIncrement(&saves) & 0xFF);
    FormatHex(unique, ::GetCurrentProcessId(), L'-', save);
    wchar_t directory[PathUnits] = {};
    DirectoryName(path.text, directory, PathUnits, NoDoubleByte{});
    StagingNames names;
    const auto name = [&](SettingsPath& out, const wchar_t* extension) {
        wchar_t file[PathUnits];
        out.valid = directory[0] != L'\0' &&
                    ConcatText<wchar_t>(file, PathUnits, {pattern.stem, L".", unique, extension}) &&
                    JoinPath<wchar_t>(out.text, PathUnits, {directory, file});
    };
    name(names.writing, L".tmp");
    name(names.complete, pattern.extension);
    return names;
}

namespace {

// Clears a file's read-only attribute for a moment: what to put back, or 0.
DWORD MakeWritable(const wchar_t* path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return 0;
    return ::SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY) ? attributes : 0;
}

// A read-only copy too: it is ours to remove. One that stays keeps its attributes.
bool DeleteCopy(const wchar_t* copy) {
    const DWORD restore = MakeWritable(copy);
    if (::DeleteFileW(copy)) return true;
    if (restore != 0) ::SetFileAttributesW(copy, restore);
    return false;
}

} // namespace

bool CopyIntoPlace(const wchar_t* from, const SettingsPath& place, const SettingsTexts& texts, DWORD moveFlags) {
    const SettingsPath staging = UniqueStagingNames(place, texts).writing;
    if (!staging.valid || !::CopyFileW(from, staging.text, TRUE)) return false;
    // The copy takes from's attributes: a read-only one is flushed writable,
    // and stays read-only in place.
    const DWORD restore = MakeWritable(staging.text);
    bool flushed = FlushToDisk(staging.text);
    if (flushed && restore != 0) flushed = ::SetFileAttributesW(staging.text, restore) != 0;
    if (flushed && ::MoveFileExW(staging.text, place.text, moveFlags | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = ::GetLastError();  // the caller tells a refusal and a file put back by it
    DeleteCopy(staging.text);
    ::SetLastError(error);
    return false;
}

namespace {

// Replaces the file at target by a copy that edit() changed: copied, edited,
// flushed, checked to be still the file that was copied, renamed over it. An
// edit another program saved in between is not undone: the save starts again
// from the file as it is now, a few times, then changes nothing. Drop: the
// edit found nothing to change, and the copy goes.
template <class Edit>
Replacement ReplaceSettingsFile(const SettingsPath& target, const SettingsTexts& texts, Edit edit) {
    constexpr int Tries = 4;
    for (int attempt = 0; attempt < Tries; ++attempt) {
        const StagingNames staging = UniqueStagingNames(target, texts);
        if (!staging.writing.valid || !staging.complete.valid) return Replacement::Failed;
        StagedCopy copy(target.text, staging.writing.text, staging.complete.text);
        if (!copy.Ready()) return Replacement::Failed;
        const CopyEdit edited = edit(copy.Path());
        if (edited != CopyEdit::Commit) return edited == CopyEdit::Drop ? Replacement::Kept : Replacement::Failed;
        const CommitResult committed = copy.Commit();
        if (committed != CommitResult::Changed)
            return committed == CommitResult::Committed ? Replacement::Replaced : Replacement::Failed;
    }
    return Replacement::Failed;
}

} // namespace

namespace {

// A copy copied into place while a reader held it is marked as taken, as it
// cannot go yet: its last write is set to this day of 1980, which no save of
// ours writes and every file system holds, so that no later start takes it
// again after the user deleted the file. It goes once it can.
constexpr FILETIME TakenCopyWritten{0x0C3F4000, 0x01A8E869};  // 1980-01-02 00:00 UTC

// The mark as it comes back: FAT keeps local time to 2 s, and the zone may have
// changed since by whole quarter hours. A time the file system does not keep
// (zero), or any other early one, is no mark.
bool IsTakenCopy(const FILETIME& written) {
    constexpr LONGLONG Second = 10'000'000, QuarterHour = 900 * Second, Within = 26 * 4 * QuarterHour;
    const LONGLONG at = static_cast<LONGLONG>(ULONGLONG{written.dwHighDateTime} << 32 | written.dwLowDateTime);
    const LONGLONG mark =
        static_cast<LONGLONG>(ULONGLONG{TakenCopyWritten.dwHighDateTime} << 32 | TakenCopyWritten.dwLowDateTime);
    const LONGLONG shift = at >= mark ? at - mark : mark - at;
    const LONGLONG off = shift % QuarterHour;
    return shift <= Within + 2 * Second && (off <= 2 * Second || off >= QuarterHour - 2 * Second);
}

void MarkCopyTaken(const wchar_t* copy) {
    if (DeleteCopy(copy)) return;
    // Writing attributes is no access a share mode can deny.
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        copy, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) ::SetFileTime(file.Get(), nullptr, nullptr, &TakenCopyWritten);
}

// The newest complete copy beside place ("Tolltone.*.new"); Left when the folder
// could not be searched. A copy already taken is not one: it goes if it can.
struct CompleteCopy {
    wchar_t path[PathUnits] = {};
    size_t nameAt = 0;  // where its name begins within path
    const wchar_t* Name() const { return path + nameAt; }
    FILETIME written{};
    CopyAdoption search = CopyAdoption::None;  // Adopted: one was found
};

CompleteCopy FindNewestCopy(const wchar_t* place, const SettingsTexts& texts) {
    CompleteCopy copy;
    const StagingPattern pattern = SplitCopyName(texts.copyName.text);
    wchar_t directory[PathUnits] = {};
    DirectoryName(place, directory, PathUnits, NoDoubleByte{});
    wchar_t wildcard[PathUnits];
    if (!ConcatText<wchar_t>(wildcard, PathUnits, {directory, L"\\", pattern.stem, L".*", pattern.extension}))
        return copy;
    WIN32_FIND_DATAW data;
    const HANDLE search = ::FindFirstFileW(wildcard, &data);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            copy.search = CopyAdoption::Left;
        return copy;
    }
    const size_t directoryLength = std::wcslen(directory) + 1;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        wchar_t found[PathUnits];
        if (!JoinPath<wchar_t>(found, PathUnits, {directory, data.cFileName})) continue;
        // The search's times may lag on NTFS: a mark just set is read from the file.
        WIN32_FILE_ATTRIBUTE_DATA now;
        const FILETIME written =
            ::GetFileAttributesExW(found, GetFileExInfoStandard, &now) ? now.ftLastWriteTime : data.ftLastWriteTime;
        if (IsTakenCopy(written)) {
            DeleteCopy(found);
            continue;
        }
        if (::CompareFileTime(&written, &copy.written) < 0) continue;
        std::wmemcpy(copy.path, found, PathUnits);
        copy.written = written;
        copy.nameAt = directoryLength;
        copy.search = CopyAdoption::Adopted;
    } while (::FindNextFileW(search, &data));
    ::FindClose(search);
    return copy;
}

// Whether the process that named the copy ("Tolltone.<process>-<save>.new") may
// still be saving: only a process that is certainly gone (or this one) left it.
bool SaverMayRun(const wchar_t* name, const SettingsTexts& texts) {
    const wchar_t* p = name + std::wcslen(SplitCopyName(texts.copyName.text).stem) + 1;
    DWORD process = 0;
    int digits = 0;
    for (; digits < 8; ++digits, ++p) {
        const wchar_t lower = static_cast<wchar_t>(*p | 0x20);
        const int value = *p >= L'0' && *p <= L'9' ? *p - L'0' : lower >= L'a' && lower <= L'f' ? lower - L'a' + 10 : -1;
        if (value < 0) break;
        process = process << 4 | static_cast<DWORD>(value);
    }
    if (digits == 0 || *p != L'-') return true;  // not a name of ours: left alone
    if (process == ::GetCurrentProcessId()) return false;
    const UniqueKernelHandle saver(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    DWORD code = 0;
    if (!saver) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    return !::GetExitCodeProcess(saver.Get(), &code) || code == STILL_ACTIVE;
}

// The rename of a complete copy into place; a copy held without sharing its
// deletion is copied there instead. Left (with the rename's error) when neither
// could be done.
CopyAdoption PutCopyInPlace(const CompleteCopy& copy, const SettingsPath& place, const SettingsTexts& texts,
                            DWORD moveFlags) {
    if (::MoveFileExW(copy.path, place.text, moveFlags | MOVEFILE_WRITE_THROUGH)) return CopyAdoption::Adopted;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return CopyAdoption::None;
    // A refusal is told from a hold by its error. A copy whose saver may still
    // rename it is not marked under that saver's hands: it waits.
    if (error != ERROR_SHARING_VIOLATION || SaverMayRun(copy.Name(), texts)) {
        ::SetLastError(error);
        return CopyAdoption::Left;
    }
    if (CopyIntoPlace(copy.path, place, texts, moveFlags)) {
        MarkCopyTaken(copy.path);
        return CopyAdoption::Adopted;
    }
    const DWORD copyError = ::GetLastError();
    if (copyError == ERROR_ALREADY_EXISTS || copyError == ERROR_FILE_EXISTS) return CopyAdoption::None;
    ::SetLastError(copyError == ERROR_ACCESS_DENIED ? copyError : error);
    return CopyAdoption::Left;
}

} // namespace

CopyAdoption AdoptCompleteCopy(const SettingsPath& path, const SettingsTexts& texts) {
    if (!path.valid) return CopyAdoption::None;
    // A link whose file is gone is there itself: its copies are beside that file.
    SettingsPath place = path;
    const DWORD attributes = ::GetFileAttributesW(path.text);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return CopyAdoption::None;
        place = DanglingLinkTarget(path);
        if (!place.valid) return CopyAdoption::None;
    }
    if (!texts.loaded) return CopyAdoption::Left;  // no copy's name to look for
    const CompleteCopy copy = FindNewestCopy(place.text, texts);
    if (copy.search != CopyAdoption::Adopted) return copy.search;
    // Never over a file that another program has put back in the meantime.
    return PutCopyInPlace(copy, place, texts, 0);
}

CopyAdoption SettleCopyBesideFile(const SettingsPath& path, const SettingsTexts& texts) {
    if (!path.valid || !texts.loaded) return CopyAdoption::None;
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!::GetFileAttributesExW(path.text, GetFileExInfoStandard, &file) ||
        (file.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return CopyAdoption::None;
    // A search that failed proves nothing here: the file stands as it is.
    const CompleteCopy copy = FindNewestCopy(path.text, texts);
    if (copy.search != CopyAdoption::Adopted || SaverMayRun(copy.Name(), texts)) return CopyAdoption::None;
    if (::CompareFileTime(&copy.written, &file.ftLastWriteTime) <= 0) {
        ::DeleteFileW(copy.path);  // the file was written since: the copy is stale
        return CopyAdoption::None;
    }
    // The rename the crash cut off.
    return PutCopyInPlace(copy, path, texts, MOVEFILE_REPLACE_EXISTING);
}

bool TurnForeignSettingsFile(const SettingsPath& path, const SettingsTexts& texts) {
    if (!path.valid) return true;
    const ProfileMark mark = ReadProfileMark(path.text);
    if (mark != ProfileMark::Foreign) return mark == ProfileMark::None;
    if (KeptAsItStands(path.text)) return true;  // read as it stands, also where nothing may be written
    if (!texts.loaded) return false;
    const SettingsPath target = LinkTarget(path);
    if (!target.valid) return false;
    // A UTF-8 file with bytes that are no UTF-8 stays as it is (the copy goes).
    return ReplaceSettingsFile(target, texts, [](const wchar_t* copy) {
               const ProfileTurn turn = ConvertForeignProfile(copy);
               return turn == ProfileTurn::Turned ? CopyEdit::Commit
                      : turn == ProfileTurn::Kept ? CopyEdit::Drop
                                                  : CopyEdit::Fail;
           }) != Replacement::Failed;
}

SettingsFileState ProbeSettingsFile(const SettingsPath& path) {
    if (!path.valid) return SettingsFileState::Missing;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(
        path.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) return SettingsFileState::Readable;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SettingsFileState::Missing
                                                                          : SettingsFileState::Unreadable;
}

SettingsRead ReadSettings(const SettingsPath& path, HINSTANCE strings, ChimeSettings& settings) {
    SettingsRead result;
    if (!path.valid) {
        settings = ChimeSettings{};
        result.complete = result.optionalComplete = true;
        return result;
    }
    const SettingsTexts texts = LoadSettingsTexts(strings);
    if (!texts.loaded) return result;  // no name to read by: nothing is known
    // A file Windows would read as garbage and that could not be turned is not
    // read: its defaults would be taken for the user's values and saved.
    if (!TurnForeignSettingsFile(path, texts)) {
        result.turnRefused = ReadProfileMark(path.text) == ProfileMark::Foreign;  // not a read that failed
        return result;
    }
    const ProfileSnapshot file(path.text);
    if (!file.Reached()) return result;
    for (size_t i = 0; i < std::size(IntegerKeys); ++i) {
        wchar_t value[32];
        file.Value(texts.section.text, texts.keys[i].text, value, 32);
        settings.*IntegerKeys[i].field = ParseIniInteger(value, IntegerKeys[i].fallback);
    }
    result.optionalComplete = LoadOptionalSettings(file, strings, settings);
    result.waveUnits = static_cast<int>(
        file.Value(texts.section.text, texts.keys[std::size(IntegerKeys)].text, settings.WaveName, PathUnits));
    result.complete = true;
    return result;
}

int LoadSettings(const SettingsPath& path, HINSTANCE strings, ChimeSettings& settings) {
    return ReadSettings(path, strings, settings).waveUnits;
}

int SaveSettings(const SettingsPath& path, HINSTANCE strings, const ChimeSettings& settings) {
    return SaveSettings(path, LoadSettingsTexts(strings), settings);
}

namespace {

// Into a copy of the file: the five keys in their order, after the copy is
// turned into an encoding that holds them.
CopyEdit WriteSettingsKeys(const wchar_t* copy, const SettingsTexts& texts, const ChimeSettings& settings,
                           const OptionalChanges* optional, unsigned keys) {
    IniIntegerText numbers[std::size(IntegerKeys)];
    const wchar_t* values[std::size(IntegerKeys) + 1];
    for (size_t i = 0; i < std::size(IntegerKeys); ++i) {
        numbers[i] = FormatIniInteger(settings.*IntegerKeys[i].field, IntegerKeys[i].unsignedForm);
        values[i] = numbers[i].text;
    }
    values[std::size(IntegerKeys)] = settings.WaveName;

    // A file that Windows would read as ANSI garbage is turned first, or our
    // ANSI keys would be written into it in a second encoding. One that is
    // kept as it stands is never rewritten, by a save neither.
    const ProfileMark mark = ReadProfileMark(copy);
    if (mark == ProfileMark::Unknown || (mark == ProfileMark::Foreign && ConvertForeignProfile(copy) != ProfileTurn::Turned))
        return CopyEdit::Fail;
    // A text the ANSI code page cannot hold would be stored as '?' or a look-alike:
    // the file turns UTF-16 first, and the profile functions keep it so. A check
    // that failed decides nothing: the save fails and the file stays.
    AnsiFit fit = FitAnsiCodePage(texts.section.text);
    for (size_t i = 0; i < std::size(values) && fit == AnsiFit::Holds; ++i) {
        if ((keys & (1u << i)) == 0) continue;
        fit = FitAnsiCodePage(texts.keys[i].text);
        if (fit == AnsiFit::Holds) fit = FitAnsiCodePage(values[i]);
    }
    if (fit == AnsiFit::Holds && optional != nullptr) fit = FitOptionalChanges(*optional);
    if (fit == AnsiFit::Unknown || (fit == AnsiFit::Loses && !ConvertProfileToUtf16(copy))) return CopyEdit::Fail;

    for (size_t i = 0; i < std::size(values); ++i)
        if ((keys & (1u << i)) != 0 && !::WritePrivateProfileStringW(texts.section.text, texts.keys[i].text, values[i], copy)) return CopyEdit::Fail;
    if (optional != nullptr && !WriteOptionalChanges(copy, texts.section.text, *optional)) return CopyEdit::Fail;
    return CopyEdit::Commit;
}

} // namespace

int SaveSettings(const SettingsPath& path, const SettingsTexts& texts, const ChimeSettings& settings,
                 const OptionalChanges* optional, unsigned keys) {
    if (!path.valid || !texts.loaded) return 0;
    // Where the file really is. A crashed save's copy goes into its place first,
    // and the values into its text; while it cannot be taken nothing is saved: a
    // new file would hide the copy, and its other keys, for good.
    if (AdoptCompleteCopy(path, texts) == CopyAdoption::Left) return 0;
    const SettingsPath target = LinkTarget(path);
    if (!target.valid) return 0;
    // Then copy, write, check that it is still the file that was copied, rename.
    return ReplaceSettingsFile(target, texts, [&](const wchar_t* copy) {
               return WriteSettingsKeys(copy, texts, settings, optional, keys);
           }) == Replacement::Replaced
               ? 1
               : 0;
}

} // namespace tolltone

#include "settings/ReplacingSave.h"

#include "win32/UniqueHandle.h"

namespace tolltone {
namespace {

// Others may read the copy or the file at any moment (an indexer, a virus
// scanner, another launcher): every open here shares, so theirs never fails ours.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A reader that opened the file without sharing its deletion holds a rename off
// for a moment; a few short tries ride that out, a lasting hold fails the save.
bool RenameWithRetries(const wchar_t* from, const wchar_t* to, DWORD flags) {
    constexpr int Tries = 20;
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from, to, flags | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = ::GetLastError();
        if (attempt + 1 >= Tries || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
                                     error != ERROR_LOCK_VIOLATION))
            return false;
        ::Sleep(25);
    }
}

} // namespace

bool FlushToDisk(const wchar_t* path) {
    const UniqueKernelHandle file =
        AdoptFileHandle(::CreateFileW(path, GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::FlushFileBuffers(file.Get());
}

FileIdentity IdentifyFile(const wchar_t* path) {
    FileIdentity identity;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(path, FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        identity.known = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION data;
    if (!::GetFileInformationByHandle(file.Get(), &data)) return identity;
    identity.volume = data.dwVolumeSerialNumber;
    identity.indexHigh = data.nFileIndexHigh, identity.indexLow = data.nFileIndexLow;
    identity.sizeHigh = data.nFileSizeHigh, identity.sizeLow = data.nFileSizeLow;
    identity.written = data.ftLastWriteTime;
    identity.exists = identity.known = true;
    return identity;
}

namespace {

// Where the file is, how long and when last written: all but its index.
bool SameStanding(const FileIdentity& a, const FileIdentity& b) {
    if (!a.known || !b.known || a.exists != b.exists) return false;
    return !a.exists || (a.volume == b.volume && a.sizeHigh == b.sizeHigh && a.sizeLow == b.sizeLow &&
                         ::CompareFileTime(&a.written, &b.written) == 0);
}

bool SameIndex(const FileIdentity& a, const FileIdentity& b) {
    return a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

// Some file systems give a file a new index at every open (FAT without IDs, a
// WebDAV or cloud volume): one more look shows it, and there the file is told
// by its size and last write alone.
bool IndexChangesAtEveryOpen(const wchar_t* path, const FileIdentity& now) {
    const FileIdentity again = IdentifyFile(path);
    return again.exists && SameStanding(again, now) && !SameIndex(again, now);
}

} // namespace

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return SameStanding(a, b) && (!a.exists || SameIndex(a, b));
}

StagedCopy::StagedCopy(const wchar_t* target, const wchar_t* writingPath, const wchar_t* completePath)
    : target_(target), writingPath_(writingPath), completePath_(completePath), current_(writingPath) {
    // Noted before the copy: a change in between shows at the commit.
    copied_ = IdentifyFile(target_);
    if (!copied_.known) return;
    // The copy takes the file's attributes along: a read-only file stays
    // unsaved, as it always was.
    if (::CopyFileW(target_, writingPath_, TRUE)) {
        ready_ = true;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return;  // unreadable, locked, or no folder: change nothing
    const UniqueKernelHandle empty = AdoptFileHandle(
        ::CreateFileW(writingPath_, GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ready_ = static_cast<bool>(empty);
}

StagedCopy::~StagedCopy() {
    if (!ready_ || committed_) return;
    ::SetFileAttributesW(current_, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(current_);
}

CommitResult StagedCopy::Commit() {
    if (!ready_ || committed_) return CommitResult::Failed;
    // The profile functions may hold the copy's content in a cache of their own.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, writingPath_);
    if (!FlushToDisk(writingPath_)) return CommitResult::Failed;
    // Marked complete: after a crash between the two renames on a file system
    // that replaces in two steps, the next load can take this copy.
    if (!RenameWithRetries(writingPath_, completePath_, 0)) return CommitResult::Failed;
    current_ = completePath_;
    // As late as can be: an edit another program saved since the copy (an
    // editor, a second launcher, a sync client; on a slow stick the flush takes
    // long) is not undone. What is left is the moment between this look and
    // the rename.
    const FileIdentity now = IdentifyFile(target_);
    if (!now.known) return CommitResult::Failed;
    if (!SameFile(now, copied_) && !(SameStanding(now, copied_) && IndexChangesAtEveryOpen(target_, now)))
        return CommitResult::Changed;
    // One rename that replaces. ReplaceFileW is not one step everywhere: Wine's
    // moves the old file aside first, and a crash then leaves no file at all.
    committed_ = RenameWithRetries(completePath_, target_, MOVEFILE_REPLACE_EXISTING);
    return committed_ ? CommitResult::Committed : CommitResult::Failed;
}

} // namespace tolltone

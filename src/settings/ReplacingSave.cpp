#include "settings/ReplacingSave.h"

#include "win32/UniqueHandle.h"

namespace tolltone {
namespace {

bool FlushToDisk(const wchar_t* path) {
    const UniqueKernelHandle file =
        AdoptFileHandle(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::FlushFileBuffers(file.Get());
}

} // namespace

StagedCopy::StagedCopy(const wchar_t* target, const wchar_t* copyPath) : target_(target), copyPath_(copyPath) {
    // A stale copy may carry the read-only mark of the file it was copied from.
    ::SetFileAttributesW(copyPath_, FILE_ATTRIBUTE_NORMAL);
    // The copy takes the file's attributes along: a read-only file stays
    // unsaved, as it always was.
    if (::CopyFileW(target_, copyPath_, FALSE)) {
        ready_ = true;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return;  // unreadable, locked, or no folder: change nothing
    const UniqueKernelHandle empty = AdoptFileHandle(
        ::CreateFileW(copyPath_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ready_ = static_cast<bool>(empty);
}

StagedCopy::~StagedCopy() {
    if (!ready_ || committed_) return;
    ::SetFileAttributesW(copyPath_, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(copyPath_);
}

bool StagedCopy::Commit() {
    if (!ready_ || committed_) return false;
    // The profile functions may hold the copy's content in a cache of their own.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, copyPath_);
    if (!FlushToDisk(copyPath_)) return false;
    // One rename that replaces. ReplaceFileW is not one step everywhere: Wine's
    // moves the old file aside first, and a crash then leaves no file at all.
    committed_ = ::MoveFileExW(copyPath_, target_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return committed_;
}

} // namespace tolltone

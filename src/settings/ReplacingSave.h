#pragma once
// Saves that a crash cannot tear: the new content is written into a copy beside
// the file, flushed, marked complete by a rename, and put in the file's place in
// one more rename.
#include <windows.h>

namespace tolltone {

// What a file is: which file (volume and index), how long, when last written;
// or that there is none. Another program's save changes one of them.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0, indexLow = 0;
    DWORD sizeHigh = 0, sizeLow = 0;
    FILETIME written{};
    bool exists = false;
    bool known = false;  // false: the file could not be looked at
};
FileIdentity IdentifyFile(const wchar_t* path);
// What was written to path is on the disk before a rename makes it the file.
bool FlushToDisk(const wchar_t* path);
bool SameFile(const FileIdentity& a, const FileIdentity& b);

enum class CommitResult { Committed, Changed, Failed };

class StagedCopy {
public:
    // Notes what target is, then copies it (if it exists) to writingPath, in the
    // same folder. Both paths are this save's own; completePath is the name the
    // copy takes once flushed. Check Ready() before writing.
    StagedCopy(const wchar_t* target, const wchar_t* writingPath, const wchar_t* completePath);
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    // Removes the copy unless it was committed: a failed save leaves nothing
    // behind, and never touches a copy of another save.
    ~StagedCopy();

    bool Ready() const { return ready_; }
    const wchar_t* Path() const { return writingPath_; }
    // Flushes the copy to disk and renames it over the target. Changed, and the
    // target left as it is, when another program changed the target after it
    // was copied: the rename would undo that program's edit.
    CommitResult Commit();

private:
    const wchar_t* target_;
    const wchar_t* writingPath_;
    const wchar_t* completePath_;
    const wchar_t* current_;  // the copy's name now
    FileIdentity copied_;     // the target when it was copied
    bool ready_ = false;
    bool committed_ = false;
};

} // namespace tolltone

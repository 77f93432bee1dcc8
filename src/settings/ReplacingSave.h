#pragma once
// Saves that a crash cannot tear: the new content is written into a copy beside
// the file, flushed, marked complete by a rename, and put in the file's place in
// one more rename.
#include <windows.h>

namespace tolltone {

class StagedCopy {
public:
    // Copies target (if it exists) to writingPath, in the same folder. Both
    // paths are this save's own; completePath is the name the copy takes once
    // flushed. Check Ready() before writing.
    StagedCopy(const wchar_t* target, const wchar_t* writingPath, const wchar_t* completePath);
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    // Removes the copy unless it was committed: a failed save leaves nothing
    // behind, and never touches a copy of another save.
    ~StagedCopy();

    bool Ready() const { return ready_; }
    const wchar_t* Path() const { return writingPath_; }
    // Flushes the copy to disk and renames it over the target. True when the
    // target now holds the copy.
    bool Commit();

private:
    const wchar_t* target_;
    const wchar_t* writingPath_;
    const wchar_t* completePath_;
    const wchar_t* current_;  // the copy's name now
    bool ready_ = false;
    bool committed_ = false;
};

} // namespace tolltone

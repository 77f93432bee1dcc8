#pragma once
// Saves that a crash cannot tear: the new content is written into a copy beside
// the file, flushed, and put in the file's place in one step.
#include <windows.h>

namespace tolltone {

class StagedCopy {
public:
    // Copies target (if it exists) to copyPath, in the same folder. A copy left
    // by an earlier crash is overwritten. Check Ready() before writing.
    StagedCopy(const wchar_t* target, const wchar_t* copyPath);
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;
    // Removes a copy it made unless it was committed: a failed save leaves nothing
    // behind (and never touches a copy it could not make, which may be another's).
    ~StagedCopy();

    bool Ready() const { return ready_; }
    const wchar_t* Path() const { return copyPath_; }
    // Flushes the copy to disk and renames it over the target in one step. True
    // when the target now holds the copy.
    bool Commit();

private:
    const wchar_t* target_;
    const wchar_t* copyPath_;
    bool ready_ = false;
    bool committed_ = false;
};

} // namespace tolltone

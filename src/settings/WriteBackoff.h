#pragma once
// Retries that write, spaced out. A write that a minute's retry found refused
// (a copy that another program holds, a folder that Windows' controlled folder
// access guards) may show the user a notice at every attempt: after the first
// refusal the next attempt waits 1 minute, then 2, 4 … up to 60. A success or
// a change of the file starts over. Retries that only read are not spaced.
#include <cstdint>

namespace tolltone {

class WriteBackoff {
public:
    static constexpr uint32_t LongestWaitMinutes = 60;

    // Called once a minute before a retry that may write: true when it is due,
    // at once after the file changed.
    bool Due(bool fileChanged) {
        if (fileChanged) Reset();
        if (wait_ == 0) return true;
        return ++waited_ >= wait_;
    }
    // The retry's write was refused: the next waits twice as long as this one.
    void Refused() {
        wait_ = wait_ == 0 ? 1 : (wait_ * 2 < LongestWaitMinutes ? wait_ * 2 : LongestWaitMinutes);
        waited_ = 0;
    }
    // It went through, or failed for a reason that a read tells: next minute again.
    void Reset() { wait_ = waited_ = 0; }
    uint32_t WaitMinutes() const { return wait_; }

private:
    uint32_t wait_ = 0;
    uint32_t waited_ = 0;
};

} // namespace tolltone

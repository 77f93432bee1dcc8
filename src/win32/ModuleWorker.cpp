#include "win32/ModuleWorker.h"

namespace tolltone::worker {
namespace {

// The unload cancels a read that waits this often until the callback returns.
constexpr DWORD CancelPollMs = 10;
constexpr int MostJobs = 4;

// Only the host's thread submits; one submission is outstanding at a time.
struct Worker {
    SRWLOCK lock = SRWLOCK_INIT;
    PTP_WORK work = nullptr;
    HANDLE stop = nullptr;  // set at unload: the worker's pauses end
    HANDLE done = nullptr;  // set by the pool once the callback has returned
    Job jobs[MostJobs] = {};
    bool running = false;   // submitted, and not yet found with nothing to do
    bool woken = false;     // a job was woken since the worker last looked
    bool started = false;   // the callback has begun: its return sets done
    bool stopping = false;
    HANDLE thread = nullptr;  // the worker's own, for cancelling a read that waits
};

constinit Worker State{};

void CALLBACK RunJobs(PTP_CALLBACK_INSTANCE instance, void*, PTP_WORK) noexcept {
    ::SetEventWhenCallbackReturns(instance, State.done);
    HANDLE self = ::OpenThread(THREAD_TERMINATE, FALSE, ::GetCurrentThreadId());
    {
        const Locked locked;
        State.started = true;
        State.thread = self;
    }
    for (;;) {
        {
            const Locked locked;
            if (State.stopping || !State.woken) {
                State.running = false;
                State.thread = nullptr;
                break;
            }
            State.woken = false;
        }
        // Each job until none has anything left; a wake meanwhile brings them round again.
        for (bool worked = true; worked;) {
            worked = false;
            Job jobs[MostJobs];
            {
                const Locked locked;
                for (int i = 0; i < MostJobs; ++i) jobs[i] = State.jobs[i];
            }
            for (Job job : jobs)
                if (job != nullptr && job()) worked = true;
        }
    }
    if (self != nullptr) ::CloseHandle(self);
}

// The work item and its two events, made at the first wake; false when one of
// them cannot be had now.
bool HaveWorker() {
    if (State.work != nullptr) return true;
    if (State.stop == nullptr) State.stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (State.done == nullptr) State.done = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (State.stop == nullptr || State.done == nullptr) return false;
    State.work = ::CreateThreadpoolWork(&RunJobs, nullptr, nullptr);
    return State.work != nullptr;
}

} // namespace

Locked::Locked() { ::AcquireSRWLockExclusive(&State.lock); }
Locked::~Locked() { ::ReleaseSRWLockExclusive(&State.lock); }

bool Wake(Job job) {
    if (!HaveWorker()) return false;
    bool submit = false;
    {
        const Locked locked;
        for (Job& slot : State.jobs) {
            if (slot == job) break;
            if (slot == nullptr) {
                slot = job;
                break;
            }
        }
        State.woken = true;
        submit = !State.running;
    }
    if (!submit) return true;
    // A callback that has just found nothing to do may still be returning.
    ::WaitForThreadpoolWorkCallbacks(State.work, FALSE);
    ::ResetEvent(State.done);
    {
        const Locked locked;
        State.running = true;
        State.started = false;
    }
    ::SubmitThreadpoolWork(State.work);
    return true;
}

bool Stopping() { return State.stopping; }

bool Pause(DWORD ms) { return State.stop != nullptr && ::WaitForSingleObject(State.stop, ms) == WAIT_TIMEOUT; }

void Stop() {
    if (State.work != nullptr) {
        bool started = false;
        {
            const Locked locked;
            State.stopping = true;
            started = State.started;
        }
        ::SetEvent(State.stop);
        // A callback that began sets done when it returns; until then a read
        // that waits on a disk or a share is cancelled, again and again, as the
        // worker may be just about to issue it.
        if (started)
            while (::WaitForSingleObject(State.done, CancelPollMs) == WAIT_TIMEOUT) {
                const Locked locked;
                if (State.thread != nullptr) ::CancelSynchronousIo(State.thread);
            }
        // One submitted but not begun is cancelled; one beginning now finds
        // stopping and returns at once.
        ::WaitForThreadpoolWorkCallbacks(State.work, TRUE);
        ::CloseThreadpoolWork(State.work);
    }
    if (State.stop != nullptr) ::CloseHandle(State.stop);
    if (State.done != nullptr) ::CloseHandle(State.done);
    State.work = nullptr;
    State.stop = State.done = nullptr;
}

} // namespace tolltone::worker

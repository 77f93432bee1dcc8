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
    Job jobs[MostJobs] = {};
    bool running = false;     // submitted, and not yet found with nothing to do
    bool woken = false;       // a job was woken since the worker last looked
    bool inCallback = false;  // between the callback's first and last statements
    bool stopping = false;
    HANDLE thread = nullptr;  // the worker's own, for cancelling a read that waits
};

constinit Worker State{};

void CALLBACK RunJobs(PTP_CALLBACK_INSTANCE, void*, PTP_WORK) noexcept {
    HANDLE self = ::OpenThread(THREAD_TERMINATE, FALSE, ::GetCurrentThreadId());
    {
        const Locked locked;
        State.inCallback = true;
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
    // Its last word: from here only the return is left, which the unload's
    // WaitForThreadpoolWorkCallbacks waits for.
    const Locked locked;
    State.inCallback = false;
}

// The work item and its event, made at the first wake; false when one of them
// cannot be had now.
bool HaveWorker() {
    if (State.work != nullptr) return true;
    if (State.stop == nullptr) State.stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (State.stop == nullptr) return false;
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
    {
        const Locked locked;
        State.running = true;
    }
    ::SubmitThreadpoolWork(State.work);
    return true;
}

bool Stopping() { return State.stopping; }

bool Pause(DWORD ms) { return State.stop != nullptr && ::WaitForSingleObject(State.stop, ms) == WAIT_TIMEOUT; }

void Stop() {
    if (State.work != nullptr) {
        {
            const Locked locked;
            State.stopping = true;
        }
        ::SetEvent(State.stop);
        // A callback under way looks at stopping before each piece of work;
        // until it is past its last statement, a read that waits on a disk or a
        // share is cancelled, again and again, as it may be just about to be
        // issued. A callback that never began finds stopping and returns at once.
        for (;;) {
            {
                const Locked locked;
                if (!State.inCallback) break;
                if (State.thread != nullptr) ::CancelSynchronousIo(State.thread);
            }
            ::Sleep(CancelPollMs);
        }
        // The return itself, and one submitted but not begun, which is cancelled.
        ::WaitForThreadpoolWorkCallbacks(State.work, TRUE);
        ::CloseThreadpoolWork(State.work);
    }
    if (State.stop != nullptr) ::CloseHandle(State.stop);
    State.work = nullptr;
    State.stop = nullptr;
}

} // namespace tolltone::worker

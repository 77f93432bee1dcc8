#pragma once
// The module's one thread-pool work item: it runs the module's jobs (making the
// next chime's image, the minute's look at the settings file) off the host's
// thread, so the host never waits for a disk. Jobs load no library and take no
// lock of the loader's: the unload waits for the work item under the loader
// lock (see docs/design.md, "Why the unload is safe").
#include <windows.h>

namespace tolltone::worker {

// One piece of work if a job has one; false when it had nothing to do. Runs on
// the worker, or on the host's thread when no worker can be had.
using Job = bool (*)();

// Held while a job's state is read or written, by the host's thread and the
// worker alike.
class Locked {
public:
    Locked();
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// From the host's thread: job gets a turn soon. True when the worker will give
// it; false when no worker can be had now (the caller may do the work itself).
bool Wake(Job job);

// Under Locked: the unload has begun; a job stops at once.
bool Stopping();

// On the worker: waits ms, false when the unload ended the wait.
bool Pause(DWORD ms);

// At unload (not at process end), on the host's thread under the loader lock:
// stops the worker, cancels a read it waits on, and returns once its callback
// has returned.
void Stop();

} // namespace tolltone::worker

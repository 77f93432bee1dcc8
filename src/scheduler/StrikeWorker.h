#pragma once
// Plays the strokes of one strike on a thread of its own.
namespace tolltone {

// Starts a worker that plays waveName strokes times, each stroke after the
// previous one has ended. The worker holds a reference to this module, so the
// module stays mapped until its last stroke even if the host unloads it. False
// when no worker could be started (the strokes are skipped).
bool StartStrikeWorker(int strokes, const wchar_t* waveName);

} // namespace tolltone

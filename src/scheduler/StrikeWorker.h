#pragma once
// Plays the strokes of one strike on a thread of its own.
//
// The thread runs no code of this module: it starts in the system's alert test,
// which runs the calls queued for it (one PlaySoundW per stroke, then the
// release of the job's memory and of its reference to the sound library) and
// then returns into the system's thread exit. So the host may unload the module
// in the middle of a strike: the strokes go on, the unload runs at once on the
// host's own thread, and nothing ever returns into the unmapped image.
namespace tolltone {

// Plays waveName (a file or a sound name; copied) strokes times, each stroke
// after the previous one has ended. False when no worker could be started (the
// strokes are skipped).
bool StartStrikeWorker(int strokes, const wchar_t* waveName);

// The same for a WAV image in memory: heapImage is a block of the process heap
// (HeapAlloc on GetProcessHeap) that the worker frees after its last stroke. It
// is taken over in every case: freed here when false is returned.
bool StartStrikeWorkerFromImage(int strokes, void* heapImage);

} // namespace tolltone

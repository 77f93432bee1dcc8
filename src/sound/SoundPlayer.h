#pragma once
// The module's one sound at a time. Every sound of ours starts here: a name,
// which the platform reads itself, or a WAV image in memory, which it reads on
// a thread of its own while it plays. A new sound stops the one playing (the
// platform's rule for a process), so strikes never overlap and, once a new
// sound has started, the image before it is read no more and is freed.
#include "base/ModuleHeap.h"

#include <cstdint>

namespace tolltone {

// PlaySoundW(name, flags) with flags of the platform; true when it started.
bool PlayNamedSound(const wchar_t* name, unsigned flags);

// Plays the WAV image at offset bytes into image (a block of the process heap,
// taken over in every case) asynchronously; it lasts milliseconds. False when
// the platform refused it (the block is freed then).
bool PlayImageSound(HeapArray<uint8_t> image, size_t offset, uint64_t milliseconds);

// Stops the image playing, if its time has not passed.
void StopImageSound();

// At unload (not at process end): the image of a sound that has ended is freed.
// One that may still be playing is left to the platform, with its sound library
// kept loaded for it: the strike finishes, and nothing returns into our image.
void LeaveSoundAtUnload();

} // namespace tolltone

#pragma once
// The module's one sound at a time. Every sound of ours starts here: a name,
// which the platform reads itself, or a WAV image in memory, which it reads on
// a thread of its own while it plays. A new sound stops the one playing (the
// platform's rule for a process), so strikes never overlap. Windows does not
// say when it has stopped reading an image: each is kept until a call that
// stops it (the next sound, or a stop) has returned.
#include "base/ModuleHeap.h"

#include <cstddef>
#include <cstdint>

namespace tolltone {

// PlaySoundW(name, flags) with flags of the platform; true when it started.
bool PlayNamedSound(const wchar_t* name, unsigned flags);

// Plays the WAV image at offset into image (a block of the process heap of
// bytes, taken over in every case) asynchronously. False when the platform
// refused it (it stays kept: the call may have begun to read it).
bool PlayImageSound(HeapArray<uint8_t> image, size_t bytes, size_t offset);

// Stops the sound playing, if an image of ours may still be playing.
void StopImageSound();

// At unload (not at process end): the images no call has stopped are left to
// the platform, with its sound library pinned since the first sound: the
// strike finishes, and nothing returns into our image.
void LeaveSoundAtUnload();

} // namespace tolltone

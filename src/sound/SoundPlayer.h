#pragma once
// The module's one sound at a time. Every sound of ours starts here: a name,
// which the platform reads itself, or a WAV image in memory, which it reads on
// a thread of its own while it plays. A new sound stops the one playing (the
// platform's rule for a process), so strikes never overlap. Windows does not
// say when it has stopped reading an image it was told to stop: each image is
// kept until its own time has passed, however many sounds came after it.
#include "base/ModuleHeap.h"

#include <cstddef>
#include <cstdint>

namespace tolltone {

// PlaySoundW(name, flags) with flags of the platform; true when it started.
bool PlayNamedSound(const wchar_t* name, unsigned flags);

// Whether an image of bytes can be kept beside the images that may still be
// playing; past that bound a sound is not made an image.
bool RoomForImage(size_t bytes);

// Plays the WAV image at offset into image (a block of the process heap of
// bytes, taken over in every case) asynchronously; it lasts milliseconds.
// False when the platform refused it, or there was no room to keep it (never
// played).
bool PlayImageSound(HeapArray<uint8_t> image, size_t bytes, size_t offset, uint64_t milliseconds);

// Stops the sound playing, if an image of ours may still be playing.
void StopImageSound();

// At unload (not at process end): the images whose time has passed are freed;
// those that may still be playing are left to the platform, with its sound
// library pinned since the first sound: the strike finishes, and nothing
// returns into our image.
void LeaveSoundAtUnload();

} // namespace tolltone

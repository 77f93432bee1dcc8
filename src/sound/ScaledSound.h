#pragma once
// Playing a sound file as one image in memory: the file is read, its samples
// (scaled to the module's own volume, or as they are) copied once per stroke,
// back to back, and the image played by the sound player. Nothing of the
// launcher's or the system's volume is touched.
#include <cstdint>

namespace tolltone {

// Plays waveName strokes times, each stroke right after the one before, at
// volume percent; at 0 plays nothing. False when waveName is no readable file
// of at most 16 MiB, not a WAV whose samples can be copied (PCM of 8, 16, 24
// or 32 bits, or 32-bit float), or too large for one image of its strokes:
// nothing was played, and the caller plays the name as it is.
bool PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume);

// The platform's precise clock: 100 ns units of UTC.
uint64_t PreciseFileTime();

// From the start of waveName to its first cue point (within its first 30 s), in
// milliseconds rounded up; 0 without one or for a sound PlaySoundImage refuses.
unsigned MarkMilliseconds(const wchar_t* waveName);

// As PlaySoundImage, started now so that the sound's mark (or its first sample)
// lands on boundary (of PreciseFileTime): after silence, or without the part
// of its lead-in that is already past. A boundary already past plays it at once
// from its start.
bool PlayMarkedImage(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundary);

// The dialog's Test button: at full volume exactly as always, else scaled.
void PlayTestChime(const wchar_t* waveName, int32_t volume);

} // namespace tolltone

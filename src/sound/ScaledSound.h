#pragma once
// Playing a sound file as one image in memory: the file is read, its samples
// (scaled to the module's own volume, or as they are) copied once per stroke,
// back to back, and the image played by the sound player. Nothing of the
// launcher's or the system's volume is touched.
#include <cstdint>

namespace tolltone {

// What became of a sound asked for as an image. Refused: the image was made
// and handed to the platform, which did not start it; that is the platform's
// answer, not asked for again. NoImage: none could be made, nothing was done.
enum class ImagePlay : uint8_t { Started, Refused, NoImage };

// Plays waveName strokes times, each stroke right after the one before, at
// volume percent; at 0 plays nothing (Started). NoImage when waveName is no
// readable file of at most 16 MiB, not a WAV whose samples can be copied (PCM
// of 8, 16, 24 or 32 bits, or 32-bit float), or too large for one image of its
// strokes: the caller may play the name as it is.
ImagePlay PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume);

// The platform's precise clock: 100 ns units of UTC.
uint64_t PreciseFileTime();

// From the start of waveName to its first cue point (within its first 30 s), in
// milliseconds rounded up; 0 without one or for a sound PlaySoundImage refuses.
unsigned MarkMilliseconds(const wchar_t* waveName);

// As PlaySoundImage, started now so that the sound's mark (or its first sample)
// lands on boundary (of PreciseFileTime): after silence, or without the part
// of its lead-in that is already past. A boundary already past plays it at once
// from its start; boundary 0 plays it at once without reading a clock.
ImagePlay PlayMarkedImage(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundary);

// The dialog's Test button: at full volume exactly as always, else scaled; by
// name only when it cannot be an image.
void PlayTestChime(const wchar_t* waveName, int32_t volume);

} // namespace tolltone

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

// The dialog's Test button: at full volume exactly as always, else scaled.
void PlayTestChime(const wchar_t* waveName, int32_t volume);

} // namespace tolltone

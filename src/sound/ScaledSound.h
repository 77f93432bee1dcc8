#pragma once
// Playing a sound file at the module's own volume: the file is read, its samples
// scaled into a WAV image on the process heap, and the image played from memory
// by the strike worker, which frees it after its last stroke. Nothing of the
// launcher's or the system's volume is touched.
#include <cstdint>

namespace tolltone {

// Plays waveName strokes times at volume percent; at 0 plays nothing. False when
// waveName is no readable file of at most 16 MiB or not a WAV whose samples can
// be scaled (PCM of 8, 16, 24 or 32 bits, or 32-bit float): nothing was played,
// and the caller plays the name as it is.
bool PlayScaledSound(int strokes, const wchar_t* waveName, int32_t volume);

// The dialog's Test button: at full volume exactly as always, else scaled.
void PlayTestChime(const wchar_t* waveName, int32_t volume);

} // namespace tolltone

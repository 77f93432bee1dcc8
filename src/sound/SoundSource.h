#pragma once
// Where a sound's samples come from: the file the platform would play for a
// name (a file, an alias of the user's sound scheme, or else the scheme's
// default sound), read whole and, when the module cannot scale its samples as
// they are, turned into 16-bit PCM.
#include "base/ModuleHeap.h"
#include "sound/WaveImage.h"

#include <cstddef>
#include <cstdint>

namespace tolltone {

// A WAV file as read, with its chunks found once for whatever reads it next.
struct SoundBytes {
    HeapArray<uint8_t> block;
    size_t size = 0;
    WaveChunks chunks;
};

// What a read of the file for a name found. Read: bytes hold a WAV whose
// samples the module can scale. NeedsCodec: bytes hold a WAV the platform's
// codecs may decode (DecodeWithCodec loads libraries: never on a worker the
// unload may wait for). NoSound: no file the platform could play, one too
// large, or no memory. Unreadable: the file is there but could not be read
// now; a later read may succeed.
enum class SoundRead : uint8_t { Read, NeedsCodec, NoSound, Unreadable };

// Reads the file for name (the scheme's look-up included) without decoding
// through a codec: it loads nothing, so it may run on any thread.
SoundRead ReadSoundFile(const wchar_t* name, SoundBytes& bytes);

// The file (at most 16 MiB) for name, as a WAV whose samples the module can
// scale; empty when there is none (no file the platform could play, another
// format that no codec of the platform decodes, no memory).
SoundBytes ReadPlayableSound(const wchar_t* name);

// A WAV in a format the module cannot scale, decoded by the platform's audio
// compression manager into a turned file (sound/WaveTurn.h); empty when it
// cannot be.
SoundBytes DecodeWithCodec(const SoundBytes& file);

} // namespace tolltone

#pragma once
// The next chime's image, made ahead by the module's worker (win32/ModuleWorker.h) so
// that the host's thread never waits for a disk: at the boundary it only takes
// the image that is ready and hands it to the sound player. One image is made
// at a time; asking for another replaces it.
#include "sound/ScaledSound.h"

#include <cstdint>

namespace tolltone {

// Where an asked-for image stands: ready, still being made, or none can be.
enum class PrepareState : uint8_t { Ready, Pending, NoImage };

// Asks for the image of waveName strokes times at volume percent, with room for
// roomMs of silence in front, and tells where it stands; markMs is its lead-in
// to the mark once Ready. A sound the
// platform's codecs must decode is decoded here, on the calling thread, once
// the worker has read it: the codecs load libraries, which the worker never
// does (the unload waits for it under the loader lock).
PrepareState PrepareChimeSound(int strokes, const wchar_t* waveName, int32_t volume, uint32_t roomMs, unsigned& markMs);

// Where that request stands if it is the one asked for (else Pending), without
// asking for it.
PrepareState PeekChimeSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs);

// Plays the Ready image of that request against boundary (PreciseFileTime's
// units; 0 at once). NoImage when it is not the one ready, or cannot be told
// against a boundary: nothing was done.
ImagePlay PlayPreparedSound(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundary);

// At unload, once the worker has stopped: frees what it made.
void FreePreparedSounds();

} // namespace tolltone

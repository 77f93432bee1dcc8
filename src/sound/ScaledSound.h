#pragma once
// Playing a sound file as one image in memory: the file is read, its samples
// (scaled to the module's own volume, or as they are) copied once per stroke,
// back to back, behind room for silence, and the image played by the sound
// player. Nothing of the launcher's or the system's volume is touched.
#include "sound/SoundSource.h"
#include "sound/WaveImage.h"

#include <cstddef>
#include <cstdint>

namespace tolltone {

// What became of a sound asked for as an image. Refused: the image was made
// and handed to the platform, which did not start it; that is the platform's
// answer, not asked for again. NoImage: none could be made, nothing was done.
enum class ImagePlay : uint8_t { Started, Refused, NoImage };

// An image made ahead: its header, room for roomFrames of silence, then the
// strokes. Started later, its header moves on over the silence it does not
// need (or into the lead-in already past), so the silence ends on its time.
struct ChimeImage {
    uint8_t* block = nullptr;  // of the process heap
    size_t bytes = 0;
    WaveLayout layout;  // of one stroke; its format chunk is the block's own
    uint32_t roomFrames = 0;
    uint32_t markFrame = 0;  // of the first stroke, 0 without a usable cue point
    int strokes = 0;
    bool silent = false;  // volume 0: a sound that plays nothing
};

void FreeChimeImage(ChimeImage& image);

// From the image's start to its mark, in milliseconds rounded up.
unsigned ImageMarkMs(const ChimeImage& image);

// Makes the image of strokes copies of the WAV file (its chunks found) at
// volume percent, behind room for roomMs of silence; false when it cannot be
// one (not a WAV whose samples can be copied, too large, no memory).
bool BuildChimeImage(const SoundBytes& file, int strokes, int32_t volume, uint32_t roomMs, ChimeImage& image);

// Reads waveName (the file the platform would play for it, decoded when the
// platform has a codec for it) and makes its image, on the calling thread.
bool MakeChimeImage(int strokes, const wchar_t* waveName, int32_t volume, uint32_t roomMs, ChimeImage& image);

// Whether the image can be started against a boundary (its rate tells time).
inline bool CanLandOnBoundary(const ChimeImage& image) { return IsMarkableRate(image.layout.frameRate); }

// Plays the image so that its mark (or its first sample) lands on boundary (of
// PreciseFileTime): after the silence that is left, or without the part of its
// lead-in already past; a boundary already past, or 0, plays it at once from
// its start. The image is taken over in every case.
ImagePlay PlayChimeImage(ChimeImage& image, uint64_t boundary);

// Plays waveName strokes times, each stroke right after the one before, at
// volume percent, at once; at 0 plays nothing (Started). NoImage when it cannot
// be an image: the caller may play the name as it is.
ImagePlay PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume);

// The platform's precise clock: 100 ns units of UTC.
uint64_t PreciseFileTime();

// The dialog's Test button: at full volume exactly as always, else scaled; by
// name only when it cannot be an image.
void PlayTestChime(const wchar_t* waveName, int32_t volume);

} // namespace tolltone

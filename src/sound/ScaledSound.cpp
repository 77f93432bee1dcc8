#include "sound/ScaledSound.h"

#include "base/ModuleHeap.h"
#include "settings/SoundSettings.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundSource.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <utility>

namespace tolltone {
namespace {

// All the strokes of a strike are one image: 24 strokes of a 2.6 MiB sound
// fit. A larger image is not made.
constexpr uint64_t LargestImage = 64 << 20;
constexpr uint64_t FileTimeUnitsPerSecond = 10'000'000;
constexpr size_t RiffAndFormatHeader = 12 + 8;  // where an image's format chunk begins

} // namespace

// Windows 8 has the precise clock; the module still loads on Windows 7, where
// the clock of the tick (about 15.6 ms) has to do: it reads early, so a mark
// lands up to a tick late, never before its boundary.
uint64_t PreciseFileTime() {
    using ClockFunction = void(WINAPI*)(FILETIME*);
    const auto precise = reinterpret_cast<ClockFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise != nullptr) precise(&now);
    else ::GetSystemTimeAsFileTime(&now);
    return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

void FreeChimeImage(ChimeImage& image) {
    ModuleHeap{}.Free(image.block);
    image = ChimeImage{};
}

unsigned ImageMarkMs(const ChimeImage& image) {
    const uint32_t rate = image.layout.frameRate;
    if (!IsMarkableRate(rate)) return 0;
    return static_cast<unsigned>((static_cast<uint64_t>(image.markFrame) * 1000 + rate - 1) / rate);
}

bool BuildChimeImage(const SoundBytes& sound, int strokes, int32_t volume, uint32_t roomMs, ChimeImage& image) {
    image = ChimeImage{};
    const uint8_t* const file = sound.block.get();
    if (file == nullptr) return false;
    const WaveLayout layout = ParseWave(file, sound.chunks);
    if (layout.kind == SampleKind::None) return false;
    const bool timed = IsMarkableRate(layout.frameRate);
    image.layout = layout;
    image.strokes = strokes;
    image.markFrame = timed ? UsableMarkFrame(layout, sound.chunks.cueFrame) : 0;
    if (volume <= 0) {
        image.silent = true;
        return true;
    }
    // A frame more than the room asks for: the mark is never early for want of it.
    // Whole words of it, so that an image played at once leaves all of it out.
    ImageStart start;
    // A millisecond more: a mark's lead-in is counted in whole milliseconds, rounded up.
    if (timed) start.silenceFrames = static_cast<uint32_t>((uint64_t{roomMs} + 1) * layout.frameRate / 1000 + 1);
    while ((uint64_t{start.silenceFrames} * layout.frameBytes) % 4 != 0) ++start.silenceFrames;
    const size_t bytes = StrokeImageSize(layout, strokes, start, LargestImage);
    if (bytes == 0) return false;
    HeapArray<uint8_t> block(bytes);
    if (!block) return false;
    WriteStrokeImage(file, layout, volume, strokes, start, block.get());
    image.block = block.Release();
    image.bytes = bytes;
    image.roomFrames = start.silenceFrames;
    image.layout.formatOffset = RiffAndFormatHeader;
    image.layout.dataOffset = ImageHeaderBytes(layout);
    return true;
}

bool MakeChimeImage(int strokes, const wchar_t* waveName, int32_t volume, uint32_t roomMs, ChimeImage& image) {
    const SoundBytes file = ReadPlayableSound(waveName);
    return BuildChimeImage(file, strokes, volume, roomMs, image);
}

ImagePlay PlayChimeImage(ChimeImage& taken, uint64_t boundary) {
    ChimeImage image = taken;
    taken = ChimeImage{};
    HeapArray<uint8_t> block = HeapArray<uint8_t>::Adopt(image.block);
    if (image.silent) return ImagePlay::Started;
    const WaveLayout& layout = image.layout;
    const uint64_t frameBytes = layout.frameBytes;
    // Frames of the room left out in front: all of it when played at once.
    uint64_t cut = image.roomFrames;
    const uint64_t now = boundary != 0 ? PreciseFileTime() : 0;
    if (now < boundary && IsMarkableRate(layout.frameRate)) {
        // Frames from now to the boundary, rounded up: the mark never comes early.
        const uint64_t lead = ((boundary - now) * layout.frameRate + FileTimeUnitsPerSecond - 1) / FileTimeUnitsPerSecond;
        if (lead >= image.markFrame) {
            const uint64_t silence = lead - image.markFrame;
            cut = silence < image.roomFrames ? image.roomFrames - silence : 0;
        } else {
            cut = image.roomFrames + (image.markFrame - lead);  // the lead-in already past
        }
    }
    while ((cut * frameBytes) % 4 != 0) --cut;  // the image stays aligned; less cut is later, never early
    const size_t offset = static_cast<size_t>(cut * frameBytes);
    const size_t header = ImageHeaderBytes(layout);
    const uint64_t dataBytes = image.bytes - offset - header;
    // The header moves on over what is left out; its format is copied first,
    // as the two places may overlap.
    uint8_t format[wave_detail::LargestFormatChunk];
    std::memcpy(format, image.block + layout.formatOffset, layout.formatSize);
    WaveLayout moved = layout;
    moved.formatOffset = 0;
    WriteImageHeader(format, moved, dataBytes, image.block + offset);
    return PlayImageSound(std::move(block), image.bytes, offset) ? ImagePlay::Started : ImagePlay::Refused;
}

ImagePlay PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume) {
    ChimeImage image;
    if (!MakeChimeImage(strokes, waveName, volume, 0, image)) return ImagePlay::NoImage;
    return PlayChimeImage(image, 0);
}

// No SND_FILENAME and no SND_NODEFAULT at full volume, as for the chime: system
// sound names work too.
void PlayTestChime(const wchar_t* waveName, int32_t volume) {
    if (volume != FullVolume && PlaySoundImage(1, waveName, volume) != ImagePlay::NoImage) return;
    PlayNamedSound(waveName, SND_ASYNC | SND_NOWAIT);
}

} // namespace tolltone

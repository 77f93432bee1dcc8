#include "sound/ScaledSound.h"

#include "base/ModuleHeap.h"
#include "settings/SoundSettings.h"
#include "sound/SoundPlayer.h"
#include "sound/SoundSource.h"
#include "sound/WaveImage.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>


namespace tolltone {
namespace {

// All the strokes of a strike are one image: 24 strokes of a 2.6 MiB sound
// fit. A larger image is not made.
constexpr uint64_t LargestImage = 64 << 20;
constexpr uint64_t FileTimeUnitsPerSecond = 10'000'000;
// A sound is started at most a minute ahead of its boundary.
constexpr uint64_t LongestLeadSeconds = 60;

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

unsigned MarkMilliseconds(const wchar_t* waveName) {
    const SoundBytes file = ReadPlayableSound(waveName);
    if (!file.block) return 0;
    const WaveLayout layout = ParseWave(file.block.get(), file.size);
    if (layout.kind == SampleKind::None || !IsMarkableRate(layout.frameRate)) return 0;
    const uint64_t frame = UsableMarkFrame(layout, FindCueFrame(file.block.get(), file.size));
    return static_cast<unsigned>((frame * 1000 + layout.frameRate - 1) / layout.frameRate);
}

ImagePlay PlayMarkedImage(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundary) {
    const SoundBytes file = ReadPlayableSound(waveName);
    if (!file.block) return ImagePlay::NoImage;
    const uint8_t* bytes = file.block.get();
    const WaveLayout layout = ParseWave(bytes, file.size);
    if (layout.kind == SampleKind::None) return ImagePlay::NoImage;
    if (boundary != 0 && !IsMarkableRate(layout.frameRate)) return ImagePlay::NoImage;  // its time cannot be told
    if (volume <= 0) return ImagePlay::Started;
    // Without a boundary (the default timing) no clock is read and no mark looked for.
    const uint64_t mark = boundary != 0 ? UsableMarkFrame(layout, FindCueFrame(bytes, file.size)) : 0;
    // Frames from now to the boundary, rounded up: the mark never comes early.
    const auto framesUntil = [&](uint64_t at) -> uint64_t {
        if (at >= boundary) return 0;
        return ((boundary - at) * layout.frameRate + FileTimeUnitsPerSecond - 1) / FileTimeUnitsPerSecond;
    };
    ImageStart start;
    const uint64_t now = boundary != 0 ? PreciseFileTime() : 0;
    if (now < boundary) {  // else late: at once, from the start
        const uint64_t lead = framesUntil(now);
        const uint64_t longest = LongestLeadSeconds * layout.frameRate;
        if (lead >= mark) start.silenceFrames = static_cast<uint32_t>(lead - mark > longest ? longest : lead - mark);
        else start.skipFrames = static_cast<uint32_t>(mark - lead);
    }
    const size_t size = StrokeImageSize(layout, strokes, start, LargestImage);
    if (size == 0 || !RoomForImage(size)) return ImagePlay::NoImage;
    HeapArray<uint8_t> image(size);
    if (!image) return ImagePlay::NoImage;
    WriteStrokeImage(bytes, layout, volume, strokes, start, image.get());
    // The image took time to make: its silence is shortened by as much, the
    // header moved on over what is left out.
    size_t offset = 0;
    const uint64_t lead = start.silenceFrames != 0 ? framesUntil(PreciseFileTime()) : 0;
    const uint64_t wanted = lead > mark ? lead - mark : 0;
    if (wanted < start.silenceFrames) {
        uint32_t cut = start.silenceFrames - static_cast<uint32_t>(wanted);
        while ((static_cast<size_t>(cut) * layout.frameBytes) % 4 != 0) --cut;  // the image stays aligned
        offset = static_cast<size_t>(cut) * layout.frameBytes;
        start.silenceFrames -= cut;
        WriteImageHeader(bytes, layout, ImageDataBytes(layout, strokes, start), image.get() + offset);
    }
    return PlayImageSound(std::move(image), size, offset, ImageMilliseconds(layout, strokes, start)) ? ImagePlay::Started
                                                                                               : ImagePlay::Refused;
}

ImagePlay PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume) {
    return PlayMarkedImage(strokes, waveName, volume, 0);
}

// No SND_FILENAME and no SND_NODEFAULT at full volume, as for the chime: system
// sound names work too.
void PlayTestChime(const wchar_t* waveName, int32_t volume) {
    if (volume != FullVolume && PlaySoundImage(1, waveName, volume) != ImagePlay::NoImage) return;
    PlayNamedSound(waveName, SND_ASYNC | SND_NOWAIT);
}

} // namespace tolltone

#include "sound/ScaledSound.h"

#include "base/ModuleHeap.h"
#include "settings/SoundSettings.h"
#include "sound/SoundPlayer.h"
#include "sound/WaveImage.h"
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>


namespace tolltone {
namespace {

// A chime is a few seconds; a larger file is played as it is rather than read
// on the host's thread.
constexpr LONGLONG LargestScaledFile = 16 << 20;
// All the strokes of a strike are one image: 24 strokes of a 2.6 MiB sound
// fit. A larger image is not made; the sound is then played as it is.
constexpr uint64_t LargestImage = 64 << 20;

struct FileBytes {
    HeapArray<uint8_t> block;
    size_t size = 0;
};

FileBytes ReadSoundFile(const wchar_t* name) {
    FileBytes bytes;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(name, GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    if (!file || !::GetFileSizeEx(file.Get(), &length) || length.QuadPart <= 0 || length.QuadPart > LargestScaledFile)
        return bytes;
    HeapArray<uint8_t> block(static_cast<size_t>(length.QuadPart));
    DWORD read = 0;
    if (!block || !::ReadFile(file.Get(), block.get(), static_cast<DWORD>(length.QuadPart), &read, nullptr) ||
        read != static_cast<DWORD>(length.QuadPart))
        return bytes;
    bytes.block = std::move(block);
    bytes.size = read;
    return bytes;
}

} // namespace

bool PlaySoundImage(int strokes, const wchar_t* waveName, int32_t volume) {
    const FileBytes file = ReadSoundFile(waveName);
    if (!file.block) return false;
    const uint8_t* bytes = file.block.get();
    const WaveLayout layout = ParseWave(bytes, file.size);
    if (layout.kind == SampleKind::None) return false;
    if (volume <= 0) return true;
    const size_t size = StrokeImageSize(layout, strokes, 0, LargestImage);
    HeapArray<uint8_t> image(size);
    if (size == 0 || !image) return false;
    WriteStrokeImage(bytes, layout, volume, strokes, 0, image.get());
    return PlayImageSound(std::move(image), ImageMilliseconds(layout, strokes));
}

// No SND_FILENAME and no SND_NODEFAULT at full volume, as for the chime: system
// sound names work too.
void PlayTestChime(const wchar_t* waveName, int32_t volume) {
    if (volume != FullVolume && PlaySoundImage(1, waveName, volume)) return;
    PlayNamedSound(waveName, SND_ASYNC | SND_NOWAIT);
}

} // namespace tolltone

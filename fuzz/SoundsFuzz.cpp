// Arbitrary bytes as a WAV file: the parse never reads outside the file, and a
// scaled image is written within its size and parses back to the same layout.
// The same bytes as the values of the volume and quiet-day keys.
#include "FuzzInput.h"
#include "settings/QuietSettings.h"
#include "settings/SoundSettings.h"
#include "sound/WaveImage.h"

#include <vector>

using namespace tolltone;
using namespace tolltone::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);  // exactly its size, so ASan sees a read past it
    const WaveLayout layout = ParseWave(file.data(), file.size());
    if (layout.kind != SampleKind::None) {
        Check(layout.dataOffset + layout.dataSize <= size && layout.formatOffset + layout.formatSize <= size);
        std::vector<uint8_t> image(ScaledImageSize(layout));
        WriteScaledImage(file.data(), layout, size % 101, image.data());
        const WaveLayout again = ParseWave(image.data(), image.size());
        Check(again.kind == layout.kind && again.dataSize == layout.dataSize && again.formatSize == layout.formatSize &&
              again.dataOffset + again.dataSize == image.size());
        // A strike that starts at its mark, one frame before it or after silence:
        // every byte the sizes claim is written, none past them.
        const uint32_t mark = UsableMarkFrame(layout, FindWaveChunks(file.data(), file.size()).cueFrame);
        Check(mark == 0 || static_cast<uint64_t>(mark) * layout.frameBytes < layout.dataSize);
        const ImageStart start = size % 2 ? ImageStart{mark, 0} : ImageStart{0, mark};
        const int strokes = static_cast<int>(size % 3) + 1;
        std::vector<uint8_t> strike(StrokeImageSize(layout, strokes, start, 1 << 22));
        if (!strike.empty()) {
            WriteStrokeImage(file.data(), layout, size % 101, strokes, start, strike.data());
            Check(ParseWave(strike.data(), strike.size()).dataOffset + ImageDataBytes(layout, strokes, start) == strike.size());
        }
    }
    FuzzInput input(data, size);
    const std::vector<char16_t> text = input.Text<char16_t>();
    const int32_t volume = ParseVolume(text.data());
    Check(volume >= 0 && volume <= FullVolume);
    Check(ParseQuietDays(text.data()) <= 0x7F);
    return 0;
}

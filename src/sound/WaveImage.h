#pragma once
// WAV files at a volume of the module's own: which files can be scaled, and a
// scaled copy of one as a WAV image that the platform plays from memory.
//
// The image is rebuilt rather than patched: RIFF header, the file's format chunk
// as it is, and a data chunk of the whole frames the file really holds. The
// platform reads a memory image by its chunk sizes alone, so a file that claims
// more data than it has must never reach it with that claim.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tolltone {

enum class SampleKind : uint8_t { None, Unsigned8, Signed16, Signed24, Signed32, Float32 };

struct WaveLayout {
    SampleKind kind = SampleKind::None;  // None: not a WAV whose samples this module can scale
    size_t formatOffset = 0;             // the format chunk's body in the file
    uint32_t formatSize = 0;
    size_t dataOffset = 0;               // the first sample in the file
    uint32_t dataSize = 0;               // whole frames present in the file
    uint32_t frameBytes = 0;             // one sample of every channel
    uint32_t frameRate = 0;              // frames a second
};

namespace wave_detail {

inline constexpr uint16_t FormatPcm = 1;
inline constexpr uint16_t FormatFloat = 3;
inline constexpr uint16_t FormatExtensible = 0xFFFE;
inline constexpr uint32_t LargestFormatChunk = 1024;  // the real ones have 16 to 40 bytes
inline constexpr size_t ImageOverhead = 12 + 8 + 8;   // RIFF header and two chunk headers

inline uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
inline uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline void Write32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline bool IsTag(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

// The sub-format of an extensible format: a base format's tag in the first two
// bytes of the platform's media sub-type GUID, the rest fixed.
inline uint16_t ExtensibleTag(const uint8_t* guid) {
    constexpr uint8_t Tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    return std::memcmp(guid + 2, Tail, sizeof Tail) == 0 ? static_cast<uint16_t>(Read16(guid)) : 0;
}

inline SampleKind KindOf(const uint8_t* format, uint32_t formatSize) {
    uint32_t tag = Read16(format);
    const uint32_t channels = Read16(format + 2);
    const uint32_t blockAlign = Read16(format + 12);
    const uint32_t bits = Read16(format + 14);
    if (tag == FormatExtensible) tag = formatSize >= 40 ? ExtensibleTag(format + 24) : 0;
    SampleKind kind = SampleKind::None;
    if (tag == FormatPcm) {
        kind = bits == 8    ? SampleKind::Unsigned8
               : bits == 16 ? SampleKind::Signed16
               : bits == 24 ? SampleKind::Signed24
               : bits == 32 ? SampleKind::Signed32
                            : SampleKind::None;
    } else if (tag == FormatFloat && bits == 32) {
        kind = SampleKind::Float32;
    }
    // Samples must fill the frame exactly, or they are not where the kind says.
    if (channels == 0 || blockAlign != channels * (bits / 8)) return SampleKind::None;
    return kind;
}

} // namespace wave_detail

// Where a RIFF WAVE file of size bytes has its format, its data and its first
// cue point, found in one walk and handed on to whatever reads the file next:
// formatSize 0 when it has not both a format and data. Chunks may come in any
// order; a data chunk cut short by the end of the file counts with the bytes it
// has. The cue point is its sample offset, or its position where the offset is
// 0 (writers differ); 0 without one.
struct WaveChunks {
    size_t formatOffset = 0;
    uint32_t formatSize = 0;
    size_t dataOffset = 0;
    size_t dataSize = 0;
    uint32_t cueFrame = 0;
};

inline WaveChunks FindWaveChunks(const uint8_t* file, size_t size) {
    using namespace wave_detail;
    WaveChunks chunks;
    if (size < 12 || !IsTag(file, "RIFF") || !IsTag(file + 8, "WAVE")) return {};
    bool haveFormat = false, haveData = false, haveCue = false;
    for (size_t at = 12; at + 8 <= size && !(haveFormat && haveData && haveCue);) {
        const uint32_t chunkSize = Read32(file + at + 4);
        const size_t body = at + 8;
        const size_t available = size - body;
        if (IsTag(file + at, "fmt ") && !haveFormat) {
            if (chunkSize < 16 || chunkSize > LargestFormatChunk || chunkSize > available) return {};
            chunks.formatOffset = body;
            chunks.formatSize = chunkSize;
            haveFormat = true;
        } else if (IsTag(file + at, "data") && !haveData) {
            chunks.dataOffset = body;
            chunks.dataSize = chunkSize < available ? chunkSize : available;
            haveData = true;
        } else if (IsTag(file + at, "cue ") && !haveCue && chunkSize >= 28 && available >= 28 && Read32(file + body) >= 1) {
            const uint32_t offset = Read32(file + body + 4 + 20);
            chunks.cueFrame = offset != 0 ? offset : Read32(file + body + 4 + 4);
            haveCue = true;
        }
        if (chunkSize >= available) break;  // the last chunk (or one cut short)
        at = body + chunkSize + (chunkSize & 1u);
    }
    return haveFormat && haveData ? chunks : WaveChunks{};
}

// The layout of a file whose chunks were found, when this module can scale its
// samples; a data chunk cut short counts with the whole frames it has.
inline WaveLayout ParseWave(const uint8_t* file, const WaveChunks& chunks) {
    using namespace wave_detail;
    if (chunks.formatSize == 0) return {};
    WaveLayout layout;
    layout.formatOffset = chunks.formatOffset;
    layout.formatSize = chunks.formatSize;
    layout.dataOffset = chunks.dataOffset;
    size_t dataAvailable = chunks.dataSize;
    layout.kind = KindOf(file + layout.formatOffset, layout.formatSize);
    if (layout.kind == SampleKind::None) return {};
    const size_t blockAlign = Read16(file + layout.formatOffset + 12);
    layout.frameBytes = static_cast<uint32_t>(blockAlign);
    layout.frameRate = Read32(file + layout.formatOffset + 4);
    // The image's RIFF size must fit its 32 bits.
    const size_t largest = UINT32_MAX - ImageOverhead - LargestFormatChunk - 1;
    if (dataAvailable > largest) dataAvailable = largest;
    layout.dataSize = static_cast<uint32_t>(dataAvailable - dataAvailable % blockAlign);
    return layout;
}

inline WaveLayout ParseWave(const uint8_t* file, size_t size) { return ParseWave(file, FindWaveChunks(file, size)); }

// Where an image begins against the first stroke: after frames of silence, or
// with the stroke's first frames left out.
struct ImageStart {
    uint32_t silenceFrames = 0;
    uint32_t skipFrames = 0;  // fewer than one stroke holds
};

inline uint64_t ImageDataBytes(const WaveLayout& layout, int strokes, ImageStart start) {
    return static_cast<uint64_t>(layout.dataSize) * static_cast<uint64_t>(strokes) +
           (static_cast<uint64_t>(start.silenceFrames) - start.skipFrames) * layout.frameBytes;
}

// The size of an image of strokes copies of the samples, back to back, from
// start; 0 when it would be larger than the platform should be handed
// (largestImage) or than its 32-bit sizes hold.
inline size_t StrokeImageSize(const WaveLayout& layout, int strokes, ImageStart start = {},
                              uint64_t largestImage = UINT32_MAX) {
    const uint64_t skipBytes = static_cast<uint64_t>(start.skipFrames) * layout.frameBytes;
    if (strokes < 1 || (skipBytes != 0 && skipBytes >= layout.dataSize)) return 0;
    const uint64_t size =
        wave_detail::ImageOverhead + layout.formatSize + (layout.formatSize & 1u) + ImageDataBytes(layout, strokes, start);
    return size - 8 > UINT32_MAX || size > largestImage ? 0 : static_cast<size_t>(size);
}

inline size_t ScaledImageSize(const WaveLayout& layout) { return StrokeImageSize(layout, 1); }

// How long an image of strokes copies from start plays, in milliseconds,
// rounded up.
inline uint64_t ImageMilliseconds(const WaveLayout& layout, int strokes, ImageStart start = {}) {
    if (layout.frameBytes == 0 || layout.frameRate == 0 || strokes < 1) return 0;
    const uint64_t frames = ImageDataBytes(layout, strokes, start) / layout.frameBytes;
    return (frames * 1000 + layout.frameRate - 1) / layout.frameRate;
}

// A mark is only followed inside the first stroke and at most 30 s into it: a
// sound is never started more than half a minute ahead of its minute.
inline constexpr uint32_t LatestMarkSeconds = 30;
// A rate that gives the frames a time: none for 0, nor for rates no sound has.
inline bool IsMarkableRate(uint32_t frameRate) { return frameRate != 0 && frameRate <= 1'000'000; }
inline uint32_t UsableMarkFrame(const WaveLayout& layout, uint32_t cueFrame) {
    if (layout.frameBytes == 0 || !IsMarkableRate(layout.frameRate)) return 0;
    const uint64_t frames = layout.dataSize / layout.frameBytes;
    return cueFrame < frames && cueFrame <= static_cast<uint64_t>(LatestMarkSeconds) * layout.frameRate ? cueFrame : 0;
}

// Scales count samples of kind from in to out by volume percent (0..100), toward
// zero; 8-bit samples are scaled around their mid value 128.
inline void ScaleSamples(SampleKind kind, const uint8_t* in, uint8_t* out, size_t count, int32_t volume) {
    const int32_t v = volume < 0 ? 0 : volume > 100 ? 100 : volume;
    switch (kind) {
    case SampleKind::Unsigned8:
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>((in[i] - 128) * v / 100 + 128);
        break;
    case SampleKind::Signed16:
        for (size_t i = 0; i < count; ++i, in += 2, out += 2) {
            const int32_t s = static_cast<int16_t>(static_cast<uint16_t>(in[0] | in[1] << 8)) * v / 100;
            out[0] = static_cast<uint8_t>(s);
            out[1] = static_cast<uint8_t>(s >> 8);
        }
        break;
    case SampleKind::Signed24:
        for (size_t i = 0; i < count; ++i, in += 3, out += 3) {
            const uint32_t raw = static_cast<uint32_t>(in[0] | in[1] << 8 | in[2] << 16);
            const int32_t sample = static_cast<int32_t>(raw << 8) / 256;  // sign from bit 23
            const int32_t s = sample * v / 100;
            for (int b = 0; b < 3; ++b) out[b] = static_cast<uint8_t>(s >> (8 * b));
        }
        break;
    case SampleKind::Signed32:
        for (size_t i = 0; i < count; ++i, in += 4, out += 4) {
            const int64_t s = static_cast<int64_t>(static_cast<int32_t>(wave_detail::Read32(in))) * v / 100;
            wave_detail::Write32(out, static_cast<uint32_t>(s));
        }
        break;
    case SampleKind::Float32:
        for (size_t i = 0; i < count; ++i, in += 4, out += 4) {
            float s;
            std::memcpy(&s, in, 4);
            s = s * static_cast<float>(v) / 100.0f;
            std::memcpy(out, &s, 4);
        }
        break;
    case SampleKind::None: break;
    }
}

inline size_t BytesPerSample(SampleKind kind) {
    switch (kind) {
    case SampleKind::Unsigned8: return 1;
    case SampleKind::Signed16: return 2;
    case SampleKind::Signed24: return 3;
    case SampleKind::Signed32:
    case SampleKind::Float32: return 4;
    case SampleKind::None: break;
    }
    return 1;
}

// Writes the RIFF header, the file's format and the data chunk's header of an
// image of dataBytes samples at image; gives the first byte after them.
inline uint8_t* WriteImageHeader(const uint8_t* file, const WaveLayout& layout, uint64_t dataBytes, uint8_t* image) {
    using namespace wave_detail;
    const uint32_t formatBytes = layout.formatSize + (layout.formatSize & 1u);
    uint8_t* p = image;
    std::memcpy(p, "RIFF", 4);
    Write32(p + 4, static_cast<uint32_t>(ImageOverhead - 8 + formatBytes + dataBytes));
    std::memcpy(p + 8, "WAVE", 4);
    p += 12;
    std::memcpy(p, "fmt ", 4);
    Write32(p + 4, layout.formatSize);
    std::memcpy(p + 8, file + layout.formatOffset, layout.formatSize);
    if (formatBytes != layout.formatSize) p[8 + layout.formatSize] = 0;
    p += 8 + formatBytes;
    std::memcpy(p, "data", 4);
    Write32(p + 4, static_cast<uint32_t>(dataBytes));
    return p + 8;
}

// The bytes of an image's header: shortening its silence by frames moves the
// header that many frames on.
inline size_t ImageHeaderBytes(const WaveLayout& layout) {
    return wave_detail::ImageOverhead + layout.formatSize + (layout.formatSize & 1u);
}

// Writes StrokeImageSize(layout, strokes, start) bytes to image: the file's
// format, then from start strokes copies of its samples at volume percent.
inline void WriteStrokeImage(const uint8_t* file, const WaveLayout& layout, int32_t volume, int strokes,
                             ImageStart start, uint8_t* image) {
    uint8_t* p = WriteImageHeader(file, layout, ImageDataBytes(layout, strokes, start), image);
    const size_t silenceBytes = static_cast<size_t>(start.silenceFrames) * layout.frameBytes;
    const size_t skipBytes = static_cast<size_t>(start.skipFrames) * layout.frameBytes;
    // Silence is the mid value: 128 for unsigned 8-bit samples, 0 for the rest.
    std::memset(p, layout.kind == SampleKind::Unsigned8 ? 128 : 0, silenceBytes);
    p += silenceBytes;
    // At full volume the samples go as they are (a float times 100 / 100 may not).
    const auto copy = [&](uint8_t* to, size_t from, size_t bytes) {
        if (volume >= 100) std::memcpy(to, file + layout.dataOffset + from, bytes);
        else ScaleSamples(layout.kind, file + layout.dataOffset + from, to, bytes / BytesPerSample(layout.kind), volume);
    };
    copy(p, skipBytes, layout.dataSize - skipBytes);
    uint8_t* whole = p + (layout.dataSize - skipBytes);  // the second stroke, the first one whole
    if (strokes > 1) copy(whole, 0, layout.dataSize);
    for (int stroke = 2; stroke < strokes; ++stroke)
        std::memcpy(whole + static_cast<size_t>(stroke - 1) * layout.dataSize, whole, layout.dataSize);
}

inline void WriteScaledImage(const uint8_t* file, const WaveLayout& layout, int32_t volume, uint8_t* image) {
    WriteStrokeImage(file, layout, volume, 1, {}, image);
}

} // namespace tolltone

#pragma once
// A WAV whose samples the module cannot scale, turned into one it can: a RIFF
// WAVE file of 16-bit PCM samples, with the original's first cue point, so its
// mark stays where it was. 64-bit float samples are turned here; what a codec
// of the platform decodes arrives as 16-bit PCM already.
#include "sound/WaveImage.h"

namespace tolltone {

namespace wave_detail {
inline constexpr size_t TurnedHeaderBytes = 12 + 8 + 16 + 8;
inline constexpr size_t CueChunkBytes = 8 + 4 + 24;
inline void Write16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
} // namespace wave_detail

// The bytes of a turned file of pcmBytes of samples, its cue point included.
inline size_t TurnedFileSize(size_t pcmBytes) {
    return wave_detail::TurnedHeaderBytes + pcmBytes + (pcmBytes & 1u) + wave_detail::CueChunkBytes;
}

// Where a turned file's samples go: after its header.
inline uint8_t* TurnedSamples(uint8_t* file) { return file + wave_detail::TurnedHeaderBytes; }

// With pcmBytes of 16-bit samples of channels at frameRate in place at
// TurnedSamples(file): writes the header before them and, for a cueFrame
// other than 0, a cue chunk after them. Gives the file's size.
inline size_t WriteTurnedFile(uint32_t channels, uint32_t frameRate, size_t pcmBytes, uint32_t cueFrame, uint8_t* file) {
    using namespace wave_detail;
    uint8_t* p = file;
    std::memcpy(p, "RIFFxxxxWAVEfmt ", 16);
    Write32(p + 16, 16);
    Write16(p + 20, FormatPcm);
    Write16(p + 22, channels);
    Write32(p + 24, frameRate);
    Write32(p + 28, frameRate * channels * 2);
    Write16(p + 32, channels * 2);
    Write16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    Write32(p + 40, static_cast<uint32_t>(pcmBytes));
    p += TurnedHeaderBytes + pcmBytes;
    if ((pcmBytes & 1u) != 0) *p++ = 0;
    if (cueFrame != 0) {
        std::memcpy(p, "cue ", 4);
        Write32(p + 4, CueChunkBytes - 8);
        Write32(p + 8, 1);  // one point: its id, position, chunk, starts, offset
        const uint32_t point[6] = {1, cueFrame, 0x61746164 /* "data" */, 0, 0, cueFrame};
        for (int i = 0; i < 6; ++i) Write32(p + 12 + 4 * i, point[i]);
        p += CueChunkBytes;
    }
    const size_t size = static_cast<size_t>(p - file);
    Write32(file + 4, static_cast<uint32_t>(size - 8));
    return size;
}

// The chunks of a turned file of pcmBytes of samples, as WriteTurnedFile lays
// them out: handed on, not walked again.
inline WaveChunks TurnedChunks(size_t pcmBytes, uint32_t cueFrame) {
    WaveChunks chunks;
    chunks.formatOffset = 12 + 8;
    chunks.formatSize = 16;
    chunks.dataOffset = wave_detail::TurnedHeaderBytes;
    chunks.dataSize = pcmBytes;
    chunks.cueFrame = cueFrame;
    return chunks;
}

// Whether format (a format chunk's body) holds 64-bit float samples that fill
// their frames, plain or extensible.
inline bool IsFloat64(const uint8_t* format, uint32_t formatSize) {
    using namespace wave_detail;
    uint32_t tag = Read16(format);
    if (tag == FormatExtensible) tag = formatSize >= 40 ? ExtensibleTag(format + 24) : 0;
    const uint32_t channels = Read16(format + 2);
    return tag == FormatFloat && Read16(format + 14) == 64 && channels != 0 && Read16(format + 12) == channels * 8;
}

// Turns count 64-bit float samples (full scale at 1.0) into 16-bit ones,
// rounded to the nearest and held within range.
inline void TurnFloat64(const uint8_t* in, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, in += 8, out += 2) {
        double s;
        std::memcpy(&s, in, 8);
        s = s == s ? s * 32768.0 : 0.0;  // not a number: silence
        const int32_t sample = s <= -32768.0 ? -32768 : s >= 32767.0 ? 32767 : static_cast<int32_t>(s + (s < 0 ? -0.5 : 0.5));
        wave_detail::Write16(out, static_cast<uint32_t>(sample));
    }
}

} // namespace tolltone

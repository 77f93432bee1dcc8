#pragma once
// WAV files as the tests write them, and the data chunk of a file or an image
// the module hands the sound player.
#include <cstdint>
#include <cstring>
#include <string>

namespace tolltone::fakes {

inline void PutLittle(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// A PCM format chunk's body.
inline std::string PcmFormat(uint16_t channels = 1, uint32_t rate = 22050, uint16_t bits = 16) {
    std::string body;
    PutLittle(body, 1, 2), PutLittle(body, channels, 2), PutLittle(body, rate, 4);
    PutLittle(body, rate * channels * bits / 8, 4), PutLittle(body, channels * bits / 8u, 2), PutLittle(body, bits, 2);
    return body;
}

// A WAV file of format (a format chunk's body) around data.
inline std::string WaveOf(const std::string& format, const std::string& data) {
    std::string bytes = "RIFF";
    PutLittle(bytes, static_cast<uint32_t>(4 + 8 + format.size() + 8 + data.size()), 4);
    bytes += "WAVEfmt ";
    PutLittle(bytes, static_cast<uint32_t>(format.size()), 4);
    bytes += format + "data";
    PutLittle(bytes, static_cast<uint32_t>(data.size()), 4);
    return bytes + data;
}

// frames 16-bit mono samples, sample(i) each.
template <class Sample>
std::string Samples16(uint32_t frames, Sample sample) {
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) PutLittle(data, static_cast<uint16_t>(sample(i)), 2);
    return data;
}

// The data chunk's body in a RIFF file: where it starts and its size (0 and 0
// when there is none within the sizes the file states).
struct DataChunk {
    size_t offset = 0;
    uint32_t size = 0;
};
inline DataChunk FindDataChunk(const uint8_t* bytes) {
    uint32_t riff;
    std::memcpy(&riff, bytes + 4, 4);
    for (size_t at = 12; at + 8 <= size_t{riff} + 8;) {
        uint32_t size;
        std::memcpy(&size, bytes + at + 4, 4);
        if (std::memcmp(bytes + at, "data", 4) == 0) return {at + 8, size};
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace tolltone::fakes

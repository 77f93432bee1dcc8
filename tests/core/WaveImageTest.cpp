// WAV files at the module's own volume: which are scaled, how each kind of
// sample is scaled, and an image the platform can read by its sizes alone.
#include "sound/WaveImage.h"
#include "sound/WaveTurn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace tolltone;

namespace {

using Bytes = std::vector<uint8_t>;

void PutLittle(Bytes& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& out, uint32_t v) { PutLittle(out, v, 2); }
void Put32(Bytes& out, uint32_t v) { PutLittle(out, v, 4); }
void Append(Bytes& out, const Bytes& more) {
    for (uint8_t b : more) out.push_back(b);
}
void PutTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

// A format chunk body; extensible formats carry their base tag in the sub-format.
Bytes Format(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t subTag = 0) {
    Bytes body;
    Put16(body, tag);
    Put16(body, channels);
    Put32(body, 22050);
    Put32(body, 22050u * channels * bits / 8);
    Put16(body, static_cast<uint16_t>(channels * bits / 8));
    Put16(body, bits);
    if (tag == 0xFFFE) {
        Put16(body, 22);
        Put16(body, bits);
        Put32(body, 0);
        Put16(body, subTag);
        const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        Append(body, Bytes(tail, tail + 14));
    }
    return body;
}

// A RIFF WAVE file around chunks, already laid out.
Bytes Riff(const Bytes& chunks) {
    Bytes file;
    PutTag(file, "RIFF");
    Put32(file, uint32_t(chunks.size() + 4));
    PutTag(file, "WAVE");
    Append(file, chunks);
    return file;
}

// A RIFF file of the given chunks; dataClaim overrides the data chunk's size.
Bytes Wave(const Bytes& format, const Bytes& data, uint32_t dataClaim = 0, bool dataFirst = false) {
    Bytes chunks;
    const auto putFormat = [&] {
        PutTag(chunks, "fmt ");
        Put32(chunks, uint32_t(format.size()));
        Append(chunks, format);
    };
    const auto putData = [&] {
        PutTag(chunks, "data");
        Put32(chunks, dataClaim != 0 ? dataClaim : uint32_t(data.size()));
        Append(chunks, data);
    };
    PutTag(chunks, "LIST");  // an odd-sized chunk before them, padded
    Put32(chunks, 3);
    PutTag(chunks, "abc");  // its three bytes and the pad
    if (dataFirst) { putData(); putFormat(); } else { putFormat(); putData(); }
    return Riff(chunks);
}

Bytes Samples16(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) Put16(out, static_cast<uint16_t>(v));
    return out;
}

Bytes ScaledImage(const Bytes& file, int32_t volume, WaveLayout& layout) {
    layout = ParseWave(file.data(), file.size());
    if (layout.kind == SampleKind::None) return {};
    Bytes image(ScaledImageSize(layout));
    WriteScaledImage(file.data(), layout, volume, image.data());
    return image;
}

// The data chunk of a canonical image: RIFF header, fmt chunk, data chunk.
Bytes DataOf(const Bytes& image) {
    const uint32_t formatSize = image[16] | image[17] << 8;
    const size_t data = 12 + 8 + formatSize + (formatSize & 1u);
    EXPECT_EQ(std::string(image.begin() + long(data), image.begin() + long(data) + 4), "data");
    const uint32_t size = image[data + 4] | image[data + 5] << 8 | image[data + 6] << 16 | uint32_t(image[data + 7]) << 24;
    EXPECT_EQ(data + 8 + size, image.size()) << "the sizes say exactly what is there";
    return Bytes(image.begin() + long(data) + 8, image.end());
}

} // namespace

TEST(WaveImage, ScalesPcmOfEachWidthAndFloatAndLeavesOtherFormatsAlone) {
    float floats[2] = {0.5f, -1.0f};
    Bytes floatBytes(8);
    std::memcpy(floatBytes.data(), floats, 8);
    float halfFloats[2] = {0.25f, -0.5f};
    Bytes halfFloatBytes(8);
    std::memcpy(halfFloatBytes.data(), halfFloats, 8);
    const struct { const char* what; Bytes format; Bytes data; SampleKind kind; Bytes atHalf; } rows[] = {
        {"8-bit", Format(1, 1, 8), {255, 128, 0, 129}, SampleKind::Unsigned8, {191, 128, 64, 128}},
        {"16-bit", Format(1, 1, 16), Samples16({32000, -32768, 1, -1}), SampleKind::Signed16,
         Samples16({16000, -16384, 0, 0})},
        {"24-bit", Format(1, 1, 24), {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80}, SampleKind::Signed24,
         {0xFF, 0xFF, 0x3F, 0x00, 0x00, 0xC0}},
        {"32-bit", Format(1, 1, 32), {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x80}, SampleKind::Signed32,
         {0xFF, 0xFF, 0xFF, 0x3F, 0x00, 0x00, 0x00, 0xC0}},
        {"float", Format(3, 1, 32), floatBytes, SampleKind::Float32, halfFloatBytes},
        {"extensible 16-bit stereo", Format(0xFFFE, 2, 16, 1), Samples16({32000, -32000}), SampleKind::Signed16,
         Samples16({16000, -16000})},
        {"extensible float", Format(0xFFFE, 1, 32, 3), floatBytes, SampleKind::Float32, halfFloatBytes},
        // Formats whose samples are no plain numbers play at their own volume.
        {"ADPCM", Format(2, 1, 4), {1, 2, 3, 4}, SampleKind::None, {}},
        {"mu-law", Format(7, 1, 8), {1, 2}, SampleKind::None, {}},
        {"64-bit float", Format(3, 1, 64), Bytes(16, 1), SampleKind::None, {}},
        {"12-bit PCM", Format(1, 1, 12), Bytes(4, 1), SampleKind::None, {}},
        {"extensible ADPCM", Format(0xFFFE, 1, 16, 2), Samples16({1}), SampleKind::None, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (bool dataFirst : {false, true}) {
            const Bytes file = Wave(row.format, row.data, 0, dataFirst);
            WaveLayout layout;
            const Bytes image = ScaledImage(file, 50, layout);
            EXPECT_EQ(layout.kind, row.kind);
            if (row.kind == SampleKind::None) continue;
            EXPECT_EQ(DataOf(image), row.atHalf);
            EXPECT_EQ(DataOf(ScaledImage(file, 100, layout)), row.data) << "full volume keeps every sample";
            Bytes silent = DataOf(ScaledImage(file, 0, layout));
            if (row.kind == SampleKind::Float32)  // -0.0 is as silent as 0.0
                for (size_t i = 3; i < silent.size(); i += 4) silent[i] &= 0x7F;
            EXPECT_EQ(silent, row.kind == SampleKind::Unsigned8 ? Bytes(row.data.size(), 128) : Bytes(row.data.size(), 0));
            EXPECT_EQ(Bytes(image.begin() + 20, image.begin() + 20 + long(row.format.size())), row.format)
                << "the format as the file has it";
        }
    }
}

TEST(WaveImage, DataCutShortCountsItsWholeFramesAndBrokenFilesAreNotScaled) {
    const Bytes stereo = Format(1, 2, 16);
    // Claims 400 bytes, holds 10: two whole frames of four bytes.
    WaveLayout layout;
    const Bytes image = ScaledImage(Wave(stereo, Samples16({2, 4, 6, 8, 10}), 400), 50, layout);
    EXPECT_EQ(DataOf(image), Samples16({1, 2, 3, 4}));

    Bytes noData = Wave(stereo, {});
    noData.resize(noData.size() - 8);  // drop the data chunk's header
    Bytes shortFormat = Format(1, 1, 16);
    shortFormat.resize(14);
    Bytes badAlign = Format(1, 2, 16);
    badAlign[12] = 3;
    const struct { const char* what; Bytes file; } broken[] = {
        {"empty", {}},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"no data chunk", noData},
        {"format chunk too short", Wave(shortFormat, Samples16({1}))},
        {"block size not the frame", Wave(badAlign, Samples16({1, 2}))},
    };
    for (const auto& row : broken) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ParseWave(row.file.data(), row.file.size()).kind, SampleKind::None);
    }
}

TEST(WaveImage, CuePointIsTheSampleOffsetOrElseThePositionAndMarksOnlyTheFirstStroke) {
    const auto withCue = [](uint32_t position, uint32_t offset, uint32_t claimed = 28) {
        Bytes file = Wave(Format(1, 1, 16), Samples16({1, 2, 3, 4, 5, 6, 7, 8}));
        PutTag(file, "cue ");
        Put32(file, claimed);
        for (uint32_t v : {1u, 1u, position}) Put32(file, v);
        PutTag(file, "data");
        for (uint32_t v : {0u, 0u, offset}) Put32(file, v);
        file[4] = static_cast<uint8_t>(file.size() - 8);
        return file;
    };
    const struct { Bytes file; uint32_t cue, usable; } rows[] = {
        {withCue(3, 5), 5, 5},
        {withCue(3, 0), 3, 3},
        {withCue(9, 0), 9, 0},     // past the stroke's end: not followed
        {withCue(3, 5, 20), 0, 0},  // a chunk too short for one point
        {Wave(Format(1, 1, 16), Samples16({1, 2})), 0, 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const Bytes& file = rows[i].file;
        EXPECT_EQ(FindWaveChunks(file.data(), file.size()).cueFrame, rows[i].cue);
        EXPECT_EQ(UsableMarkFrame(ParseWave(file.data(), file.size()), rows[i].cue), rows[i].usable);
    }
}

// One walk finds the format, the data and the first cue point wherever they
// lie, and the layout is read from what it found.
TEST(WaveImage, OneWalkFindsFormatDataAndTheFirstCuePointInAnyOrder) {
    const Bytes format = Format(1, 1, 16), data = Samples16({1, 2, 3, 4, 5, 6, 7, 8});
    const auto chunk = [](const char* tag, const Bytes& body) {
        Bytes out;
        PutTag(out, tag);
        Put32(out, uint32_t(body.size()));
        Append(out, body);
        if (body.size() % 2 != 0) out.push_back(0);
        return out;
    };
    const auto cue = [&](uint32_t offset, uint32_t points = 1) {
        Bytes body;
        for (uint32_t v : {points, 1u, 0u}) Put32(body, v);
        PutTag(body, "data");
        for (uint32_t v : {0u, 0u, offset}) Put32(body, v);
        return chunk("cue ", body);
    };
    const auto riff = [](std::initializer_list<Bytes> chunks) {
        Bytes body;
        for (const Bytes& c : chunks) Append(body, c);
        return Riff(body);
    };
    const Bytes fmt = chunk("fmt ", format), samples = chunk("data", data), odd = chunk("LIST", {'a', 'b', 'c'});
    const struct { const char* what; Bytes file; uint32_t cue; } rows[] = {
        {"cue first", riff({cue(5), fmt, samples}), 5},
        {"cue between", riff({fmt, cue(3), samples}), 3},
        {"cue after the data", riff({fmt, odd, samples, cue(6)}), 6},
        {"data first, two cues: the first counts", riff({samples, cue(2), fmt, cue(7)}), 2},
        {"a cue chunk without points, then one", riff({fmt, cue(4, 0), samples, cue(1)}), 1},
        {"no cue", riff({odd, fmt, samples}), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Bytes& file = row.file;
        const WaveChunks chunks = FindWaveChunks(file.data(), file.size());
        ASSERT_EQ(chunks.formatSize, format.size());
        EXPECT_EQ(Bytes(file.begin() + long(chunks.formatOffset), file.begin() + long(chunks.formatOffset + 16)), format);
        ASSERT_EQ(chunks.dataSize, data.size());
        EXPECT_EQ(Bytes(file.begin() + long(chunks.dataOffset), file.begin() + long(chunks.dataOffset + 16)), data);
        EXPECT_EQ(chunks.cueFrame, row.cue);
        const WaveLayout layout = ParseWave(file.data(), chunks);
        EXPECT_EQ(layout.kind, SampleKind::Signed16);
        EXPECT_EQ(layout.dataOffset, chunks.dataOffset);
        EXPECT_EQ(layout.dataSize, 16u);
    }
    EXPECT_EQ(FindWaveChunks(riff({cue(5), samples}).data(), riff({cue(5), samples}).size()).formatSize, 0u) << "no format";
}

TEST(WaveImage, StrikeImageStartsAfterSilenceOrWithoutTheFramesAlreadyPast) {
    const Bytes file = Wave(Format(1, 1, 16), Samples16({10, 20, 30}));
    const WaveLayout layout = ParseWave(file.data(), file.size());
    const struct { ImageStart start; int strokes; Bytes data; uint64_t ms; } rows[] = {
        {{2, 0}, 2, Samples16({0, 0, 10, 20, 30, 10, 20, 30}), 1},
        {{0, 2}, 3, Samples16({30, 10, 20, 30, 10, 20, 30}), 1},
        {{0, 0}, 1, Samples16({10, 20, 30}), 1},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        Bytes image(StrokeImageSize(layout, rows[i].strokes, rows[i].start));
        ASSERT_FALSE(image.empty());
        WriteStrokeImage(file.data(), layout, 100, rows[i].strokes, rows[i].start, image.data());
        EXPECT_EQ(DataOf(image), rows[i].data);
        EXPECT_EQ(ImageMilliseconds(layout, rows[i].strokes, rows[i].start), rows[i].ms);
    }
    EXPECT_EQ(StrokeImageSize(layout, 1, {0, 3}), 0u) << "a whole stroke past leaves nothing to play";
    // The silence shortened when the image took time to make: the header moved on.
    Bytes image(StrokeImageSize(layout, 1, {2, 0}));
    WriteStrokeImage(file.data(), layout, 100, 1, {2, 0}, image.data());
    const Bytes later(image.begin() + 2, image.end());
    Bytes moved = later;
    WriteImageHeader(file.data(), layout, ImageDataBytes(layout, 1, {1, 0}), moved.data());
    EXPECT_EQ(DataOf(moved), Samples16({0, 10, 20, 30}));
}

// 64-bit float turned into 16-bit PCM: full scale at 1.0, rounded to the
// nearest, held within range, not a number as silence; the turned file is PCM
// of the same rate and channels, byte for byte as the format lays it out, and
// keeps its cue point.
TEST(WaveTurn, Float64BecomesPcmWithItsCuePoint) {
    const double values[] = {0.0, 0.5, -0.5, 1.0, -1.0, 2.0, -3.0, 100.4 / 32768, -100.6 / 32768, std::nan("")};
    const int expected[] = {0, 16384, -16384, 32767, -32768, 32767, -32768, 100, -101, 0};
    Bytes data;
    for (double v : values) {
        uint8_t bytes[8];
        std::memcpy(bytes, &v, 8);
        Append(data, Bytes(bytes, bytes + 8));
    }
    const Bytes format = Format(3, 2, 64);
    EXPECT_TRUE(IsFloat64(format.data(), uint32_t(format.size())));
    EXPECT_FALSE(IsFloat64(Format(3, 2, 32).data(), 16));
    EXPECT_EQ(ParseWave(Wave(format, data).data(), Wave(format, data).size()).kind, SampleKind::None) << "not scaled as it is";
    const size_t count = std::size(values);
    Bytes turned(TurnedFileSize(count * 2));
    TurnFloat64(data.data(), count, TurnedSamples(turned.data()));
    turned.resize(WriteTurnedFile(2, 22050, count * 2, 3, turned.data()));
    const Bytes header = {'R', 'I', 'F', 'F', 92, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                          1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 0x01, 0, 4, 0, 16, 0,  // 22,050 Hz, 88,200 bytes/s
                          'd', 'a', 't', 'a', 20, 0, 0, 0};
    const Bytes cue = {'c', 'u', 'e', ' ', 28, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0,
                       'd', 'a', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0};
    ASSERT_EQ(turned.size(), header.size() + count * 2 + cue.size());
    EXPECT_EQ(Bytes(turned.begin(), turned.begin() + long(header.size())), header);
    EXPECT_EQ(Bytes(turned.end() - long(cue.size()), turned.end()), cue);
    const WaveLayout layout = ParseWave(turned.data(), turned.size());
    ASSERT_EQ(layout.kind, SampleKind::Signed16);
    EXPECT_EQ(layout.frameRate, 22050u);
    EXPECT_EQ(layout.frameBytes, 4u);
    const WaveChunks chunks = FindWaveChunks(turned.data(), turned.size());
    EXPECT_EQ(chunks.cueFrame, 3u);
    const WaveChunks handed = TurnedChunks(count * 2, 3);
    EXPECT_EQ(std::vector<size_t>({handed.formatOffset, handed.formatSize, handed.dataOffset, handed.dataSize, handed.cueFrame}),
              std::vector<size_t>({chunks.formatOffset, chunks.formatSize, chunks.dataOffset, chunks.dataSize, chunks.cueFrame}))
        << "the turned file's chunks are where they are handed on";
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(int16_t(turned[header.size() + 2 * i] | turned[header.size() + 2 * i + 1] << 8), expected[i]) << i;
}

// WAV formats the module cannot scale (ADPCM, G.711 and whatever else the
// platform has a codec for), decoded into 16-bit PCM by the platform's audio
// compression manager. Its library is loaded from the system folder only while
// a sound needs it and freed again: a user of PCM files never loads it.
#include "sound/SoundSource.h"

#include "sound/WaveTurn.h"
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

namespace tolltone {
namespace {

// Decoded, a sound of at most 16 MiB grows fourfold at most (4-bit ADPCM).
constexpr DWORD LargestDecoded = 64 << 20;

using FormatSuggest = MMRESULT(WINAPI*)(HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, DWORD, DWORD);
using StreamOpen = MMRESULT(WINAPI*)(LPHACMSTREAM, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, LPWAVEFILTER, DWORD_PTR,
                                     DWORD_PTR, DWORD);
using StreamSize = MMRESULT(WINAPI*)(HACMSTREAM, DWORD, LPDWORD, DWORD);
using StreamHeader = MMRESULT(WINAPI*)(HACMSTREAM, LPACMSTREAMHEADER, DWORD);
using StreamClose = MMRESULT(WINAPI*)(HACMSTREAM, DWORD);

struct Codec {
    FormatSuggest suggest;
    StreamOpen open;
    StreamSize size;
    StreamHeader prepare, convert, unprepare;
    StreamClose close;
};

template <class F>
bool Find(HMODULE library, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
    return function != nullptr;
}

bool FindCodec(HMODULE library, Codec& codec) {
    return Find(library, "acmFormatSuggest", codec.suggest) && Find(library, "acmStreamOpen", codec.open) &&
           Find(library, "acmStreamSize", codec.size) && Find(library, "acmStreamPrepareHeader", codec.prepare) &&
           Find(library, "acmStreamConvert", codec.convert) && Find(library, "acmStreamUnprepareHeader", codec.unprepare) &&
           Find(library, "acmStreamClose", codec.close);
}

class Stream {
public:
    Stream(const Codec& codec, LPWAVEFORMATEX from, LPWAVEFORMATEX to) : codec_(codec) {
        if (codec.open(&stream_, nullptr, from, to, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
            stream_ = nullptr;
    }
    ~Stream() {
        if (stream_ != nullptr) codec_.close(stream_, 0);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    HACMSTREAM Get() const { return stream_; }

private:
    const Codec& codec_;
    HACMSTREAM stream_ = nullptr;
};

// Converts source into turned's samples; the bytes written, or 0. A codec may
// take only part of its source per call (cbSrcLengthUsed tells how much): the
// rest is handed to it again until all is used, so a strike gets whole strokes.
// A header's buffers stay where they were prepared, so each call has its own.
DWORD Convert(const Codec& codec, HACMSTREAM stream, const uint8_t* source, DWORD sourceBytes, SoundBytes& turned) {
    DWORD decodedBytes = 0;
    if (codec.size(stream, sourceBytes, &decodedBytes, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || decodedBytes == 0 ||
        decodedBytes > LargestDecoded)
        return 0;
    turned.block = HeapArray<uint8_t>(TurnedFileSize(decodedBytes));
    if (!turned.block) return 0;
    DWORD used = 0, written = 0;
    DWORD flags = ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;
    while (used < sourceBytes && written < decodedBytes) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(source + used);  // only read
        header.cbSrcLength = sourceBytes - used;
        header.pbDst = TurnedSamples(turned.block.get()) + written;
        header.cbDstLength = decodedBytes - written;
        if (codec.prepare(stream, &header, 0) != MMSYSERR_NOERROR) return 0;
        const bool converted = codec.convert(stream, &header, flags) == MMSYSERR_NOERROR;
        header.cbSrcLength = sourceBytes - used;  // as prepared, for the unprepare
        codec.unprepare(stream, &header, 0);
        if (!converted || header.cbSrcLengthUsed > sourceBytes - used || header.cbDstLengthUsed > decodedBytes - written)
            return 0;
        if (header.cbSrcLengthUsed == 0 && header.cbDstLengthUsed == 0) break;  // nothing more it can take
        used += header.cbSrcLengthUsed;
        written += header.cbDstLengthUsed;
        flags = ACM_STREAMCONVERTF_END;
    }
    return written & ~DWORD{1};
}

} // namespace

SoundBytes DecodeWithCodec(const SoundBytes& sound) {
    const WaveChunks& chunks = sound.chunks;
    const uint8_t* const file = sound.block.get();
    if (file == nullptr || chunks.formatSize == 0) return {};
    // The format as the codecs take it: with its extra bytes counted (none for
    // a chunk of 16 bytes).
    alignas(WAVEFORMATEX) uint8_t format[wave_detail::LargestFormatChunk + sizeof(WAVEFORMATEX)] = {};
    std::memcpy(format, file + chunks.formatOffset, chunks.formatSize);
    auto* from = reinterpret_cast<WAVEFORMATEX*>(format);
    const DWORD extra = chunks.formatSize > sizeof(WAVEFORMATEX) ? chunks.formatSize - sizeof(WAVEFORMATEX) : 0;
    if (from->cbSize > extra) from->cbSize = static_cast<WORD>(extra);
    const DWORD sourceBytes = from->nBlockAlign != 0 ? static_cast<DWORD>(chunks.dataSize - chunks.dataSize % from->nBlockAlign) : 0;
    if (sourceBytes == 0) return {};
    const UniqueModule library(::LoadLibraryExW(L"msacm32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    Codec codec{};
    if (!library || !FindCodec(library.Get(), codec)) return {};
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.wBitsPerSample = 16;
    if (codec.suggest(nullptr, from, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) !=
            MMSYSERR_NOERROR ||
        pcm.wFormatTag != WAVE_FORMAT_PCM || pcm.wBitsPerSample != 16 || pcm.nChannels == 0)
        return {};
    SoundBytes turned;
    DWORD decodedBytes = 0;
    {
        const Stream stream(codec, from, &pcm);
        if (stream.Get() != nullptr) decodedBytes = Convert(codec, stream.Get(), file + chunks.dataOffset, sourceBytes, turned);
    }
    if (decodedBytes == 0) return {};
    turned.size = WriteTurnedFile(pcm.nChannels, pcm.nSamplesPerSec, decodedBytes, chunks.cueFrame, turned.block.get());
    turned.chunks = TurnedChunks(decodedBytes, chunks.cueFrame);
    return turned;
}

} // namespace tolltone

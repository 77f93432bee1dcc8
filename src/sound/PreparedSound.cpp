#include "sound/PreparedSound.h"

#include "base/ModuleHeap.h"
#include "base/PlatformLimits.h"
#include "sound/SoundSource.h"
#include "win32/ModuleWorker.h"

#include <windows.h>

#include <utility>

namespace tolltone {
namespace {

// A read that failed (a moment's sharing violation, a scanner holding the file)
// is tried again a second later, while the minute ahead leaves time.
constexpr int ReadAttempts = 8;
constexpr DWORD RetryMs = 1000;
// What was made for a chime a minute ahead serves it; older, it is made again:
// a file that could not be read then, or was replaced since, is read afresh.
constexpr uint64_t FreshForMs = 90'000;

struct Request {
    wchar_t name[PathUnits] = {};
    int strokes = 0;
    int32_t volume = 0;
    uint32_t roomMs = 0;
};

// What a making gave: an image, the bytes of a file the codecs must decode, or
// nothing.
enum class Stage : uint8_t { Making, Ready, NoImage, NeedsCodec };

struct Made {
    Stage stage = Stage::NoImage;
    ChimeImage image;
    SoundBytes file;
};

// Shared by the host's thread and the worker, under the worker's lock. Only the
// host's thread replaces the request and takes the image; the worker makes one
// request at a time and keeps what it made only for the request still wanted.
struct Preparer {
    uint32_t wantedGeneration = 0;
    uint32_t madeGeneration = 0;
    uint64_t wantedAtMs = 0;  // when the request was made (GetTickCount64)
    Request wanted;
    Stage stage = Stage::Making;
    ChimeImage image;         // Ready
    uint8_t* file = nullptr;  // NeedsCodec: the file as read
    size_t fileSize = 0;
    WaveChunks fileChunks;
};

constinit Preparer Slot{};

using worker::Locked;

bool SameName(const wchar_t* a, const wchar_t* b) {
    for (; *a == *b; ++a, ++b)
        if (*a == L'\0') return true;
    return false;
}

bool IsWanted(int strokes, const wchar_t* name, int32_t volume) {
    return Slot.wanted.strokes == strokes && Slot.wanted.volume == volume && SameName(Slot.wanted.name, name);
}

// Under lock: what was made for an earlier request goes.
void DropMade() {
    FreeChimeImage(Slot.image);
    ModuleHeap{}.Free(Slot.file);
    Slot.file = nullptr;
    Slot.fileSize = 0;
}

bool Superseded(uint32_t generation) {
    const Locked locked;
    return worker::Stopping() || generation != Slot.wantedGeneration;
}

Made BuildFrom(const Request& request, SoundRead read, SoundBytes file) {
    Made made;
    if (read == SoundRead::NeedsCodec) {
        made.stage = Stage::NeedsCodec;
        made.file = std::move(file);
    } else if (read == SoundRead::Read &&
               BuildChimeImage(file, request.strokes, request.volume, request.roomMs, made.image)) {
        made.stage = Stage::Ready;
    }
    return made;
}

// Find the file, read it, parse it, make the image: on the worker, a read that
// failed is tried again while the request stands.
Made Make(const Request& request, uint32_t generation, int attempts) {
    for (int attempt = 1;; ++attempt) {
        SoundBytes file;
        const SoundRead read = ReadSoundFile(request.name, file);
        if (read != SoundRead::Unreadable) return BuildFrom(request, read, std::move(file));
        if (attempt >= attempts || Superseded(generation) || !worker::Pause(RetryMs)) return Made{};
    }
}

// Under lock: keeps what was made if its request is still the one wanted.
void Store(Made& made, uint32_t generation) {
    if (worker::Stopping() || generation != Slot.wantedGeneration) {
        FreeChimeImage(made.image);
        return;
    }
    DropMade();
    Slot.stage = made.stage;
    Slot.image = made.image;
    made.image = ChimeImage{};
    Slot.fileSize = made.file.size;
    Slot.fileChunks = made.file.chunks;
    Slot.file = made.file.block.Release();
    Slot.madeGeneration = generation;
}

// The worker's job: the request still wanted, made. False when it is made.
bool MakeWantedSound() {
    Request request;
    uint32_t generation = 0;
    {
        const Locked locked;
        if (worker::Stopping() || Slot.madeGeneration == Slot.wantedGeneration) return false;
        request = Slot.wanted;
        generation = Slot.wantedGeneration;
    }
    Made made = request.name[0] != L'\0' ? Make(request, generation, ReadAttempts) : Made{};
    const Locked locked;
    Store(made, generation);
    return true;
}

// No worker to be had (the system short of threads or events): made here, as
// before there was one, read once.
void MakeHere(const Request& request, uint32_t generation) {
    Made made = Make(request, generation, 1);
    const Locked locked;
    Store(made, generation);
}

// A file only the platform's codecs decode, read by the worker: decoded on the
// host's thread, where loading their libraries is safe.
void DecodeReadFile() {
    SoundBytes file;
    Request request;
    uint32_t generation = 0;
    {
        const Locked locked;
        if (Slot.stage != Stage::NeedsCodec || Slot.madeGeneration != Slot.wantedGeneration) return;
        file.block = HeapArray<uint8_t>::Adopt(Slot.file);
        file.size = Slot.fileSize;
        file.chunks = Slot.fileChunks;
        Slot.file = nullptr;
        Slot.fileSize = 0;
        request = Slot.wanted;
        generation = Slot.wantedGeneration;
    }
    const SoundBytes decoded = DecodeWithCodec(file);
    Made made;
    if (BuildChimeImage(decoded, request.strokes, request.volume, request.roomMs, made.image))
        made.stage = Stage::Ready;
    const Locked locked;
    Store(made, generation);
}

} // namespace

PrepareState PrepareChimeSound(int strokes, const wchar_t* waveName, int32_t volume, uint32_t roomMs, unsigned& markMs) {
    markMs = 0;
    bool replaced = false;
    Request request;
    uint32_t generation = 0;
    const uint64_t now = ::GetTickCount64();
    {
        const Locked locked;
        const bool stale = Slot.madeGeneration == Slot.wantedGeneration && now - Slot.wantedAtMs > FreshForMs;
        if (!IsWanted(strokes, waveName, volume) || stale) {
            Slot.wantedAtMs = now;
            int at = 0;
            for (; at < PathUnits - 1 && waveName[at] != L'\0'; ++at) Slot.wanted.name[at] = waveName[at];
            Slot.wanted.name[at] = L'\0';
            Slot.wanted.strokes = strokes;
            Slot.wanted.volume = volume;
            Slot.wanted.roomMs = roomMs;
            ++Slot.wantedGeneration;
            DropMade();
            Slot.stage = Stage::Making;
            replaced = true;
            request = Slot.wanted;
            generation = Slot.wantedGeneration;
        }
    }
    if (replaced && !worker::Wake(&MakeWantedSound)) MakeHere(request, generation);
    DecodeReadFile();
    const Locked locked;
    if (Slot.madeGeneration != Slot.wantedGeneration) return PrepareState::Pending;
    switch (Slot.stage) {
    case Stage::Ready: markMs = ImageMarkMs(Slot.image); return PrepareState::Ready;
    case Stage::NoImage: return PrepareState::NoImage;
    case Stage::Making:
    case Stage::NeedsCodec: break;
    }
    return PrepareState::Pending;
}

PrepareState PeekChimeSound(int strokes, const wchar_t* waveName, int32_t volume, unsigned& markMs) {
    markMs = 0;
    const Locked locked;
    if (!IsWanted(strokes, waveName, volume) || Slot.madeGeneration != Slot.wantedGeneration) return PrepareState::Pending;
    if (Slot.stage == Stage::NoImage) return PrepareState::NoImage;
    if (Slot.stage != Stage::Ready) return PrepareState::Pending;
    markMs = ImageMarkMs(Slot.image);
    return PrepareState::Ready;
}

ImagePlay PlayPreparedSound(int strokes, const wchar_t* waveName, int32_t volume, uint64_t boundary) {
    ChimeImage image;
    {
        const Locked locked;
        if (!IsWanted(strokes, waveName, volume) || Slot.madeGeneration != Slot.wantedGeneration ||
            Slot.stage != Stage::Ready || (boundary != 0 && !CanLandOnBoundary(Slot.image)))
            return ImagePlay::NoImage;
        image = Slot.image;
        Slot.image = ChimeImage{};
        // Played once: the next chime is made afresh, from the file as it is then.
        Slot.wanted = Request{};
        ++Slot.wantedGeneration;
    }
    return PlayChimeImage(image, boundary);
}

void FreePreparedSounds() {
    DropMade();
    Slot.wanted = Request{};
    Slot.madeGeneration = Slot.wantedGeneration;
}

} // namespace tolltone

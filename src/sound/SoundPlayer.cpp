#include "sound/SoundPlayer.h"

#include <windows.h>
#include <mmsystem.h>

namespace tolltone {
namespace {

// An image handed to the platform, which reads it on a thread of its own for
// as long as it plays; that thread may start late (the audio service starting
// at sign-in, a device switch). Windows names no moment at which the reading
// ends, only calls that stop it: a later sound, or PlaySoundW(NULL). So an
// image is kept until such a call has returned, whatever its length or its
// file's claimed rate. Only the host's thread plays, stops and unloads.
struct KeptImage {
    uint8_t* block = nullptr;
    size_t bytes = 0;
};

// The sound playing and the one taking its place; more only while the platform
// refuses sounds (a refused call may not have stopped the one before). Two of
// the largest strikes fit the bytes.
constexpr int MostKeptImages = 4;
constexpr size_t MostKeptBytes = size_t{128} << 20;
KeptImage Kept[MostKeptImages];

bool SoundLibraryPinned = false;

// A sound plays on the platform's thread, in the sound library's code, also
// after the unload has dropped our import of that library: pinned at the first
// sound, it stays for the process. Not under the loader lock but as a last try.
void PinSoundLibrary() {
    HMODULE soundLibrary = nullptr;
    if (!SoundLibraryPinned)
        SoundLibraryPinned = ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winmm.dll", &soundLibrary) != FALSE;
}

// After a call that stopped them has returned: every image but keep.
void FreeStopped(const KeptImage* keep) {
    for (KeptImage& image : Kept) {
        if (&image == keep || image.block == nullptr) continue;
        ModuleHeap{}.Free(image.block);
        image = KeptImage{};
    }
}

bool AnyKept() {
    for (const KeptImage& image : Kept)
        if (image.block != nullptr) return true;
    return false;
}

// On the host's thread, never under the loader lock: the platform's stop waits
// for its player thread. A stop that failed may not have stopped: kept then.
void StopAndFree() {
    if (::PlaySoundW(nullptr, nullptr, 0) != FALSE) FreeStopped(nullptr);
}

// A free place for an image of bytes, or null. Past the bounds the sound
// playing is stopped first, as the new one would stop it anyway: so there is
// room, and a sound at a volume is never played by name for want of it (nor
// when the stop fails: then it is not played at all).
KeptImage* PlaceFor(size_t bytes) {
    for (int round = 0; round < 2; ++round) {
        KeptImage* free = nullptr;
        size_t kept = 0;
        for (KeptImage& image : Kept) {
            kept += image.bytes;
            if (image.block == nullptr && free == nullptr) free = &image;
        }
        if (free != nullptr && bytes <= MostKeptBytes - kept) return free;
        StopAndFree();
    }
    return nullptr;
}

} // namespace

bool PlayNamedSound(const wchar_t* name, unsigned flags) {
    PinSoundLibrary();
    const bool started = ::PlaySoundW(name, nullptr, flags) != FALSE;
    if (started && (flags & SND_NOSTOP) == 0) FreeStopped(nullptr);
    return started;
}

// The image is kept from before the call: the platform may read it from the
// moment the call begins, also when it then answers FALSE.
bool PlayImageSound(HeapArray<uint8_t> image, size_t bytes, size_t offset) {
    KeptImage* place = image ? PlaceFor(bytes) : nullptr;
    if (place == nullptr) return false;
    PinSoundLibrary();
    *place = KeptImage{image.Release(), bytes};
    const bool started =
        ::PlaySoundW(reinterpret_cast<const wchar_t*>(place->block + offset), nullptr, SND_ASYNC | SND_MEMORY) != FALSE;
    if (started) FreeStopped(place);
    return started;
}

void StopImageSound() {
    if (AnyKept()) StopAndFree();
}

// Runs under the loader lock on the host's thread: at most pins a library that
// is loaded, nothing that loads, waits or stops a sound. Stopping would wait
// for the platform's player thread, which may need the lock we hold. The
// images not yet stopped stay with the process.
void LeaveSoundAtUnload() {
    if (AnyKept()) PinSoundLibrary();
    for (KeptImage& image : Kept) image = KeptImage{};
}

} // namespace tolltone

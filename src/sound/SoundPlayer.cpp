#include "sound/SoundPlayer.h"

#include <windows.h>
#include <mmsystem.h>

namespace tolltone {
namespace {

// An image the platform may still be reading, and the time by which it has
// surely ended, in 100 ns units of the interrupt time without the machine's
// sleeps: a sound does not play on while the machine sleeps, nor does this
// clock run. Only the host's thread plays, stops and unloads.
struct KeptImage {
    uint8_t* block = nullptr;
    size_t bytes = 0;
    ULONGLONG until = 0;
};

// A strike ends within seconds of the next one, so one or two are kept at a
// time; a Test press or two beside them still fit. Two of the largest strikes
// fit the bytes.
constexpr int MostKeptImages = 4;
constexpr size_t MostKeptBytes = size_t{128} << 20;
KeptImage Kept[MostKeptImages];

// The platform opens its device before the first frame and drains its buffers
// after the last; a process's first sound takes up to a second to start.
constexpr ULONGLONG StartAndDrainMs = 3000;
constexpr ULONGLONG UnitsPerMs = 10'000;

bool SoundLibraryPinned = false;

// A sound plays on the platform's thread, in the sound library's code, also
// after the unload has dropped our import of that library: pinned at the first
// sound, it stays for the process. Not under the loader lock but as a last try.
void PinSoundLibrary() {
    HMODULE soundLibrary = nullptr;
    if (!SoundLibraryPinned)
        SoundLibraryPinned = ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winmm.dll", &soundLibrary) != FALSE;
}

// Frees the images whose time has passed; false when the clock cannot be read
// (then nothing is freed).
bool FreeEndedImages(ULONGLONG& now) {
    if (!::QueryUnbiasedInterruptTime(&now)) return false;
    for (KeptImage& image : Kept) {
        if (image.block == nullptr || now < image.until) continue;
        ModuleHeap{}.Free(image.block);
        image = KeptImage{};
    }
    return true;
}

// A free place for an image of bytes, or null past the bounds.
KeptImage* PlaceFor(size_t bytes) {
    ULONGLONG now = 0;
    if (!FreeEndedImages(now)) return nullptr;
    KeptImage* free = nullptr;
    size_t kept = 0;
    for (KeptImage& image : Kept) {
        kept += image.bytes;
        if (image.block == nullptr && free == nullptr) free = &image;
    }
    return bytes <= MostKeptBytes - kept ? free : nullptr;
}

} // namespace

bool PlayNamedSound(const wchar_t* name, unsigned flags) {
    PinSoundLibrary();
    return ::PlaySoundW(name, nullptr, flags) != FALSE;
}

bool RoomForImage(size_t bytes) { return PlaceFor(bytes) != nullptr; }

// The image is kept from before the call: the platform may read it from the
// moment the call begins, also when it then answers FALSE.
bool PlayImageSound(HeapArray<uint8_t> image, size_t bytes, size_t offset, uint64_t milliseconds) {
    KeptImage* place = image ? PlaceFor(bytes) : nullptr;
    ULONGLONG now = 0;
    if (place == nullptr || !::QueryUnbiasedInterruptTime(&now)) return false;
    PinSoundLibrary();
    *place = KeptImage{image.Release(), bytes, now + (milliseconds + StartAndDrainMs) * UnitsPerMs};
    return ::PlaySoundW(reinterpret_cast<const wchar_t*>(place->block + offset), nullptr, SND_ASYNC | SND_MEMORY) != FALSE;
}

// On the host's thread, never under the loader lock: the platform's stop waits
// for its player thread. The image stays kept until its time.
void StopImageSound() {
    ULONGLONG now = 0;
    if (!FreeEndedImages(now)) return;
    for (const KeptImage& image : Kept)
        if (image.block != nullptr) {
            ::PlaySoundW(nullptr, nullptr, 0);
            return;
        }
}

// Runs under the loader lock on the host's thread: frees blocks and at most
// pins a library that is loaded, nothing that loads, waits or stops a sound.
// Stopping would wait for the platform's player thread, which may need the lock
// we hold. The images still in time stay with the process.
void LeaveSoundAtUnload() {
    ULONGLONG now = 0;
    FreeEndedImages(now);
    for (KeptImage& image : Kept) {
        if (image.block != nullptr) PinSoundLibrary();
        image = KeptImage{};
    }
}

} // namespace tolltone

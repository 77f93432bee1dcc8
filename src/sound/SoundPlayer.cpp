#include "sound/SoundPlayer.h"

#include <windows.h>
#include <mmsystem.h>

namespace tolltone {
namespace {

// The image the platform may still be reading, and the tick count by which it
// has surely ended. Only the host's thread plays, stops and unloads.
uint8_t* PlayingImage = nullptr;
ULONGLONG PlayingUntil = 0;

// The platform opens its device before the first frame and drains its buffers
// after the last; a process's first sound takes up to a second to start.
constexpr ULONGLONG StartAndDrainMs = 3000;

void FreePlayingImage() {
    ModuleHeap{}.Free(PlayingImage);
    PlayingImage = nullptr;
}

} // namespace

bool PlayNamedSound(const wchar_t* name, unsigned flags) {
    if (!::PlaySoundW(name, nullptr, flags)) return false;
    FreePlayingImage();  // stopped by the new sound
    return true;
}

bool PlayImageSound(HeapArray<uint8_t> image, size_t offset, uint64_t milliseconds) {
    if (!image || !::PlaySoundW(reinterpret_cast<const wchar_t*>(image.get() + offset), nullptr, SND_ASYNC | SND_MEMORY))
        return false;
    FreePlayingImage();  // stopped by this one
    PlayingImage = image.Release();
    PlayingUntil = ::GetTickCount64() + milliseconds + StartAndDrainMs;
    return true;
}

// On the host's thread, never under the loader lock: the platform's stop waits
// for its player thread.
void StopImageSound() {
    if (PlayingImage == nullptr || ::GetTickCount64() >= PlayingUntil) return;
    if (::PlaySoundW(nullptr, nullptr, 0)) FreePlayingImage();
}

// Runs under the loader lock on the host's thread: frees a block or pins a
// loaded library, nothing that loads, waits or stops a sound. Stopping would
// wait for the platform's player thread, which may need the lock we hold.
void LeaveSoundAtUnload() {
    if (PlayingImage == nullptr) return;
    if (::GetTickCount64() >= PlayingUntil) {
        FreePlayingImage();
        return;
    }
    // The unload drops the module's import of the sound library; the player
    // thread that reads the image runs its code. Pinned, it stays for the
    // process (once, however many loads end mid-sound); the image stays with it.
    HMODULE soundLibrary = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winmm.dll", &soundLibrary);
    PlayingImage = nullptr;
}

} // namespace tolltone

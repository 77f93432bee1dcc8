#include "sound/SoundSource.h"

#include "sound/WaveTurn.h"
#include "win32/UniqueHandle.h"

#include <windows.h>

#include <utility>

namespace tolltone {
namespace {

// A chime is a few seconds; a larger file is played as it is rather than read
// on the host's thread.
constexpr LONGLONG LargestScaledFile = 16 << 20;
constexpr wchar_t SchemeKey[] = L"AppEvents\\Schemes\\Apps\\.Default\\";
constexpr wchar_t CurrentKey[] = L"\\.Current";
constexpr wchar_t DefaultSound[] = L".Default";

// Unreadable: the file is there but an open, its size or its read failed (a
// moment's sharing violation, a scanner, a disk that does not answer); the
// bytes are empty then, as for a file too large.
SoundBytes ReadFileBytes(const wchar_t* name, bool& unreadable) {
    SoundBytes bytes;
    unreadable = false;
    const UniqueKernelHandle file = AdoptFileHandle(::CreateFileW(name, GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        unreadable = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
        return bytes;
    }
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file.Get(), &length)) {
        unreadable = true;
        return bytes;
    }
    if (length.QuadPart <= 0 || length.QuadPart > LargestScaledFile) return bytes;
    HeapArray<uint8_t> block(static_cast<size_t>(length.QuadPart));
    DWORD read = 0;
    if (!block || !::ReadFile(file.Get(), block.get(), static_cast<DWORD>(length.QuadPart), &read, nullptr) ||
        read != static_cast<DWORD>(length.QuadPart)) {
        unreadable = true;
        return bytes;
    }
    bytes.block = std::move(block);
    bytes.size = read;
    return bytes;
}

bool NamesNoFile(const wchar_t* name) {
    if (::GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

// The file an event of the user's sound scheme names, its environment strings
// expanded (RRF_RT_REG_SZ takes an expandable string so); false for a name that
// is no such event (a path never is) or an event without a file.
bool SchemeFile(const wchar_t* name, wchar_t (&file)[MAX_PATH]) {
    wchar_t key[sizeof SchemeKey / 2 + MAX_PATH + sizeof CurrentKey / 2];
    size_t at = 0;
    for (const wchar_t* p = SchemeKey; *p != L'\0';) key[at++] = *p++;
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/' || at >= sizeof SchemeKey / 2 + MAX_PATH) return false;
        key[at++] = *p;
    }
    for (const wchar_t* p = CurrentKey; *p != L'\0';) key[at++] = *p++;
    key[at] = L'\0';
    DWORD bytes = sizeof file;
    return ::RegGetValueW(HKEY_CURRENT_USER, key, nullptr, RRF_RT_REG_SZ, nullptr, file, &bytes) == ERROR_SUCCESS &&
           file[0] != L'\0';
}

// A bare name (no folder) is looked for where the platform's player looks for
// one: the host's folder, the system folders, the current folder, the PATH.
// SearchPathW loads nothing, so the worker may call it.
const wchar_t* Searched(const wchar_t* name, wchar_t (&found)[MAX_PATH]) {
    for (const wchar_t* p = name; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':') return name;
    const DWORD length = ::SearchPathW(nullptr, name, nullptr, MAX_PATH, found, nullptr);
    return length != 0 && length < MAX_PATH ? found : name;
}

SoundBytes TurnFloat64File(const SoundBytes& file) {
    const WaveChunks& chunks = file.chunks;
    const uint8_t* format = file.block.get() + chunks.formatOffset;
    const uint32_t channels = wave_detail::Read16(format + 2);
    const size_t count = chunks.dataSize / (8 * channels) * channels;
    SoundBytes turned;
    turned.block = HeapArray<uint8_t>(TurnedFileSize(count * 2));
    if (!turned.block) return {};
    TurnFloat64(file.block.get() + chunks.dataOffset, count, TurnedSamples(turned.block.get()));
    turned.size = WriteTurnedFile(channels, wave_detail::Read32(format + 4), count * 2, chunks.cueFrame, turned.block.get());
    turned.chunks = TurnedChunks(count * 2, chunks.cueFrame);
    return turned;
}

} // namespace

// As the platform plays a name without SND_FILENAME: an event of the scheme by
// its file, else the file itself (a bare name where the platform finds it),
// else the scheme's default sound.
SoundRead ReadSoundFile(const wchar_t* name, SoundBytes& bytes) {
    bytes = SoundBytes{};
    wchar_t schemeFile[MAX_PATH];
    const bool event = SchemeFile(name, schemeFile);
    wchar_t found[MAX_PATH];
    const wchar_t* const file = event ? schemeFile : Searched(name, found);
    bool unreadable = false;
    bytes = ReadFileBytes(file, unreadable);
    if (unreadable) return SoundRead::Unreadable;
    // Only a name that names no file is the default sound to the platform; a file
    // that is there but too large is its own sound, played by name.
    if (!bytes.block && NamesNoFile(file) && SchemeFile(DefaultSound, schemeFile)) {
        bytes = ReadFileBytes(schemeFile, unreadable);
        if (unreadable) return SoundRead::Unreadable;
    }
    if (!bytes.block) return SoundRead::NoSound;
    bytes.chunks = FindWaveChunks(bytes.block.get(), bytes.size);
    if (bytes.chunks.formatSize == 0) {
        bytes = SoundBytes{};
        return SoundRead::NoSound;
    }
    if (ParseWave(bytes.block.get(), bytes.chunks).kind != SampleKind::None) return SoundRead::Read;
    if (!IsFloat64(bytes.block.get() + bytes.chunks.formatOffset, bytes.chunks.formatSize)) return SoundRead::NeedsCodec;
    bytes = TurnFloat64File(bytes);
    return bytes.block ? SoundRead::Read : SoundRead::NoSound;
}

SoundBytes ReadPlayableSound(const wchar_t* name) {
    SoundBytes bytes;
    const SoundRead read = ReadSoundFile(name, bytes);
    if (read == SoundRead::NeedsCodec) return DecodeWithCodec(bytes);
    return read == SoundRead::Read ? std::move(bytes) : SoundBytes{};
}

} // namespace tolltone

// The module held to what Windows documents where Wine is kinder: a sound call
// that waits alertably, a profile function whose last error says nothing, a
// link that Windows follows but for its attributes and its reparse data, a file
// another program saves while ours flushes. Each layer sits in the module's
// import table; the clock and timers are virtual.
#include "dialog/DialogDriver.h"
#include "support/VirtualSession.h"
#include "support/WaveBytes.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <winioctl.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

constexpr uint32_t StrokeFrames = 800;

// A 16-bit mono PCM WAV of frames frames.
std::string Wave(uint32_t frames) {
    return WaveOf(PcmFormat(), Samples16(frames, [](uint32_t i) { return (i % 50) * 600; }));
}

// A stroke of a 440 Hz tone at a quarter of full scale, 16-bit mono at 22,050 Hz.
constexpr uint32_t ToneFrames = 4096;
// An ADPCM encoder starts at its smallest step and takes some frames to follow.
constexpr size_t AdaptingFrames = 32;
std::vector<int16_t> Tone() {
    std::vector<int16_t> samples(ToneFrames);
    for (uint32_t i = 0; i < ToneFrames; ++i) samples[i] = static_cast<int16_t>(std::lround(8192 * std::sin(i * 0.1254)));
    return samples;
}

// The tone in G.711 (WAVE_FORMAT_MULAW or WAVE_FORMAT_ALAW), encoded here as the
// ITU recommendation does it, not by the platform's codec that the module uses.
std::string G711(WORD tag) {
    const bool mu = tag == WAVE_FORMAT_MULAW;
    std::string format = PcmFormat();
    const WORD fields[2] = {tag, 1};
    const DWORD bytesPerSecond = 22050;
    const WORD align = 1, bits = 8;
    std::memcpy(format.data(), fields, 4), std::memcpy(format.data() + 8, &bytesPerSecond, 4);
    std::memcpy(format.data() + 12, &align, 2), std::memcpy(format.data() + 14, &bits, 2);
    format.append(2, '\0');  // cbSize: every tag but PCM has one
    std::string data;
    for (int16_t sample : Tone()) {
        // 14 bits (mu-law, biased by 33) or 13 bits (A-law) of magnitude; the
        // segment is where its top bit lies, the next four bits its step.
        int value = mu ? sample >> 2 : sample >> 3, mask = mu ? 0xFF : 0xD5;
        if (value < 0) value = mu ? -value : -value - 1, mask = mu ? 0x7F : 0x55;
        if (mu) value = std::min(value, 8159) + 33;
        int segment = 0;
        while (segment < 8 && value >= ((mu ? 0x40 : 0x20) << segment)) ++segment;
        const int step = mu ? value >> (segment + 1) : value >> (segment < 2 ? 1 : segment);
        data += static_cast<char>((segment >= 8 ? 0x7F : segment << 4 | (step & 0x0F)) ^ mask);
    }
    return WaveOf(format, data);
}

// The tone in IMA ADPCM blocks of 505 frames (256 bytes), encoded here as the
// IMA's recommendation does it.
std::string ImaAdpcm() {
    constexpr int16_t Steps[89] = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
        31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
        130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
        544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
        2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
        9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    constexpr int IndexMoves[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    constexpr int Frames = 505;
    std::string format = PcmFormat();
    const WORD fields[2] = {WAVE_FORMAT_IMA_ADPCM, 1}, tail[4] = {256, 4, 2, Frames};
    const DWORD bytesPerSecond = 22050 * 256 / Frames;
    std::memcpy(format.data(), fields, 4), std::memcpy(format.data() + 8, &bytesPerSecond, 4);
    format.resize(12);
    format.append(reinterpret_cast<const char*>(tail), 8);
    const std::vector<int16_t> tone = Tone();
    std::string data;
    int index = 0;
    for (size_t block = 0; (block + 1) * Frames <= tone.size(); ++block) {
        const int16_t* s = tone.data() + block * Frames;
        int predicted = s[0];
        data.append(reinterpret_cast<const char*>(s), 2);
        data += static_cast<char>(index), data += '\0';
        for (int i = 1; i < Frames; ++i) {
            int difference = s[i] - predicted, nibble = difference < 0 ? 8 : 0;
            difference = std::abs(difference);
            int step = Steps[index], reached = step >> 3;
            for (int bit = 4; bit > 0; bit >>= 1, step >>= 1) {
                if (difference < step) continue;
                nibble |= bit, difference -= step, reached += step;
            }
            predicted = std::clamp(predicted + (nibble & 8 ? -reached : reached), -32768, 32767);
            index = std::clamp(index + IndexMoves[nibble & 7], 0, 88);
            if (i % 2 == 1) data += static_cast<char>(nibble);
            else data.back() = static_cast<char>(data.back() | nibble << 4);
        }
    }
    return WaveOf(format, data);
}

// Wine's codec decodes MS ADPCM but does not encode it: blocks of 500 frames,
// each sample the nearest the decoder can reach.
std::string MsAdpcm() {
    constexpr int Adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
    constexpr int16_t Coefficients[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
    std::string format = PcmFormat();
    const WORD header[5] = {WAVE_FORMAT_ADPCM, 1, 0, 0, 0}, tail[5] = {256, 4, 32, 500, 7};
    std::memcpy(format.data(), header, 4);
    const DWORD bytesPerSecond = 22050 * 256 / 500;
    std::memcpy(format.data() + 8, &bytesPerSecond, 4);
    format.resize(12);
    format.append(reinterpret_cast<const char*>(tail), 10).append(reinterpret_cast<const char*>(Coefficients), 28);
    const std::vector<int16_t> tone = Tone();
    std::string data;
    for (size_t block = 0; (block + 1) * 500 <= tone.size(); ++block) {
        const int16_t* s = tone.data() + block * 500;
        int delta = 16, older = s[0], old = s[1];
        const int16_t start[3] = {16, s[1], s[0]};
        data += '\1';  // the predictor 2 * old - older
        data.append(reinterpret_cast<const char*>(start), 6);
        int pending = -1;
        for (int i = 2; i < 500; ++i) {
            const int predicted = 2 * old - older;
            int nibble = static_cast<int>(std::lround(static_cast<double>(s[i] - predicted) / delta));
            nibble = std::clamp(nibble, -8, 7);
            const int sample = std::clamp(predicted + nibble * delta, -32768, 32767);
            older = old, old = sample;
            delta = std::max(16, Adapt[nibble & 15] * delta / 256);
            if (pending < 0) pending = nibble & 15;
            else data += static_cast<char>(pending << 4 | (nibble & 15)), pending = -1;
        }
    }
    return WaveOf(format, data);
}

std::string Float64() {
    std::string format = PcmFormat();
    const WORD tag = WAVE_FORMAT_IEEE_FLOAT, align = 8, bits = 64;
    const DWORD rate = 22050 * 8;
    std::memcpy(format.data(), &tag, 2), std::memcpy(format.data() + 8, &rate, 4);
    std::memcpy(format.data() + 12, &align, 2), std::memcpy(format.data() + 14, &bits, 2);
    std::string data;
    for (int16_t sample : Tone()) {
        const double value = sample / 32768.0;
        data.append(reinterpret_cast<const char*>(&value), 8);
    }
    return WaveOf(format, data);
}

std::string Utf16Le(const std::wstring& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
}

std::string Utf16Be(const std::wstring& text) {
    std::string bytes = "\xFE\xFF";
    for (wchar_t c : text) bytes += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    return bytes;
}

std::string Utf8Marked(const std::wstring& text) {
    std::string bytes(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.pop_back();
    return "\xEF\xBB\xBF" + bytes;
}

std::wstring LinkPath;

// A symbolic link at LinkPath that names LinkedFile. Windows follows it for
// every call but these: its attributes describe the link, and an open with
// FILE_FLAG_OPEN_REPARSE_POINT gets the link itself, whose reparse data is
// LinkData. Wine 8 makes no links.
std::wstring LinkedFile, LinkStandIn;
std::string LinkData;
HANDLE LinkHandle = nullptr;
// A link Windows refuses to follow (a share's link to a local drive): 1463.
DWORD LinkFollowError = 0;

LPCWSTR Followed(LPCWSTR path) { return path != nullptr && LinkPath == path ? LinkedFile.c_str() : path; }

DWORD WINAPI LinkAttributes(LPCWSTR path) {
    return LinkPath == path ? FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT : ::GetFileAttributesW(path);
}

HANDLE WINAPI OpenThroughLink(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                              DWORD flags, HANDLE from) {
    if (LinkPath == path && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)
        return LinkHandle = ::CreateFileW(LinkStandIn.c_str(), access, share, security, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (LinkPath == path && LinkFollowError != 0) {
        ::SetLastError(LinkFollowError);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(Followed(path), access, share, security, disposition, flags, from);
}

BOOL WINAPI LinkControl(HANDLE file, DWORD code, LPVOID in, DWORD inBytes, LPVOID out, DWORD outBytes, LPDWORD bytes,
                        LPOVERLAPPED overlapped) {
    if (file != LinkHandle || code != FSCTL_GET_REPARSE_POINT)
        return ::DeviceIoControl(file, code, in, inBytes, out, outBytes, bytes, overlapped);
    if (LinkData.size() > outBytes) {
        ::SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    std::memcpy(out, LinkData.data(), LinkData.size());
    *bytes = static_cast<DWORD>(LinkData.size());
    return TRUE;
}

// A symbolic link's reparse data as Windows' file systems return it: the
// substitute name, which Windows follows, then the name it shows.
std::string SymbolicLinkData(const std::wstring& substitute, const std::wstring& print, ULONG flags) {
    std::string bytes;
    const auto add = [&](uint32_t value, int size) { bytes.append(reinterpret_cast<const char*>(&value), size); };
    const uint32_t substituteBytes = static_cast<uint32_t>(substitute.size() * 2), printBytes = static_cast<uint32_t>(print.size() * 2);
    add(IO_REPARSE_TAG_SYMLINK, 4), add(12 + substituteBytes + printBytes, 2), add(0, 2);
    add(0, 2), add(substituteBytes, 2), add(substituteBytes, 2), add(printBytes, 2), add(flags, 4);
    bytes.append(reinterpret_cast<const char*>(substitute.c_str()), substituteBytes);
    bytes.append(reinterpret_cast<const char*>(print.c_str()), printBytes);
    return bytes;
}

// Windows reads an image on a thread of its own, which may start late (the
// audio service starting at sign-in, a device switch); it names no moment at
// which the reading ends, only calls that stop it: a later sound, or
// PlaySoundW(NULL). So every image is read here, at any time, until such a call
// has returned, however long ago its own time passed. The module's blocks are
// pages of their own, made unreadable (and never handed out again) when it
// frees them.
struct PlayingImage {
    const BYTE* image;
    size_t bytes;
};
std::vector<PlayingImage> Playing;
std::map<void*, size_t> PageBlocks;
void* SessionSound = nullptr;
void* RealHeapFree = nullptr;
int FreedReads = 0;

bool Readable(const BYTE* at, size_t bytes) {
    for (size_t done = 0; done < bytes;) {
        MEMORY_BASIC_INFORMATION region{};
        if (::VirtualQuery(at + done, &region, sizeof region) == 0 || region.State != MEM_COMMIT ||
            (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
            return false;
        done = static_cast<size_t>(static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - at);
    }
    return true;
}

// Reads every image still playing: a freed one counts.
void ReadPlayingImages() {
    for (const PlayingImage& playing : Playing) {
        if (!Readable(playing.image, playing.bytes)) {
            ++FreedReads;
            continue;
        }
        volatile BYTE sum = 0;
        for (size_t i = 0; i < playing.bytes; i += 512) sum = static_cast<BYTE>(sum + playing.image[i]);
    }
}

BOOL WINAPI SoundThatReadsLate(LPCWSTR sound, HMODULE module, DWORD flags) {
    ReadPlayingImages();  // until the call has returned, what it stops may still be read
    const BOOL started = reinterpret_cast<decltype(&::PlaySoundW)>(SessionSound)(sound, module, flags);
    ReadPlayingImages();
    if (sound == nullptr || (started && (flags & SND_NOSTOP) == 0)) Playing.clear();
    if (started && sound != nullptr && (flags & SND_MEMORY) != 0)
        Playing.push_back({reinterpret_cast<const BYTE*>(sound), VirtualSession::sounds.back().imageDataBytes + 44u});
    return started;
}

LPVOID WINAPI PageAlloc(HANDLE, DWORD, SIZE_T bytes) {
    void* block = ::VirtualAlloc(nullptr, bytes != 0 ? bytes : 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block != nullptr) PageBlocks[block] = bytes;
    return block;
}

BOOL WINAPI PageFree(HANDLE heap, DWORD flags, LPVOID block) {
    const auto found = PageBlocks.find(block);
    if (found == PageBlocks.end()) return reinterpret_cast<decltype(&::HeapFree)>(RealHeapFree)(heap, flags, block);
    DWORD was = 0;
    ::VirtualProtect(block, found->second != 0 ? found->second : 1, PAGE_NOACCESS, &was);
    PageBlocks.erase(found);
    return TRUE;
}

class AsWindowsDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* sub : {L"\\Norvex", L"\\Norvex\\Quiver"}) ::CreateDirectoryW((folder_.Path() + sub).c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(wave_, Wave(StrokeFrames)));
    }
    void TearDown() override {
        module_.Reset();
        for (const wchar_t* name : {L"\\Norvex\\Quiver\\Tolltone.ini", L"\\Norvex\\Quiver", L"\\Norvex"}) {
            ::DeleteFileW((folder_.Path() + name).c_str());
            ::RemoveDirectoryW((folder_.Path() + name).c_str());
        }
        VirtualSession::appData.clear();
        VirtualSession::alertableSound = false;
        LinkPath.clear();
        LinkHandle = nullptr;
        LinkFollowError = 0;
    }

    std::wstring Settings(const wchar_t* signalAndInterval, const wchar_t* more = L"") const {
        return std::wstring(L"[Tolltone]\r\nEnable=1\r\n") + signalAndInterval + L"\r\nTimeType=0\r\nWaveName=" + wave_ +
               L"\r\n" + more + L"[Other]\r\n名前=値 ☃\r\n";
    }

    // Loads the module into a session at the given time with the per-user file;
    // StartModule answers armed (0 while the file waits to be read). patch
    // changes the module's imports before it first runs.
    void Start(int64_t atMs, int armed = 1, void (*patch)(HMODULE) = nullptr) {
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        VirtualSession::Install(module_.Get());
        if (patch != nullptr) patch(module_.Get());
        VirtualSession::appData = folder_.Path();
        VirtualSession::nowMs = atMs;
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(window_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        ASSERT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "StartModule")(), armed);
    }

    // The module's calls see a symbolic link at LinkPath.
    void PatchLink() {
        PatchImport(module_.Get(), "GetFileAttributesW", reinterpret_cast<void*>(&LinkAttributes));
        PatchImport(module_.Get(), "CreateFileW", reinterpret_cast<void*>(&OpenThroughLink));
        PatchImport(module_.Get(), "DeviceIoControl", reinterpret_cast<void*>(&LinkControl));
    }

    TempFolder folder_{L"as-windows"};
    const std::wstring file_ = folder_.Path() + L"\\Norvex\\Quiver\\Tolltone.ini";
    const std::wstring wave_ = folder_.File(L"stroke.wav");
    UniqueWindow window_{::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)};
    UniqueModule module_;
};

} // namespace

// Ten strokes at 10:00, in order, whatever the sound call does while it plays:
// one call, no call inside another, all strokes in it.
TEST_F(AsWindowsDocumentsTest, TheStrikeKeepsItsOrderWhenTheSoundCallWaitsAlertably) {
    ASSERT_TRUE(WriteBytes(file_, Utf16Le(Settings(L"SignalType=1\r\nInterval=3600"))));
    VirtualSession::alertableSound = true;
    Start(VirtualSession::At(9, 59, 58));
    VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
    ::SleepEx(0, TRUE);  // whatever was queued on this thread has run now
    ASSERT_EQ(VirtualSession::sounds.size(), 1u);
    EXPECT_EQ(VirtualSession::sounds[0].flags, static_cast<DWORD>(SND_ASYNC | SND_MEMORY));
    EXPECT_EQ(VirtualSession::Strokes(StrokeFrames * 2), 10);
    EXPECT_EQ(VirtualSession::deepestSound, 1) << "a sound call ran inside another";
}

// A strike that runs past the next chime minute is replaced by that minute's
// whole strike, never mixed with it: one call a minute, one image each.
TEST_F(AsWindowsDocumentsTest, AStrikeDuringAStrikeReplacesIt) {
    const std::wstring long_ = folder_.File(L"long.wav");
    ASSERT_TRUE(WriteBytes(long_, Wave(22050 * 7)));
    std::wstring text = Settings(L"SignalType=1\r\nInterval=60");
    text.replace(text.find(wave_), wave_.size(), long_);
    ASSERT_TRUE(WriteBytes(file_, Utf16Le(text)));
    VirtualSession::alertableSound = true;
    Start(VirtualSession::At(9, 59, 58));
    VirtualSession::RunUntil(VirtualSession::At(10, 1, 5));
    ::SleepEx(0, TRUE);
    ASSERT_EQ(VirtualSession::sounds.size(), 2u);
    for (const SoundCall& call : VirtualSession::sounds) EXPECT_EQ(call.imageDataBytes, 10u * 22050 * 7 * 2);
    EXPECT_EQ(VirtualSession::deepestSound, 1);
}

// A big-endian or UTF-8-marked file reaches the first read as a file Windows
// reads: the user's values are read, kept at the unload, and every other line
// keeps its text.
TEST_F(AsWindowsDocumentsTest, FilesWindowsWouldReadAsGarbageAreTurnedFirst) {
    const std::wstring text = Settings(L"SignalType=0\r\nInterval=1800", L"Volume=40\r\n");
    for (const std::string& bytes : {Utf16Be(text), Utf8Marked(text)}) {
        SCOPED_TRACE(bytes.substr(0, 2) == "\xFE\xFF" ? "big-endian" : "UTF-8 with a mark");
        ASSERT_TRUE(WriteBytes(file_, bytes));
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        VirtualSession::Install(module_.Get());
        VirtualSession::appData = folder_.Path();
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 1);
        module_.Reset();
        const std::string saved = ReadBytes(file_);
        EXPECT_TRUE(saved.rfind("\xFF\xFE", 0) == 0 || saved.find('\0') == std::string::npos) << "one encoding Windows reads";
        const std::wstring read = DecodeProfile(saved);
        for (const wchar_t* line : {L"Interval=1800\r\n", L"Volume=40\r\n", L"[Other]\r\n名前=値 ☃\r\n"})
            EXPECT_NE(read.find(line), std::wstring::npos) << std::string(line, line + std::wcslen(line));
    }
}

// A folder where nothing may be written (a read-only share, a guarded folder):
// no file is made nor copied there.
HANDLE WINAPI OpenOnlyExisting(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                               DWORD flags, HANDLE from) {
    if (disposition != OPEN_EXISTING) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(path, access, share, security, disposition, flags, from);
}
int RefusedCopies = 0;
BOOL WINAPI CopyRefused(LPCWSTR, LPCWSTR, BOOL) {
    ++RefusedCopies;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
void PatchReadOnlyFolder(HMODULE module) {
    PatchImport(module, "CreateFileW", reinterpret_cast<void*>(&OpenOnlyExisting));
    PatchImport(module, "CopyFileW", reinterpret_cast<void*>(&CopyRefused));
}

// An older program wrote ANSI into a UTF-8-marked file: its bytes are no UTF-8.
// Turned, they would become U+FFFD and the name would be lost; the file is read
// as Windows reads it and no start, unload or save rewrites it. Where nothing
// may be written it is read all the same, with no copy tried first.
TEST_F(AsWindowsDocumentsTest, AMarkedFileWithBytesThatAreNoUtf8KeepsThem) {
    // Windows reads the mark into the first section's name: ours comes second.
    const std::string bytes = "\xEF\xBB\xBF[Other]\r\nk=2\r\n[Tolltone]\r\nEnable=1\r\nWaveName=caf\xE9.wav\r\n";
    for (void (*patch)(HMODULE) : {static_cast<void (*)(HMODULE)>(nullptr), &PatchReadOnlyFolder}) {
        SCOPED_TRACE(patch != nullptr ? "a folder where nothing may be written" : "a folder of the user's");
        ASSERT_TRUE(WriteBytes(file_, bytes));
        Start(VirtualSession::At(9, 59, 30), 1, patch);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 1) << "left unread";
        VirtualSession::RunUntil(VirtualSession::At(10, 1, 5));
        module_.Reset();
        EXPECT_EQ(ReadBytes(file_), bytes);
    }
}

// The change check sees an edit of the file a link names, though the link's
// own stamp never changes: Volume=50 written after the start applies at the
// next chime minute.
TEST_F(AsWindowsDocumentsTest, AnEditBehindALinkIsSeen) {
    const std::wstring mine = folder_.File(L"mine.ini"), link = folder_.File(L"link-itself");
    ASSERT_TRUE(WriteBytes(mine, Utf16Le(Settings(L"SignalType=0\r\nInterval=60"))));
    ASSERT_TRUE(WriteBytes(link, ""));
    LinkPath = file_, LinkedFile = mine, LinkStandIn = link, LinkData = SymbolicLinkData(L"\\??\\" + mine, mine, 0);
    module_ = LoadTolltone();
    ASSERT_TRUE(module_);
    VirtualSession::Install(module_.Get());
    VirtualSession::appData = folder_.Path();
    VirtualSession::nowMs = VirtualSession::At(9, 59, 58);
    PatchLink();
    Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(window_.Get());
    Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
    ASSERT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "StartModule")(), 1);
    VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
    ASSERT_EQ(VirtualSession::sounds.size(), 1u);
    EXPECT_FALSE(VirtualSession::sounds[0].name.empty()) << "full volume plays the file by name";
    ::Sleep(20);  // a later write time
    ASSERT_TRUE(::WritePrivateProfileStringW(L"Tolltone", L"Volume", L"50", mine.c_str()));
    // The look made after 10:00's tick came before the edit; the one after
    // 10:01's finds it, and 10:02 applies it.
    VirtualSession::RunUntil(VirtualSession::At(10, 2, 5));
    ASSERT_EQ(VirtualSession::sounds.size(), 3u);
    EXPECT_FALSE(VirtualSession::sounds[1].name.empty()) << "applied before a look found it";
    EXPECT_EQ(VirtualSession::sounds[2].imageDataBytes, StrokeFrames * 2) << "the edit was not seen";
    module_.Reset();
    ::DeleteFileW(mine.c_str()), ::DeleteFileW(link.c_str());
}

// A crash between a save's two renames, on a file system that replaces in two
// steps, leaves a link whose file is gone and the complete copy beside that
// file: the copy is put in its place and read. The link stays a link: the
// unload saves into that file, and makes it again when there was no copy.
// Windows follows the substitute name, whatever the print name says; data
// that holds no whole name leads nowhere.
TEST_F(AsWindowsDocumentsTest, ALinkWhoseFileIsGoneGetsTheCopyBesideThatFile) {
    const std::wstring real = folder_.Path() + L"\\real", mine = real + L"\\mine.ini";
    ASSERT_TRUE(::CreateDirectoryW(real.c_str(), nullptr));
    const std::wstring copy = real + L"\\Tolltone.1a-2b.new";
    const std::string absolute = SymbolicLinkData(L"\\??\\" + mine, mine, 0);
    const struct { std::string data; bool copy, followed; DWORD followError = 0; } rows[] = {
        {absolute, true, true},
        {SymbolicLinkData(L"..\\..\\real\\mine.ini", L"..\\..\\real\\mine.ini", 1), true, true},
        {SymbolicLinkData(mine.substr(2), mine.substr(2), 1), true, true},  // from the root of the link's drive
        {SymbolicLinkData(L"\\??\\" + mine, L"C:\\elsewhere\\mine.ini", 0), true, true},
        {absolute, false, true},
        {absolute.substr(0, 30), true, false},
        {absolute, true, false, ERROR_SYMLINK_CLASS_DISABLED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        if (row.copy) {
            ASSERT_TRUE(WriteBytes(copy, Utf16Le(Settings(L"SignalType=0\r\nInterval=1800"))));
        }
        LinkPath = file_, LinkedFile = mine, LinkStandIn = folder_.Path(), LinkData = row.data;
        LinkFollowError = row.followError;
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        VirtualSession::Install(module_.Get());
        VirtualSession::appData = folder_.Path();
        PatchLink();
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), row.followed && row.copy ? 1 : 0);
        if (!row.followed) {
            // A choice made meanwhile waits for a file of ours: neither OK nor the unload saves it there.
            bool found = false;
            EXPECT_EQ(DriveDialog([&] { return Entry<int(WINAPI*)()>(module_.Get(), "Setting")(); },
                                  [](HWND dialog) {
                                      Control{dialog, 101}.Click();
                                      Control{dialog, 1}.Click();
                                  }, &found),
                      1);
            EXPECT_TRUE(found);
        }
        module_.Reset();
        if (row.followed) {
            EXPECT_EQ(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy was left";
            EXPECT_EQ(::GetFileAttributesW(file_.c_str()), INVALID_FILE_ATTRIBUTES) << "the link was replaced by a file";
            const std::wstring saved = DecodeProfile(ReadBytes(mine));
            EXPECT_NE(saved.find(L"[Tolltone]\r\n"), std::wstring::npos) << "no save through the link";
            if (row.copy) {
                for (const wchar_t* line : {L"Interval=1800\r\n", L"[Other]\r\n名前=値 ☃\r\n"})
                    EXPECT_NE(saved.find(line), std::wstring::npos) << std::string(line, line + std::wcslen(line));
            }
        } else {
            EXPECT_NE(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "a copy taken for no file";
            EXPECT_EQ(::GetFileAttributesW(mine.c_str()), INVALID_FILE_ATTRIBUTES) << "a file made where the link leads not";
            EXPECT_EQ(::GetFileAttributesW(file_.c_str()), INVALID_FILE_ATTRIBUTES) << "the link was replaced by a file";
        }
        for (const std::wstring& left : {copy, mine, file_}) ::DeleteFileW(left.c_str());
    }
    ::RemoveDirectoryW(real.c_str());
}

// A scanner that holds the complete copy (open without delete sharing) when
// the module starts: the copy cannot be moved, and no defaults may take the
// file's place meanwhile, or the copy would never be taken. One it lets read
// is copied into place at the start; one held with no sharing at all is taken
// at the next minute. Either way the module chimes as the copy says, and once
// the user deletes the file to start afresh, the copy never comes back.
TEST_F(AsWindowsDocumentsTest, ACompleteCopyHeldAtTheStartIsTakenOnceItCanBe) {
    const std::wstring copy = folder_.Path() + L"\\Norvex\\Quiver\\Tolltone.1a-2b.new";
    const std::string values = Utf16Le(Settings(L"SignalType=0\r\nInterval=60"));
    const struct { const char* name; DWORD share; bool atStart; } rows[] = {
        {"read shared", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {"no sharing", 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteBytes(copy, values));
        UniqueKernelHandle scanner =
            AdoptFileHandle(::CreateFileW(copy.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(scanner);
        Start(VirtualSession::At(9, 59, 30), row.atStart ? 1 : 0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), row.atStart ? 1 : 0);
        if (row.atStart) {
            EXPECT_EQ(ReadBytes(file_), values) << "the copy's bytes in place";
        } else {
            EXPECT_EQ(::GetFileAttributesW(file_.c_str()), INVALID_FILE_ATTRIBUTES) << "defaults took the copy's place";
        }
        scanner.Reset();
        VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 1);
        EXPECT_EQ(VirtualSession::sounds.size(), 1u) << "the 10:00 chime";
        EXPECT_EQ(ReadBytes(file_), values);
        module_.Reset();
        ASSERT_TRUE(::DeleteFileW(file_.c_str()));
        Start(VirtualSession::At(10, 30, 0), 0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 0) << "the copy came back";
        EXPECT_EQ(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
        module_.Reset();
        ::DeleteFileW(file_.c_str());
        ::DeleteFileW(copy.c_str());
    }
}

// A move that Windows refuses may show the user a notice each time (a folder
// that controlled folder access guards): after the start, the minutes' retries
// come 1, 2, 4 … minutes apart. A copy that a scanner holds for a moment (a
// sharing violation) is no refusal: tried every minute.
int CopyMoves = 0;
bool RefuseCopyMoves = false;
BOOL WINAPI CountedMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (std::wcsstr(from, L".new") == nullptr) return ::MoveFileExW(from, to, flags);
    ++CopyMoves;
    if (!RefuseCopyMoves) return ::MoveFileExW(from, to, flags);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(AsWindowsDocumentsTest, ARefusedMoveOfAHeldCopyIsTriedLessOften) {
    constexpr DWORD NoScanner = ~0u;
    const struct { const char* what; bool refused; DWORD share; bool copyRefused; int moves; } rows[] = {
        {"refused: the start, then 10:00, 10:01, 10:03 and 10:07", true, NoScanner, false, 5},
        {"held with no sharing: the start, then every minute from 10:00 to 10:10", false, 0, false, 12},
        {"held, read shared, its copy refused: as a refusal", false, FILE_SHARE_READ | FILE_SHARE_WRITE, true, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::wstring copy = folder_.Path() + L"\\Norvex\\Quiver\\Tolltone.1a-2b.new";
        ASSERT_TRUE(WriteBytes(copy, Utf16Le(Settings(L"SignalType=0\r\nInterval=60"))));
        UniqueKernelHandle scanner;
        if (row.share != NoScanner)
            scanner = AdoptFileHandle(::CreateFileW(copy.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        VirtualSession::Install(module_.Get());
        VirtualSession::appData = folder_.Path();
        VirtualSession::nowMs = VirtualSession::At(9, 59, 30);
        PatchImport(module_.Get(), "MoveFileExW", reinterpret_cast<void*>(&CountedMove));
        if (row.copyRefused) PatchImport(module_.Get(), "CopyFileW", reinterpret_cast<void*>(&CopyRefused));
        CopyMoves = RefusedCopies = 0;
        RefuseCopyMoves = row.refused;
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(window_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        Entry<int(WINAPI*)()>(module_.Get(), "StartModule")();
        VirtualSession::RunUntil(VirtualSession::At(10, 10, 5));
        EXPECT_EQ(CopyMoves, row.moves);
        if (row.copyRefused) {
            EXPECT_EQ(RefusedCopies, row.moves) << "each held move tried the copy";
        }
        scanner.Reset();
        RefuseCopyMoves = false;
        VirtualSession::RunUntil(VirtualSession::At(10, 15, 5));
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 1) << "taken by 10:15";
        module_.Reset();
        ::DeleteFileW(file_.c_str());
    }
}

// OK in the settings dialog while a crashed save's copy is held keeps the
// choice waiting; with the module disabled its minute's retry still runs, and
// takes the copy once the scanner lets go.
INT_PTR WINAPI PressOk(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM) { return 1; }

TEST_F(AsWindowsDocumentsTest, AChoiceWaitingForAHeldCopyIsRetriedWhileDisabled) {
    const std::wstring copy = folder_.Path() + L"\\Norvex\\Quiver\\Tolltone.1a-2b.new";
    ASSERT_TRUE(WriteBytes(copy, Utf16Le(Settings(L"SignalType=0\r\nInterval=60"))));
    UniqueKernelHandle scanner =
        AdoptFileHandle(::CreateFileW(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(scanner);
    Start(VirtualSession::At(9, 59, 30), 0);
    PatchImport(module_.Get(), "DialogBoxParamW", reinterpret_cast<void*>(&PressOk));
    ASSERT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "Setting")(), 1);
    EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), 0) << "the choice shown: the defaults";
    VirtualSession::RunUntil(VirtualSession::At(10, 1, 30));
    EXPECT_NE(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy is still held";
    scanner.Reset();
    VirtualSession::RunUntil(VirtualSession::At(10, 2, 5));
    EXPECT_EQ(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the retry stopped with the module disabled";
    EXPECT_NE(::GetFileAttributesW(file_.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Windows documents the last error of a call that failed, not of one that
// succeeded: an open or a read of the file that succeeds while another error is
// left behind still read the user's values. A file held without sharing is not
// a missing file: defaults, and nothing saved over it.
DWORD StrayError = 0;
std::wstring StrayOpenPath;
HANDLE WINAPI OpenLeavingAnError(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                 DWORD flags, HANDLE from) {
    const HANDLE file = ::CreateFileW(path, access, share, security, disposition, flags, from);
    if (file != INVALID_HANDLE_VALUE && StrayOpenPath == path) ::SetLastError(StrayError);
    return file;
}
BOOL WINAPI ReadLeavingAnError(HANDLE file, LPVOID out, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped) {
    const BOOL done = ::ReadFile(file, out, bytes, read, overlapped);
    if (done && StrayOpenPath.empty()) ::SetLastError(StrayError);
    return done;
}

TEST_F(AsWindowsDocumentsTest, TheReadStateIsNotTakenFromTheLastError) {
    const std::string values = Utf16Le(Settings(L"SignalType=0\r\nInterval=1800"));
    const struct { const char* name; bool held, strayOnOpen; DWORD error; } rows[] = {
        {"held without sharing", true, false, 0},
        {"opened, not found left", false, true, ERROR_FILE_NOT_FOUND},
        {"opened, access denied left", false, true, ERROR_ACCESS_DENIED},
        {"read, not found left", false, false, ERROR_FILE_NOT_FOUND},
        {"read, sharing violation left", false, false, ERROR_SHARING_VIOLATION},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteBytes(file_, values));
        UniqueKernelHandle holder;
        if (row.held) holder = AdoptFileHandle(::CreateFileW(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        StrayError = row.error, StrayOpenPath = row.strayOnOpen ? file_ : L"";
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        VirtualSession::Install(module_.Get());
        VirtualSession::appData = folder_.Path();
        if (!row.held) {
            PatchImport(module_.Get(), "CreateFileW", reinterpret_cast<void*>(&OpenLeavingAnError));
            PatchImport(module_.Get(), "ReadFile", reinterpret_cast<void*>(&ReadLeavingAnError));
        }
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "IsModuleEnable")(), row.held ? 0 : 1);
        holder.Reset();
        module_.Reset();  // the unload saves what it read, and nothing it did not
        EXPECT_EQ(ReadBytes(file_), values);
    }
}

// A Test press during a strike, a strike that runs past the next one's start,
// a Test sound whose time passed long before the next sound, and an unload
// mid-sound: every image is still there for as long as Windows may read it.
TEST_F(AsWindowsDocumentsTest, AnImageLivesUntilACallThatStopsItHasReturned) {
    const std::wstring long_ = folder_.File(L"long.wav");
    ASSERT_TRUE(WriteBytes(long_, Wave(22050 * 7)));
    std::wstring text = Settings(L"SignalType=1\r\nInterval=60", L"Volume=50\r\n");
    text.replace(text.find(wave_), wave_.size(), long_);
    ASSERT_TRUE(WriteBytes(file_, Utf16Le(text)));
    Playing.clear();
    FreedReads = 0;
    Start(VirtualSession::At(9, 59, 58));
    SessionSound = PatchImport(module_.Get(), "PlaySoundW", reinterpret_cast<void*>(&SoundThatReadsLate));
    PatchImport(module_.Get(), "HeapAlloc", reinterpret_cast<void*>(&PageAlloc));
    RealHeapFree = PatchImport(module_.Get(), "HeapFree", reinterpret_cast<void*>(&PageFree));
    const auto runTo = [](int64_t untilMs) {
        while (VirtualSession::nowMs < untilMs) {
            VirtualSession::RunUntil(VirtualSession::nowMs + 500);
            ReadPlayingImages();
        }
    };
    runTo(VirtualSession::At(10, 0, 20));
    bool found = false;
    DriveDialog([&] { return Entry<int(WINAPI*)()>(module_.Get(), "Setting")(); },
                [](HWND dialog) { Control{dialog, 116}.Click(); }, &found);
    ASSERT_TRUE(found) << "the dialog did not open";
    ASSERT_EQ(Entry<int(WINAPI*)()>(module_.Get(), "StartModule")(), 1);
    runTo(VirtualSession::At(10, 1, 5));
    ASSERT_EQ(VirtualSession::sounds.size(), 3u) << "10:00, the Test press, 10:01";
    EXPECT_EQ(VirtualSession::sounds[1].imageDataBytes, 22050u * 7 * 2) << "the Test press, scaled";
    module_.Reset();
    for (; VirtualSession::nowMs < VirtualSession::At(10, 2, 20); VirtualSession::nowMs += 500) ReadPlayingImages();
    EXPECT_EQ(FreedReads, 0) << "Windows read an image the module had freed";
}

// The platform refusing sounds for a while (a device being switched): a
// refused image may still have been read, so it stays kept, and the kept
// images reach their bound. A chime or a Test press at Volume=50 then plays at
// that volume, never by name at full volume. A file that claims 8 frames a
// second (an hour and a half a stroke) keeps no image longer for that.
int RefusedImages = 0;
BOOL WINAPI SoundRefusedAtFirst(LPCWSTR sound, HMODULE module, DWORD flags) {
    const BOOL started = reinterpret_cast<decltype(&::PlaySoundW)>(SessionSound)(sound, module, flags);
    if (sound == nullptr || (flags & SND_MEMORY) == 0 || RefusedImages == 0) return started;
    --RefusedImages;
    return FALSE;
}

TEST_F(AsWindowsDocumentsTest, NoRoomAmongKeptImagesIsNeverLouder) {
    constexpr uint32_t Frames = 22050 * 2;
    std::string slow = Wave(Frames);
    const uint32_t rate = 8, byteRate = 16;
    std::memcpy(slow.data() + 24, &rate, 4), std::memcpy(slow.data() + 28, &byteRate, 4);
    ASSERT_TRUE(WriteBytes(wave_, slow));
    for (const int refused : {0, 4}) {
        SCOPED_TRACE(refused);
        ASSERT_TRUE(WriteBytes(file_, Utf16Le(Settings(L"SignalType=0\r\nInterval=60", L"Volume=50\r\n"))));
        Start(VirtualSession::At(9, 59, 58));
        SessionSound = PatchImport(module_.Get(), "PlaySoundW", reinterpret_cast<void*>(&SoundRefusedAtFirst));
        RefusedImages = refused;
        VirtualSession::RunUntil(VirtualSession::At(10, 7, 5));
        bool found = false;
        DriveDialog([&] { return Entry<int(WINAPI*)()>(module_.Get(), "Setting")(); },
                    [](HWND dialog) { Control{dialog, 116}.Click(); }, &found);
        ASSERT_TRUE(found) << "the dialog did not open";
        int images = 0;
        for (const SoundCall& call : VirtualSession::sounds) {
            EXPECT_TRUE(call.name.empty()) << "played by name, at full volume, at " << call.atMs;
            if ((call.flags & SND_MEMORY) == 0) continue;  // a stop
            ++images;
            EXPECT_EQ(call.imageDataBytes, Frames * 2);
            EXPECT_EQ(call.peak, 49 * 600 / 2) << "not at Volume=50";
        }
        EXPECT_EQ(images, 9) << "10:00 to 10:07 and the Test press, each at its volume";
        module_.Reset();
    }
}

// A codec may take only part of its source per call and say so in
// cbSrcLengthUsed: this one takes at most half of a source over 1 KiB.
int PartConversions = 0;
MMRESULT WINAPI ConvertPart(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    const DWORD whole = header->cbSrcLength;
    if (whole > 1024) header->cbSrcLength = whole / 2;
    const MMRESULT result = ::acmStreamConvert(stream, header, flags);
    header->cbSrcLength = whole;
    ++PartConversions;
    return result;
}
void* ProcAddressBefore = nullptr;
FARPROC WINAPI ProcAddressOfPartCodec(HMODULE module, LPCSTR name) {
    if (reinterpret_cast<uintptr_t>(name) > 0xFFFF && std::strcmp(name, "acmStreamConvert") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&ConvertPart));
    return reinterpret_cast<decltype(&::GetProcAddress)>(ProcAddressBefore)(module, name);
}
void PatchPartCodec(HMODULE module) {
    ProcAddressBefore = PatchImport(module, "GetProcAddress", reinterpret_cast<void*>(&ProcAddressOfPartCodec));
}

// Ten o'clock strikes ten strokes whatever the hour's sound: each codec the
// platform has (its files encoded here, not by the platform) and 64-bit float decode into one image of ten equal strokes,
// each the PCM tone within a step or two of its codec, also when the codec
// takes its source in parts.
TEST_F(AsWindowsDocumentsTest, EveryFormatThePlatformDecodesStrikesTenEqualStrokes) {
    const std::vector<int16_t> tone = Tone();
    const struct { const char* what; std::string wave; int within; bool inParts = false; } rows[] = {
        {"PCM", WaveOf(PcmFormat(), std::string(reinterpret_cast<const char*>(tone.data()), ToneFrames * 2)), 0},
        {"IMA ADPCM", ImaAdpcm(), 400},
        {"MS ADPCM", MsAdpcm(), 400},
        {"mu-law", G711(WAVE_FORMAT_MULAW), 300},
        {"A-law", G711(WAVE_FORMAT_ALAW), 300},
        {"64-bit float", Float64(), 0},
        {"IMA ADPCM, the codec taking part per call", ImaAdpcm(), 400, true},
        {"MS ADPCM, the codec taking part per call", MsAdpcm(), 400, true},
        {"mu-law, the codec taking part per call", G711(WAVE_FORMAT_MULAW), 300, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(WriteBytes(wave_, row.wave));
        ASSERT_TRUE(WriteBytes(file_, Utf16Le(Settings(L"SignalType=1\r\nInterval=3600"))));
        PartConversions = 0;
        Start(VirtualSession::At(9, 59, 58), 1, row.inParts ? &PatchPartCodec : nullptr);
        VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
        ASSERT_EQ(VirtualSession::sounds.size(), 1u);
        const std::string& image = VirtualSession::sounds[0].data;
        ASSERT_EQ(image.size() % 20, 0u);
        const size_t stroke = image.size() / 10;
        EXPECT_NEAR(static_cast<double>(stroke / 2), ToneFrames, 1024) << "a stroke of the tone's length";
        for (size_t at = stroke; at < image.size(); at += stroke)
            EXPECT_EQ(image.compare(at, stroke, image, 0, stroke), 0) << "stroke " << at / stroke + 1 << " differs";
        int worst = 0;
        for (size_t i = AdaptingFrames; i < stroke / 2 && i < ToneFrames; ++i) {
            int16_t sample = 0;
            std::memcpy(&sample, image.data() + 2 * i, 2);
            worst = std::max(worst, std::abs(sample - tone[i]));
        }
        EXPECT_LE(worst, row.within);
        if (row.inParts) {
            EXPECT_GE(PartConversions, 2) << "the codec was not asked for the rest";
        }
        module_.Reset();
    }
}

// A system sound name strikes its scheme's file (its environment strings
// expanded), a name the platform knows nothing of strikes the default sound's
// file, and a bare file name is looked for where the platform looks (beside
// the host, not only in the current folder): ten strokes each, read as the
// platform would read them. The files differ in length, so a look-up that went
// wrong shows.
TEST_F(AsWindowsDocumentsTest, SoundNamesStrikeTheFilesOfTheUsersScheme) {
    const std::wstring scheme = L"AppEvents\\Schemes\\Apps\\.Default\\";
    ::SetEnvironmentVariableW(L"TOLLTONE_SOUNDS", folder_.Path().c_str());
    const struct { const wchar_t* event; std::wstring file; DWORD type; } entries[] = {
        {L"SystemAsterisk", L"%TOLLTONE_SOUNDS%\\asterisk.wav", REG_EXPAND_SZ},
        {L".Default", wave_, REG_SZ},
    };
    std::vector<std::pair<std::wstring, std::wstring>> before;
    for (const auto& entry : entries) {
        const std::wstring key = scheme + entry.event + L"\\.Current";
        wchar_t was[MAX_PATH] = {};
        DWORD bytes = sizeof was;
        if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, was,
                           &bytes) != 0)
            was[0] = L'\0';
        before.emplace_back(key, was);
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, entry.type, entry.file.c_str(),
                                    static_cast<DWORD>((entry.file.size() + 1) * 2)), 0);
    }
    ASSERT_TRUE(WriteBytes(folder_.File(L"asterisk.wav"), Wave(StrokeFrames / 2)));
    // A file that is there but held without sharing is its own sound, not the
    // default one: it cannot be struck, so the strike does not sound.
    const std::wstring held = folder_.File(L"held.wav");
    ASSERT_TRUE(WriteBytes(held, Wave(StrokeFrames)));
    const UniqueKernelHandle holder = AdoptFileHandle(::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    wchar_t host[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, host, MAX_PATH);
    std::wstring beside = host;
    beside = beside.substr(0, beside.rfind(L'\\') + 1) + L"tolltone-beside-the-host.wav";
    ASSERT_TRUE(WriteBytes(beside, Wave(StrokeFrames * 2)));
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(folder_.Path().c_str());  // the host's folder is not the current one
    const struct { std::wstring name; uint32_t strokeFrames; } rows[] = {
        {L"SystemAsterisk", StrokeFrames / 2},
        {L"NoSuchSoundAnywhere", StrokeFrames},
        {held, 0},
        {L"tolltone-beside-the-host.wav", StrokeFrames * 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name.begin(), row.name.end()));
        std::wstring text = Settings(L"SignalType=1\r\nInterval=3600");
        text.replace(text.find(wave_), wave_.size(), row.name);
        ASSERT_TRUE(WriteBytes(file_, Utf16Le(text)));
        Start(VirtualSession::At(9, 59, 58));
        VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
        if (row.strokeFrames == 0) {
            EXPECT_TRUE(VirtualSession::sounds.empty()) << "struck the default sound";
        } else {
            ASSERT_EQ(VirtualSession::sounds.size(), 1u);
            EXPECT_EQ(VirtualSession::sounds[0].imageDataBytes, 10u * row.strokeFrames * 2) << "ten strokes of its own file";
        }
        module_.Reset();
    }
    ::SetCurrentDirectoryW(current);
    ::DeleteFileW(beside.c_str());
    for (const auto& [key, was] : before) {
        if (was.empty()) ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
        else ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_EXPAND_SZ, was.c_str(), static_cast<DWORD>((was.size() + 1) * 2));
    }
}

// What was made for a chime is made afresh for the next: a file that was no
// sound at 10:00 (a download not finished, a drive not there) strikes 11:00 once
// it is one, and is not taken for "no image" for good.
TEST_F(AsWindowsDocumentsTest, ASoundThatCouldNotBeMadeIsMadeAgainForTheNextChime) {
    const std::string sound = ReadBytes(wave_);
    ASSERT_FALSE(sound.empty());
    ASSERT_TRUE(WriteBytes(wave_, "not a sound yet"));
    ASSERT_TRUE(WriteBytes(file_, Utf16Le(Settings(L"SignalType=1\r\nInterval=3600"))));
    Start(VirtualSession::At(9, 59, 30));
    VirtualSession::RunUntil(VirtualSession::At(10, 0, 5));
    EXPECT_EQ(VirtualSession::Strokes(StrokeFrames * 2), 0) << "no sound, and a strike is never one stroke by name";
    ASSERT_TRUE(WriteBytes(wave_, sound));
    VirtualSession::RunUntil(VirtualSession::At(11, 0, 5));
    EXPECT_EQ(VirtualSession::Strokes(StrokeFrames * 2), 11) << "11:00 struck from the file as it is now";
}

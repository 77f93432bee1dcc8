// The onset host: loads Tolltone.dll (portable, beside this program) as the
// launcher does and puts the module's clock a little before one minute
// boundary after another, so that many boundaries pass in a short run. It
// prints, in QueryPerformanceCounter units, when each boundary came, how long
// the module's timer held the thread per round, and (with a WAV) when each of
// its own plays of that sound was asked for: the sound chain's calibration.
//
//   OnsetHost.exe ROUNDS AHEAD_MS LISTEN_MS STEP_MINUTES [CALIBRATION.wav]
//
// Round N starts AHEAD_MS plus (N * 379) % 1000 ms before its boundary.
// With ONSET_SLOW_MS and ONSET_SLOW_DIR set, every file call of the module on
// that folder (an open, a size, a read, attributes) first waits that long, as
// on a disk spinning up or a share that does not answer; a wait ends early,
// failing with ERROR_OPERATION_ABORTED, when the module cancels its thread's
// I/O, as CancelSynchronousIo documents.
#include "../support/ImportPatch.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr UINT_PTR ChimeTimerId = 5000;
constexpr int64_t UnitsPerSecond = 10'000'000;  // of FILETIME
int64_t ClockOffset = 0;                        // the module's clock less the real one, in FILETIME units

int64_t RealUtc() {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    return static_cast<int64_t>(static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime);
}

FILETIME ToFileTime(int64_t units) { return {static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)}; }

void WINAPI ModulePreciseTime(FILETIME* time) { *time = ToFileTime(RealUtc() + ClockOffset); }

void WINAPI ModuleLocalTime(SYSTEMTIME* local) {
    const FILETIME now = ToFileTime(RealUtc() + ClockOffset);
    SYSTEMTIME utc;
    ::FileTimeToSystemTime(&now, &utc);
    ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, local);
}

// ---- the slow folder ------------------------------------------------------

DWORD SlowMs = 0;
wchar_t SlowDir[MAX_PATH] = {};
HANDLE SlowCancel = nullptr;
std::vector<HANDLE> SlowHandles;  // opened on the slow folder
CRITICAL_SECTION SlowLock;

bool OnSlowFolder(const wchar_t* path) {
    return SlowMs != 0 && path != nullptr && _wcsnicmp(path, SlowDir, wcslen(SlowDir)) == 0;
}

bool IsSlowHandle(HANDLE handle) {
    ::EnterCriticalSection(&SlowLock);
    bool slow = false;
    for (HANDLE h : SlowHandles) slow = slow || h == handle;
    ::LeaveCriticalSection(&SlowLock);
    return slow;
}

// False when the wait was cancelled.
bool WaitLikeADisk() {
    if (::WaitForSingleObject(SlowCancel, SlowMs) != WAIT_OBJECT_0) return true;
    ::ResetEvent(SlowCancel);
    ::SetLastError(ERROR_OPERATION_ABORTED);
    return false;
}

HANDLE WINAPI SlowCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                              DWORD flags, HANDLE pattern) {
    if (!OnSlowFolder(name)) return ::CreateFileW(name, access, share, security, creation, flags, pattern);
    if (!WaitLikeADisk()) return INVALID_HANDLE_VALUE;
    const HANDLE file = ::CreateFileW(name, access, share, security, creation, flags, pattern);
    ::EnterCriticalSection(&SlowLock);
    if (file != INVALID_HANDLE_VALUE) SlowHandles.push_back(file);
    ::LeaveCriticalSection(&SlowLock);
    return file;
}
BOOL WINAPI SlowGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    if (IsSlowHandle(file) && !WaitLikeADisk()) return FALSE;
    return ::GetFileSizeEx(file, size);
}
BOOL WINAPI SlowReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped) {
    if (IsSlowHandle(file) && !WaitLikeADisk()) return FALSE;
    return ::ReadFile(file, buffer, bytes, read, overlapped);
}
DWORD WINAPI SlowGetFileAttributesW(LPCWSTR name) {
    if (OnSlowFolder(name) && !WaitLikeADisk()) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(name);
}
BOOL WINAPI SlowCancelSynchronousIo(HANDLE thread) {
    ::SetEvent(SlowCancel);
    return ::CancelSynchronousIo(thread);
}

void InstallSlowFolder(HMODULE module) {
    wchar_t ms[16] = {};
    if (::GetEnvironmentVariableW(L"ONSET_SLOW_MS", ms, 16) == 0 ||
        ::GetEnvironmentVariableW(L"ONSET_SLOW_DIR", SlowDir, MAX_PATH) == 0)
        return;
    SlowMs = static_cast<DWORD>(_wtoi(ms));
    ::InitializeCriticalSection(&SlowLock);
    SlowCancel = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    using tolltone::fakes::PatchImport;
    PatchImport(module, "CreateFileW", reinterpret_cast<void*>(&SlowCreateFileW));
    PatchImport(module, "GetFileSizeEx", reinterpret_cast<void*>(&SlowGetFileSizeEx));
    PatchImport(module, "ReadFile", reinterpret_cast<void*>(&SlowReadFile));
    PatchImport(module, "GetFileAttributesW", reinterpret_cast<void*>(&SlowGetFileAttributesW));
    PatchImport(module, "CancelSynchronousIo", reinterpret_cast<void*>(&SlowCancelSynchronousIo));
}

// The module looks the precise clock up at run time.
FARPROC WINAPI ModuleGetProcAddress(HMODULE library, const char* name) {
    if (reinterpret_cast<uintptr_t>(name) > 0xFFFF && std::strcmp(name, "GetSystemTimePreciseAsFileTime") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&ModulePreciseTime));
    return ::GetProcAddress(library, name);
}

int64_t Qpc() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t QpcPerSecond() {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// Today's 10:00 local, as UTC.
int64_t TenOClockToday() {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    local.wHour = 10;
    local.wMinute = local.wSecond = local.wMilliseconds = 0;
    SYSTEMTIME utc;
    FILETIME units;
    ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    ::SystemTimeToFileTime(&utc, &units);
    return static_cast<int64_t>(static_cast<uint64_t>(units.dwHighDateTime) << 32 | units.dwLowDateTime);
}

template <class Function>
Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::vector<char> ReadFileBytes(const wchar_t* path) {
    std::vector<char> bytes;
    if (FILE* file = _wfopen(path, L"rb")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(file);
    }
    return bytes;
}

double Milliseconds(int64_t counts) { return static_cast<double>(counts) * 1000.0 / static_cast<double>(QpcPerSecond()); }

double LongestDispatch = 0;  // of the module's timer, in ms, this round

// Runs the host's loop until the counter reaches until; gives the time the
// module's timer messages held the thread in all, in ms.
double PumpUntil(int64_t until, HWND window) {
    double held = 0;
    MSG message;
    while (Qpc() < until) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool chime = message.message == WM_TIMER && message.hwnd == window && message.wParam == ChimeTimerId;
            const int64_t start = Qpc();
            ::DispatchMessageW(&message);
            const double ms = Milliseconds(Qpc() - start);
            if (chime) held += ms;
            if (chime && ms > LongestDispatch) LongestDispatch = ms;
        }
    }
    return held;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const int rounds = _wtoi(argv[1]);
    const int64_t ahead = _wtoi(argv[2]) * (UnitsPerSecond / 1000);
    const int64_t listen = static_cast<int64_t>(_wtoi(argv[3])) * QpcPerSecond() / 1000;
    const int64_t step = static_cast<int64_t>(_wtoi(argv[4])) * 60 * UnitsPerSecond;

    HMODULE module = ::LoadLibraryW(L"Tolltone.dll");
    if (module == nullptr) return 1;
    tolltone::fakes::PatchImport(module, "GetProcAddress", reinterpret_cast<void*>(&ModuleGetProcAddress));
    tolltone::fakes::PatchImport(module, "GetSystemTimeAsFileTime", reinterpret_cast<void*>(&ModulePreciseTime));
    tolltone::fakes::PatchImport(module, "GetLocalTime", reinterpret_cast<void*>(&ModuleLocalTime));
    InstallSlowFolder(module);
    const int64_t first = TenOClockToday();
    ClockOffset = first - ahead - RealUtc();  // for the start-up calls

    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Entry<void(WINAPI*)(HWND)>(module, "SetParentWindow")(window);
    Entry<void(WINAPI*)(int)>(module, "SetPortableMode")(1);
    Entry<int(WINAPI*)(int)>(module, "InitialLoad")(1);
    const auto start = Entry<int(WINAPI*)()>(module, "StartModule");
    const auto stop = Entry<int(WINAPI*)()>(module, "StopModule");
    const double qpcPerUnit = static_cast<double>(QpcPerSecond()) / UnitsPerSecond;
    for (int round = 0; round < rounds; ++round) {
        // Each start falls at another millisecond of its second, as a user's would.
        const int64_t lead = ahead + (round * 379 % 1000) * (UnitsPerSecond / 1000);
        const int64_t boundary = first + round * step;
        const int64_t startUtc = RealUtc();
        ClockOffset = boundary - lead - startUtc;
        const int64_t now = Qpc();
        const int64_t expectedQpc = now + static_cast<int64_t>(static_cast<double>(lead) * qpcPerUnit);
        stop();
        const int64_t starting = Qpc();
        start();
        const double startMs = Milliseconds(Qpc() - starting);
        LongestDispatch = 0;
        const double held = PumpUntil(expectedQpc + listen, window);
        // When the wall clock reached the boundary, on the counter: the two are
        // read again at the round's end, so a wall clock that the system slews
        // (as after a paused virtual machine) is followed, not taken at the
        // counter's rate.
        const int64_t endUtc = RealUtc(), endQpc = Qpc();
        const int64_t boundaryQpc = endUtc > startUtc
            ? now + static_cast<int64_t>(static_cast<double>(lead) * static_cast<double>(endQpc - now) /
                                         static_cast<double>(endUtc - startUtc))
            : expectedQpc;
        std::printf("boundary %d %lld end %lld held %.3f longest %.3f start %.3f\n", round,
                    static_cast<long long>(boundaryQpc), static_cast<long long>(expectedQpc + listen), held,
                    LongestDispatch, startMs);
        std::fflush(stdout);
    }
    stop();
    const int64_t unloading = Qpc();
    ::FreeLibrary(module);
    std::printf("unload %.3f\n", Milliseconds(Qpc() - unloading));
    if (argc > 5) {
        const std::vector<char> sound = ReadFileBytes(argv[5]);
        for (int play = 0; play < 8 && !sound.empty(); ++play) {
            const int64_t asked = Qpc();
            ::PlaySoundW(reinterpret_cast<const wchar_t*>(sound.data()), nullptr, SND_MEMORY | SND_ASYNC);
            std::printf("call %lld\n", static_cast<long long>(asked));
            std::fflush(stdout);
            PumpUntil(asked + QpcPerSecond() / 2, window);
        }
        ::PlaySoundW(nullptr, nullptr, 0);
    }
    std::printf("qpc-per-second %lld\n", static_cast<long long>(QpcPerSecond()));
    return 0;
}

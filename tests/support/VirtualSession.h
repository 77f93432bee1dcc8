#pragma once
// A whole session of the module in a fraction of a second: its clock, its
// timers and its sound call are the host's, through the module's import table.
// The per-user folder and the host's own path can be moved to a folder of the
// test's, so sessions run side by side. Optionally the sound call waits
// alertably, as nothing on Windows promises it will not.
#include "support/ImportPatch.h"
#include "support/WaveBytes.h"

#include <mmsystem.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tolltone::fakes {

struct SoundCall {
    DWORD flags;
    std::wstring name;          // a name, or empty for an image
    uint32_t imageDataBytes;    // an image's data chunk
    uint32_t soundingBytes;     // of it, the 16-bit samples other than silence (0)
    int peak;                   // the loudest of those samples
    int64_t atMs;               // the virtual time of the call
    std::string data;           // an image's data chunk, as it was at the call
};

struct VirtualTimer {
    HWND window;
    UINT_PTR id;
    int64_t dueMs;
    TIMERPROC procedure;
};

class VirtualSession {
public:
    // Virtual time: milliseconds since 2026-12-08 00:00 local, a Tuesday.
    static inline int64_t nowMs = 0;
    static inline std::vector<VirtualTimer> timers;
    static inline std::vector<SoundCall> sounds;
    static inline int soundDepth = 0, deepestSound = 0;  // calls inside a call
    static inline bool alertableSound = false;
    static inline std::wstring appData;     // empty: the real folder
    static inline std::wstring hostPath;    // empty: the real executable

    static int64_t At(int hour, int minute, int second, int ms = 0) {
        return ((hour * 60 + minute) * 60 + second) * 1000LL + ms;
    }

    // Points the module's clock, timer, sound and folder calls at the session.
    static void Install(HMODULE module) {
        nowMs = 0;
        timers.clear();
        sounds.clear();
        soundDepth = deepestSound = 0;
        PatchImport(module, "GetLocalTime", reinterpret_cast<void*>(&LocalTime));
        PatchImport(module, "GetSystemTimeAsFileTime", reinterpret_cast<void*>(&PreciseTime));
        PatchImport(module, "SystemTimeToTzSpecificLocalTime", reinterpret_cast<void*>(&ZoneTime));
        PatchImport(module, "GetTickCount", reinterpret_cast<void*>(&TickCount));
        PatchImport(module, "GetTickCount64", reinterpret_cast<void*>(&TickCount64));
        PatchImport(module, "QueryUnbiasedInterruptTime", reinterpret_cast<void*>(&UnbiasedTime));
        PatchImport(module, "Sleep", reinterpret_cast<void*>(&Sleep));
        PatchImport(module, "SetTimer", reinterpret_cast<void*>(&SetTimer));
        PatchImport(module, "KillTimer", reinterpret_cast<void*>(&KillTimer));
        PatchImport(module, "PlaySoundW", reinterpret_cast<void*>(&PlaySound));
        PatchImport(module, "GetProcAddress", reinterpret_cast<void*>(&ProcAddress));
        PatchImport(module, "SHGetFolderPathW", reinterpret_cast<void*>(&FolderPath));
        PatchImport(module, "GetModuleFileNameW", reinterpret_cast<void*>(&ModuleFileName));
        PatchImport(module, "SubmitThreadpoolWork", reinterpret_cast<void*>(&SubmitAndFinish));
        PatchImport(module, "WaitForSingleObject", reinterpret_cast<void*>(&WaitVirtually));
    }

    // Moves the clock on to untilMs, running every timer that falls due on the
    // way as the host's message loop would.
    static void RunUntil(int64_t untilMs) {
        for (;;) {
            size_t next = timers.size();
            for (size_t i = 0; i < timers.size(); ++i)
                if (timers[i].dueMs <= untilMs && (next == timers.size() || timers[i].dueMs < timers[next].dueMs)) next = i;
            if (next == timers.size()) break;
            const VirtualTimer timer = timers[next];
            if (timer.dueMs > nowMs) nowMs = timer.dueMs;
            timers[next].dueMs = nowMs + 60000;  // a window timer repeats until killed
            timer.procedure(timer.window, WM_TIMER, timer.id, static_cast<DWORD>(nowMs));
        }
        if (untilMs > nowMs) nowMs = untilMs;
    }

    // The strokes in the sound calls: an image's data over the stroke's, a name as one.
    static int Strokes(uint32_t strokeBytes) {
        int strokes = 0;
        for (const SoundCall& call : sounds)
            strokes += call.name.empty() ? static_cast<int>(call.imageDataBytes / strokeBytes) : 1;
        return strokes;
    }

private:
    static void WINAPI LocalTime(SYSTEMTIME* time) {
        const int64_t seconds = nowMs / 1000;
        *time = SYSTEMTIME{2026, 12, static_cast<WORD>((2 + seconds / 86400) % 7), static_cast<WORD>(8 + seconds / 86400),
                           static_cast<WORD>(seconds / 3600 % 24), static_cast<WORD>(seconds / 60 % 60),
                           static_cast<WORD>(seconds % 60), static_cast<WORD>(nowMs % 1000)};
    }
    // The virtual clock's zone is UTC: its local time is its UTC time.
    static void WINAPI PreciseTime(FILETIME* time) {
        SYSTEMTIME local;
        LocalTime(&local);
        ::SystemTimeToFileTime(&local, time);
    }
    static BOOL WINAPI ZoneTime(const TIME_ZONE_INFORMATION*, const SYSTEMTIME* utc, SYSTEMTIME* local) {
        *local = *utc;
        return TRUE;
    }
    static DWORD WINAPI TickCount() { return static_cast<DWORD>(nowMs); }
    static ULONGLONG WINAPI TickCount64() { return static_cast<ULONGLONG>(nowMs); }
    // Awake all along: the count moves with the clock.
    static BOOL WINAPI UnbiasedTime(ULONGLONG* units) {
        *units = static_cast<ULONGLONG>(nowMs) * 10'000;
        return TRUE;
    }
    static void WINAPI Sleep(DWORD ms) { nowMs += ms; }
    // The module's worker runs on a real thread of the pool, done before the
    // host's call returns: in virtual time it takes none.
    static void WINAPI SubmitAndFinish(PTP_WORK work) {
        ::SubmitThreadpoolWork(work);
        ::WaitForThreadpoolWorkCallbacks(work, FALSE);
    }
    // A wait that would time out (the worker's retry of a read) passes in
    // virtual time; the host's thread is held meanwhile, so the clock has one
    // writer at a time.
    static DWORD WINAPI WaitVirtually(HANDLE handle, DWORD ms) {
        const DWORD now = ::WaitForSingleObject(handle, 0);
        if (now != WAIT_TIMEOUT || ms == 0) return now;
        nowMs += ms;
        return WAIT_TIMEOUT;
    }
    static UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
        if (window == nullptr) return 0x8000;  // a thread timer nobody could kill
        KillTimer(window, id);
        timers.push_back({window, id, nowMs + elapse, procedure});
        return id;
    }
    static BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
        for (size_t i = 0; i < timers.size(); ++i)
            if (timers[i].window == window && timers[i].id == id) {
                timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
                return TRUE;
            }
        return FALSE;
    }
    static BOOL WINAPI PlaySound(LPCWSTR sound, HMODULE, DWORD flags) {
        ++soundDepth;
        if (soundDepth > deepestSound) deepestSound = soundDepth;
        SoundCall call{flags, {}, 0, 0, 0, nowMs, {}};
        if (sound != nullptr && (flags & SND_MEMORY) != 0) {
            const auto* image = reinterpret_cast<const BYTE*>(sound);
            const DataChunk data = FindDataChunk(image);
            call.imageDataBytes = data.size;
            call.data.assign(reinterpret_cast<const char*>(image + data.offset), data.size);
            for (uint32_t i = 0; i + 1 < data.size; i += 2) {
                const int sample = static_cast<int16_t>(image[data.offset + i] | image[data.offset + i + 1] << 8);
                if (sample != 0) call.soundingBytes += 2;
                if (sample > call.peak || -sample > call.peak) call.peak = sample < 0 ? -sample : sample;
            }
        } else if (sound != nullptr) {
            call.name = sound;
        }
        sounds.push_back(call);
        // Windows may run queued calls of this thread in here.
        if (alertableSound) ::SleepEx(30, TRUE);
        --soundDepth;
        return TRUE;
    }
    static FARPROC WINAPI ProcAddress(HMODULE module, LPCSTR name) {
        if (reinterpret_cast<uintptr_t>(name) > 0xFFFF && std::strcmp(name, "GetSystemTimePreciseAsFileTime") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&PreciseTime));
        if (reinterpret_cast<uintptr_t>(name) > 0xFFFF && std::strcmp(name, "PlaySoundW") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&PlaySound));
        return ::GetProcAddress(module, name);
    }
    static HRESULT WINAPI FolderPath(HWND window, int folder, HANDLE token, DWORD flags, LPWSTR path) {
        if (appData.empty() || (folder & 0xFF) != CSIDL_APPDATA) return ::SHGetFolderPathW(window, folder, token, flags, path);
        std::wcscpy(path, appData.c_str());
        return S_OK;
    }
    static DWORD WINAPI ModuleFileName(HMODULE module, LPWSTR path, DWORD units) {
        if (module != nullptr || hostPath.empty()) return ::GetModuleFileNameW(module, path, units);
        if (hostPath.size() >= units) return 0;
        std::wcscpy(path, hostPath.c_str());
        return static_cast<DWORD>(hostPath.size());
    }
};

} // namespace tolltone::fakes

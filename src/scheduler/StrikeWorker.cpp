#include "scheduler/StrikeWorker.h"

#include "base/PlatformLimits.h"
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <mmsystem.h>

namespace tolltone {
namespace {

// ntdll's queue of user calls for a thread: routine(argument1, argument2,
// argument3) runs on that thread when it is alerted. Unlike the documented
// QueueUserAPC it passes three arguments, enough for PlaySoundW, HeapFree and
// FreeLibrary, so the worker needs no routine of ours.
using ApcRoutine = void(NTAPI*)(void*, void*, void*);
using QueueApcThread = LONG(NTAPI*)(HANDLE, ApcRoutine, void*, void*, void*);

template <class Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = ::GetModuleHandleW(library);
    return module == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

template <class Function>
ApcRoutine AsApc(Function function) {
    return reinterpret_cast<ApcRoutine>(reinterpret_cast<void*>(function));
}

// sound and flags go to PlaySoundW; block (the process heap's) is freed after
// the last stroke. Takes block over in every case.
bool StartWorker(int strokes, const void* sound, DWORD flags, void* block) {
    const HANDLE heap = ::GetProcessHeap();
    const auto queue = SystemFunction<QueueApcThread>(L"ntdll.dll", "NtQueueApcThread");
    const auto alertTest = SystemFunction<LPTHREAD_START_ROUTINE>(L"ntdll.dll", "NtTestAlert");
    // The worker keeps the sound library loaded for itself: the host may unload
    // this module, and with it the module's own reference, during the strike.
    HMODULE soundLibrary = nullptr;
    if (queue == nullptr || alertTest == nullptr ||
        !::GetModuleHandleExW(0, L"winmm.dll", &soundLibrary)) {
        ::HeapFree(heap, 0, block);
        return false;
    }
    const auto playSound = ::GetProcAddress(soundLibrary, "PlaySoundW");

    // Suspended until every call is queued, so the thread cannot end early.
    const UniqueKernelHandle thread(
        playSound == nullptr ? nullptr : ::CreateThread(nullptr, 4096, alertTest, nullptr, CREATE_SUSPENDED, nullptr));
    bool queued = static_cast<bool>(thread);
    for (int i = 0; queued && i < strokes; ++i)
        queued = queue(thread.Get(), AsApc(playSound), const_cast<void*>(sound), nullptr,
                       reinterpret_cast<void*>(static_cast<ULONG_PTR>(flags))) >= 0;
    queued = queued && queue(thread.Get(), AsApc(&::HeapFree), heap, nullptr, block) >= 0;
    queued = queued && queue(thread.Get(), AsApc(&::FreeLibrary), soundLibrary, nullptr, nullptr) >= 0;
    queued = queued && ::ResumeThread(thread.Get()) != static_cast<DWORD>(-1);
    if (!queued) {
        // A thread that never ran holds nothing; ending it drops what was queued.
        if (thread) {
            ::TerminateThread(thread.Get(), 0);
            ::WaitForSingleObject(thread.Get(), INFINITE);
        }
        ::HeapFree(heap, 0, block);
        ::FreeLibrary(soundLibrary);
        return false;
    }
    return true;
}

} // namespace

bool StartStrikeWorker(int strokes, const wchar_t* waveName) {
    auto* name = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, PathUnits * sizeof(wchar_t)));
    if (name == nullptr) return false;
    for (int i = 0; i < PathUnits - 1 && waveName[i] != L'\0'; ++i) name[i] = waveName[i];
    return StartWorker(strokes, name, SND_SYNC, name);
}

bool StartStrikeWorkerFromImage(int strokes, void* heapImage) {
    return StartWorker(strokes, heapImage, SND_SYNC | SND_MEMORY, heapImage);
}

} // namespace tolltone

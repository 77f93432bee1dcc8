#include "scheduler/StrikeWorker.h"

#include "settings/ChimeSettings.h"

#include <windows.h>
#include <mmsystem.h>
#include <process.h>

#include <new>

namespace tolltone {
namespace {

struct StrikeJob {
    int strokes = 0;
    wchar_t waveName[PathUnits] = {};
    HMODULE self = nullptr;  // the reference that keeps the module mapped
};

unsigned __stdcall StrikeWorkerMain(void* parameter) {
    StrikeJob* job = static_cast<StrikeJob*>(parameter);
    for (int i = 0; i < job->strokes; ++i) ::PlaySoundW(job->waveName, nullptr, SND_SYNC);
    const HMODULE self = job->self;
    delete job;
    ::FreeLibraryAndExitThread(self, 0);
}

} // namespace

bool StartStrikeWorker(int strokes, const wchar_t* waveName) {
    StrikeJob* job = new (std::nothrow) StrikeJob;
    if (job == nullptr) return false;
    job->strokes = strokes;
    for (int i = 0; i < PathUnits - 1 && waveName[i] != L'\0'; ++i) job->waveName[i] = waveName[i];

    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&StrikeWorkerMain), &job->self)) {
        delete job;
        return false;
    }
    const uintptr_t thread = ::_beginthreadex(nullptr, 4096, StrikeWorkerMain, job, 0, nullptr);
    if (thread == 0) {
        ::FreeLibrary(job->self);
        delete job;
        return false;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

} // namespace tolltone

// Loads and unloads the module again and again in one process, as a launcher
// that reloads its modules does, and measures what each cycle keeps: committed
// memory and handles. A module that takes a thread-local slot per load ends
// the process after about 1,088 loads.
//
//   load_cycles.exe CYCLES           checks: every load works, < 0.1 KB by the
//                                    counters and < 1 KB by a walk of committed
//                                    private memory with a list kept past each
//                                    unload, no handle kept (exit code 1 if not)
//   load_cycles.exe CYCLES --report  prints the figures only (benchmarks)
//   load_cycles.exe --churn SECONDS  cycles for that long on the settings file
//                                    beside it and leaves it as saved (one of
//                                    two programs saving one file at once)
#include "strings/QmStrings.h"
#include "support/WinTestSupport.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

struct Usage {
    double committedKb;
    double walkedKb;       // committed private regions, as Windows charges them
    DWORD handles;
    uintptr_t nextHandle;  // the value a new handle gets: it rises when handles are kept
};

// Wine's counters leave out a heap's first commit; a walk of the address space
// sees every committed private page, as Windows counts it.
double WalkedCommittedKb() {
    SIZE_T committed = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const BYTE* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize)
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
    return static_cast<double>(committed) / 1024.0;
}

Usage MeasureUsage() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    DWORD handles = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
    // Wine reports committed memory in PagefileUsage; PrivateUsage stays 0 there.
    const SIZE_T committed = counters.PrivateUsage > counters.PagefileUsage ? counters.PrivateUsage
                                                                            : counters.PagefileUsage;
    // Wine's GetProcessHandleCount says 0; the lowest free handle value tells
    // there too whether handles are kept.
    const HANDLE probe = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const auto nextHandle = reinterpret_cast<uintptr_t>(probe);
    ::CloseHandle(probe);
    return {static_cast<double>(committed) / 1024.0, WalkedCommittedKb(), handles, nextHandle};
}

// One cycle as the launcher drives the module; false when a load or an entry
// point failed.
// Lists a caller keeps past the unload of the load that made them.
std::vector<StrListA> KeptLists;

bool Cycle(const std::wstring& modulePath, HWND window) {
    const UniqueModule module(::LoadLibraryW(modulePath.c_str()));
    if (!module) return false;
    const auto query = Entry<int(WINAPI*)()>(module.Get(), "QueryQVRModule");
    const auto setParent = Entry<void(WINAPI*)(HWND)>(module.Get(), "SetParentWindow");
    const auto initialLoad = Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad");
    const auto start = Entry<int(WINAPI*)()>(module.Get(), "StartModule");
    const auto stop = Entry<int(WINAPI*)()>(module.Get(), "StopModule");
    const auto codeCount = Entry<int(WINAPI*)(const char*, char)>(module.Get(), "QM_GetCodeCountA");
    const auto split = Entry<int(WINAPI*)(const char*, char, StrListA*)>(module.Get(), "QM_StringSplitA");
    const auto release = Entry<void(WINAPI*)(StrListA*)>(module.Get(), "QM_DeleteStrListA");
    if (!query || !setParent || !initialLoad || !start || !stop || !codeCount || !split || !release ||
        query() != 1)
        return false;
    setParent(window);
    initialLoad(1);
    start();
    stop();
    // One list released at once, one kept past the unload: that one may cost
    // its own bytes, nothing more.
    StrListA list{};
    const bool splitOk = split("a,b,c", ',', &list) == 1 && list.Count == 3;
    release(&list);
    StrListA kept{};
    const bool keptOk = split("kept,past,unload", ',', &kept) == 1 && kept.Count == 3;
    if (keptOk) KeptLists.push_back(kept);
    return codeCount("a,b,c", ',') == 2 && splitOk && keptOk;
}

// The kept lists, released through one more load, as a caller that frees them at its end.
void ReleaseKeptLists(const std::wstring& modulePath) {
    const UniqueModule module(::LoadLibraryW(modulePath.c_str()));
    const auto release = Entry<void(WINAPI*)(StrListA*)>(module.Get(), "QM_DeleteStrListA");
    for (StrListA& list : KeptLists) release(&list);
    KeptLists.clear();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--churn") == 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
        int failed = 0;
        while (std::chrono::steady_clock::now() < until) failed += Cycle(ModulePath(), nullptr) ? 0 : 1;
        return failed == 0 ? 0 : 1;
    }
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 3000;
    const bool reportOnly = argc > 2 && std::strcmp(argv[2], "--report") == 0;
    const std::wstring modulePath = ModulePath();
    const std::wstring settingsFile = ExecutableDirectory() + L"\\Tolltone.ini";
    const bool hadSettings = FileExists(settingsFile);
    const std::string savedSettings = ReadBytes(settingsFile);
    const UniqueWindow window(
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));

    // A launcher has the system libraries that the module imports loaded already
    // (its window, shell and sound need them); without this each cycle would
    // measure the platform loading and unloading them, not the module.
    for (const wchar_t* library : {L"user32.dll", L"advapi32.dll", L"shell32.dll", L"shlwapi.dll", L"comdlg32.dll",
                                   L"winmm.dll", L"msvcrt.dll"})
        ::LoadLibraryW(library);
    // The first cycles fill caches.
    constexpr int WarmUp = 20;
    for (int i = 0; i < WarmUp; ++i) Cycle(modulePath, window.Get());
    ReleaseKeptLists(modulePath);
    KeptLists.reserve(static_cast<size_t>(cycles));
    const Usage before = MeasureUsage();
    const auto started = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < cycles; ++i)
        if (!Cycle(modulePath, window.Get())) ++failed;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Usage held = MeasureUsage();
    ReleaseKeptLists(modulePath);
    const Usage after = MeasureUsage();

    if (hadSettings) WriteBytes(settingsFile, savedSettings);
    else ::DeleteFileW(settingsFile.c_str());

    const double keptKbPerCycle = (after.committedKb - before.committedKb) / cycles;
    const double walkedKbPerCycle = (held.walkedKb - before.walkedKb) / cycles;
    const double handlesPerCycle = (static_cast<double>(after.handles) - before.handles) / cycles;
    std::printf("load cycles: %d, failed: %d, %.3f ms a cycle\n", cycles, failed, seconds * 1000.0 / cycles);
    std::printf("committed memory: %.0f KB -> %.0f KB, %.4f KB kept a cycle\n", before.committedKb,
                after.committedKb, keptKbPerCycle);
    std::printf("committed private regions: %.0f KB -> %.0f KB, %.4f KB kept a cycle (one list kept past each unload)\n",
                before.walkedKb, held.walkedKb, walkedKbPerCycle);
    std::printf("handles: %lu -> %lu, %.4f kept a cycle; next handle value 0x%llx -> 0x%llx\n", before.handles,
                after.handles, handlesPerCycle, static_cast<unsigned long long>(before.nextHandle),
                static_cast<unsigned long long>(after.nextHandle));
    if (reportOnly) return 0;

    const bool ok = failed == 0 && keptKbPerCycle < 0.1 && walkedKbPerCycle < 1.0 && after.handles <= before.handles &&
                    after.nextHandle <= before.nextHandle;
    std::printf("%s\n", ok ? "PASS" : "FAIL: a failed load, or memory or handles kept by the cycles");
    return ok ? 0 : 1;
}

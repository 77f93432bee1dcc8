// Sample host: loads Tolltone.dll as the launcher does, drives its entry points
// in the launcher's order and runs a message loop until told to stop.
//
//   SampleHost.exe [--module PATH] [--portable 0|1] [--seconds N]
//                  [--unload-at HH:MM:SS] [--keep-loaded] [--settings-path] [--setting]
//                  [--no-parent] [--press ID]
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

using namespace tolltone;

namespace {

constexpr UINT_PTR ChimeTimerId = 5000;  // the module's timer on the host window

struct Options {
    std::wstring modulePath;
    int portable = 0;
    int seconds = 0;            // 0 = until the window is closed
    int unloadAtSecondOfDay = -1;
    bool keepLoaded = false;    // end the process with the module still loaded
    bool settingsPathOnly = false;
    bool openSetting = false;   // open the settings dialog after StartModule
    bool noParent = false;      // never call SetParentWindow (a careless launcher)
    int pressId = 0;            // a button of the open settings dialog pressed as a user would
};

struct EntryPoints {
    int(WINAPI* QueryQVRModule)() = nullptr;
    void(WINAPI* SetParentWindow)(HWND) = nullptr;
    int(WINAPI* IsModuleEnable)() = nullptr;
    int(WINAPI* GetTitleName)(wchar_t*) = nullptr;
    int(WINAPI* Setting)() = nullptr;
    int(WINAPI* StartModule)() = nullptr;
    int(WINAPI* StopModule)() = nullptr;
    void(WINAPI* SetPortableMode)(int) = nullptr;
    int(WINAPI* InitialLoad)(int) = nullptr;
};

void Print(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
    std::fflush(stdout);
}

std::wstring ExecutableDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    return directory.substr(0, directory.find_last_of(L'\\'));
}

int ParseClock(const wchar_t* text) {
    int h = 0, m = 0, s = 0;
    if (std::swscanf(text, L"%d:%d:%d", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    options.modulePath = ExecutableDirectory() + L"\\Tolltone.dll";
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--module" && hasValue) options.modulePath = argv[++i];
        else if (arg == L"--portable" && hasValue) options.portable = _wtoi(argv[++i]);
        else if (arg == L"--seconds" && hasValue) options.seconds = _wtoi(argv[++i]);
        else if (arg == L"--unload-at" && hasValue) options.unloadAtSecondOfDay = ParseClock(argv[++i]);
        else if (arg == L"--keep-loaded") options.keepLoaded = true;
        else if (arg == L"--settings-path") options.settingsPathOnly = true;
        else if (arg == L"--setting") options.openSetting = true;
        else if (arg == L"--no-parent") options.noParent = true;
        else if (arg == L"--press" && hasValue) options.pressId = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        else return false;
    }
    return true;
}

// Presses button id of the settings dialog once it shows (for a picture of the
// dialog it opens), from a thread of its own: Setting holds this one.
struct PressRequest {
    DWORD thread;
    int id;
};

DWORD WINAPI PressButton(void* parameter) {
    const PressRequest request = *static_cast<PressRequest*>(parameter);
    delete static_cast<PressRequest*>(parameter);
    for (int tries = 0; tries < 500; ++tries, ::Sleep(20)) {
        HWND found = nullptr;
        ::EnumThreadWindows(request.thread, [](HWND window, LPARAM out) -> BOOL {
            wchar_t text[32] = {};
            ::GetWindowTextW(window, text, 32);
            if (std::wcscmp(text, L"時報モジュール") != 0 || !::IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&found));
        if (found == nullptr) continue;
        ::PostMessageW(::GetDlgItem(found, request.id), BM_CLICK, 0, 0);
        return 0;
    }
    return 1;
}

void PressWhenShown(int id) {
    auto* request = new PressRequest{::GetCurrentThreadId(), id};
    const HANDLE thread = ::CreateThread(nullptr, 0, PressButton, request, 0, nullptr);
    if (thread != nullptr) ::CloseHandle(thread);
    else delete request;
}

// Where the module keeps its settings in each mode. The per-user folder belongs
// to the launcher, which creates it; so does this host.
std::wstring SettingsFileFor(int portable) {
    if (portable != 0) return ExecutableDirectory() + L"\\Tolltone.ini";
    wchar_t appData[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    const std::wstring maker = std::wstring(appData) + L"\\Norvex";
    const std::wstring host = maker + L"\\Quiver";
    ::CreateDirectoryW(maker.c_str(), nullptr);
    ::CreateDirectoryW(host.c_str(), nullptr);
    return host + L"\\Tolltone.ini";
}

template <class Function>
void Bind(HMODULE module, const char* name, Function& target) {
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (target == nullptr) Print(L"Entry point missing: " + std::wstring(name, name + std::strlen(name)));
}

EntryPoints BindEntryPoints(HMODULE module) {
    EntryPoints e;
    Bind(module, "QueryQVRModule", e.QueryQVRModule);
    Bind(module, "SetParentWindow", e.SetParentWindow);
    Bind(module, "IsModuleEnable", e.IsModuleEnable);
    Bind(module, "GetTitleName", e.GetTitleName);
    Bind(module, "Setting", e.Setting);
    Bind(module, "StartModule", e.StartModule);
    Bind(module, "StopModule", e.StopModule);
    Bind(module, "SetPortableMode", e.SetPortableMode);
    Bind(module, "InitialLoad", e.InitialLoad);
    return e;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window as the launcher has; without a display (Wine makes no
// top-level windows then) a message-only window still carries the timers.
UniqueWindow CreateHostWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuiverSampleHost";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Quiver sample host",
                                    WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360, 120,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window != nullptr) {
        Print(L"Parent window: top-level");
        return UniqueWindow(window);
    }
    window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    Print(L"Parent window: message-only (no display)");
    return UniqueWindow(window);
}

std::wstring ClockText() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

int SecondOfDay() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
}

void Unload(UniqueModule& module, const std::wstring& path) {
    module.Reset();
    const bool stillMapped = ::GetModuleHandleW(path.c_str()) != nullptr;
    Print(L"Unloaded at " + ClockText() + L"; module still mapped: " + (stillMapped ? L"yes" : L"no"));
}

void RunMessageLoop(HWND window, const Options& options, UniqueModule& module) {
    constexpr UINT_PTR HostTimerId = 1;
    ::SetTimer(window, HostTimerId, 100, nullptr);
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(options.seconds) * 1000u;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == window && message.wParam == HostTimerId) {
            if (options.unloadAtSecondOfDay >= 0 && module && SecondOfDay() >= options.unloadAtSecondOfDay)
                Unload(module, options.modulePath);
            if (options.seconds > 0 && ::GetTickCount64() >= deadline) break;
            continue;
        }
        // The launcher's loop sees the module's timer before the module does.
        if (message.message == WM_TIMER && message.hwnd == window && message.wParam == ChimeTimerId)
            Print(L"Chime timer fired at " + ClockText());
        // A timer without a window (the host set none): only a module can have made it.
        if (message.message == WM_TIMER && message.hwnd == nullptr)
            Print(L"Thread timer fired at " + ClockText() + (module ? L"" : L" after the unload"));
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::KillTimer(window, HostTimerId);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Print(L"usage: SampleHost.exe [--module PATH] [--portable 0|1] [--seconds N] "
              L"[--unload-at HH:MM:SS] [--keep-loaded] [--settings-path] [--setting] [--no-parent]");
        return 2;
    }
    const std::wstring settingsFile = SettingsFileFor(options.portable);
    if (options.settingsPathOnly) {
        Print(settingsFile);
        return 0;
    }

    UniqueModule module(::LoadLibraryW(options.modulePath.c_str()));
    if (!module) {
        Print(L"Cannot load " + options.modulePath);
        return 1;
    }
    Print(L"Module: " + options.modulePath);
    const EntryPoints entry = BindEntryPoints(module.Get());
    if (!entry.QueryQVRModule || entry.QueryQVRModule() != 1) {
        Print(L"Not a launcher module");
        return 1;
    }
    if (entry.GetTitleName) {
        wchar_t title[80] = {};
        entry.GetTitleName(title);
        Print(L"Title: " + std::wstring(title));
    }

    UniqueWindow window = CreateHostWindow();
    if (entry.SetParentWindow && !options.noParent) entry.SetParentWindow(window.Get());
    Print(L"Settings file: " + settingsFile);
    if (entry.SetPortableMode) entry.SetPortableMode(options.portable);
    if (entry.InitialLoad) Print(L"InitialLoad: " + std::to_wstring(entry.InitialLoad(options.portable)));
    if (entry.IsModuleEnable) Print(L"IsModuleEnable: " + std::to_wstring(entry.IsModuleEnable()));
    if (entry.StartModule) Print(L"StartModule at " + ClockText() + L": " + std::to_wstring(entry.StartModule()));
    if (options.openSetting && entry.Setting) {
        if (options.pressId != 0) PressWhenShown(options.pressId);
        Print(L"Setting opened");
        Print(L"Setting: " + std::to_wstring(entry.Setting()) + L"; IsModuleEnable: " +
              std::to_wstring(entry.IsModuleEnable ? entry.IsModuleEnable() : 0));
    }

    RunMessageLoop(window.Get(), options, module);

    if (options.keepLoaded) {
        Print(L"Exit with the module loaded at " + ClockText());
        std::fflush(stdout);
        ::ExitProcess(0);
    }
    if (module) Unload(module, options.modulePath);
    // An unloaded module must leave no timer behind on the host's window (the
    // platform swallows the fault of a timer callback that is gone, so nothing
    // else would show it).
    Print(std::wstring(L"Chime timer left behind: ") + (::KillTimer(window.Get(), ChimeTimerId) ? L"yes" : L"no"));
    Print(L"Exit at " + ClockText());
    return 0;
}

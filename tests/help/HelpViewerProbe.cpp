// Opens a help file in the platform's viewer (hh.exe) and reports what a user
// sees of it without reading a page: the window title and the number of entries
// in the contents tree. Ends the viewer afterwards.
//   HelpViewerProbe.exe HELP_FILE
#include "win32/UniqueHandle.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

using namespace tolltone;

namespace {

struct ViewerWindow {
    DWORD processId;
    HWND window = nullptr;
    HWND tree = nullptr;
};

BOOL CALLBACK FindTree(HWND child, LPARAM state) {
    wchar_t className[32] = {};
    ::GetClassNameW(child, className, 32);
    if (std::wstring(className) != L"SysTreeView32") return TRUE;
    reinterpret_cast<ViewerWindow*>(state)->tree = child;
    return FALSE;
}

BOOL CALLBACK FindViewer(HWND window, LPARAM state) {
    auto* viewer = reinterpret_cast<ViewerWindow*>(state);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != viewer->processId || !::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    viewer->window = window;
    ::EnumChildWindows(window, FindTree, state);
    return FALSE;
}

void PrintUtf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(windows) + L"\\hh.exe\" \"" + argv[1] + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("cannot start the viewer: %lu\n", ::GetLastError());
        return 1;
    }
    const UniqueKernelHandle viewerProcess(process.hProcess), viewerThread(process.hThread);

    // The contents tree fills after the window appears: wait for its entries.
    ViewerWindow viewer{process.dwProcessId};
    int entries = 0;
    for (int waited = 0; waited < 30000 && entries == 0; waited += 100) {
        ::Sleep(100);
        viewer = ViewerWindow{process.dwProcessId};
        ::EnumWindows(FindViewer, reinterpret_cast<LPARAM>(&viewer));
        if (viewer.tree != nullptr) entries = static_cast<int>(::SendMessageW(viewer.tree, TVM_GETCOUNT, 0, 0));
    }
    wchar_t title[256] = {};
    if (viewer.window != nullptr) ::GetWindowTextW(viewer.window, title, 256);
    PrintUtf8(L"Title: " + std::wstring(title));
    std::printf("Contents entries: %d\n", entries);
    ::TerminateProcess(viewerProcess.Get(), 0);
    ::WaitForSingleObject(viewerProcess.Get(), 10000);
    return viewer.window != nullptr ? 0 : 1;
}

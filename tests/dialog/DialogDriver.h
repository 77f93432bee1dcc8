#pragma once
// Drives the real settings dialog as a user would: Setting() runs on the test's
// thread (where the dialog is modal), a script runs on a second thread with the
// dialog's window, reads control states and clicks, types and closes.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>

namespace tolltone::fakes {

// Whether the run gives windows a display: always on Windows; under Wine when
// the run has an X display (the test script starts Xvfb). Where it does, a
// window that cannot be made is a failure, not a skip that counts as a pass.
inline bool DisplayExpected() {
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    wchar_t display[64];
    return !wine || ::GetEnvironmentVariableW(L"DISPLAY", display, 64) > 0;
}

inline HWND FindDialogOf(DWORD threadId, const wchar_t* caption, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        struct Search { const wchar_t* caption; HWND found; } search{caption, nullptr};
        ::EnumThreadWindows(threadId, [](HWND window, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t text[128] = {}, cls[16] = {};
            ::GetWindowTextW(window, text, 128);
            ::GetClassNameW(window, cls, 16);
            if (std::wstring(cls) == L"#32770" && std::wstring(text) == s->caption && ::IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        }, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        ::Sleep(20);
    }
    return nullptr;
}

// Runs run() on this thread while script(dialog) runs on another; closes the
// dialog with Cancel if the script left it open. Returns run()'s result.
inline int DriveDialog(const std::function<int()>& run, const std::function<void(HWND)>& script,
                       bool* found = nullptr) {
    const DWORD threadId = ::GetCurrentThreadId();
    std::thread driver([&] {
        const HWND dialog = FindDialogOf(threadId, L"時報モジュール");
        if (found != nullptr) *found = dialog != nullptr;
        if (dialog == nullptr) return;
        script(dialog);
        if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const int result = run();
    driver.join();
    return result;
}

// Clicks button of owner, which opens a modal dialog captioned caption, and runs
// script with that dialog; closes it with Cancel if the script left it open.
// False when no such dialog appeared.
inline bool DriveNestedDialog(HWND owner, int button, const wchar_t* caption, const std::function<void(HWND)>& script) {
    const DWORD threadId = ::GetWindowThreadProcessId(owner, nullptr);
    std::thread click([&] { ::SendMessageW(::GetDlgItem(owner, button), BM_CLICK, 0, 0); });  // returns when it closes
    const HWND nested = FindDialogOf(threadId, caption, 3000);
    if (nested != nullptr) {
        script(nested);
        if (::IsWindow(nested)) ::PostMessageW(nested, WM_COMMAND, IDCANCEL, 0);
    }
    click.join();
    return nested != nullptr;
}

// The window that has the keyboard focus in thread's windows.
inline HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

struct Control {
    HWND dialog;
    int id;
    HWND Window() const { return ::GetDlgItem(dialog, id); }
    bool Enabled() const { return ::IsWindowEnabled(Window()) != FALSE; }
    bool Checked() const { return ::SendMessageW(Window(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click() const { ::SendMessageW(Window(), BM_CLICK, 0, 0); }
    int Count() const { return static_cast<int>(::SendMessageW(Window(), CB_GETCOUNT, 0, 0)); }
    int Selection() const { return static_cast<int>(::SendMessageW(Window(), CB_GETCURSEL, 0, 0)); }
    void Select(int row) const { ::SendMessageW(Window(), CB_SETCURSEL, static_cast<WPARAM>(row), 0); }
    std::wstring Text() const {
        wchar_t text[600] = {};
        ::SendMessageW(Window(), WM_GETTEXT, 600, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void SetText(const std::wstring& text) const {
        ::SendMessageW(Window(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // A track bar moved as by the keyboard: the position, then its notification.
    void Slide(int position) const {
        ::SendMessageW(Window(), TBM_SETPOS, TRUE, position);
        ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(Window()));
    }
    int Position() const { return static_cast<int>(::SendMessageW(Window(), TBM_GETPOS, 0, 0)); }
    void Type(const std::wstring& text) const {
        for (wchar_t c : text) ::SendMessageW(Window(), WM_CHAR, c, 0);
    }
};

} // namespace tolltone::fakes

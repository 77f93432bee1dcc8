#include "dialog/HelpViewer.h"

#include "paths/PathJoin.h"
#include "paths/PathRules.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceText.h"
#include "win32/UniqueHandle.h"

#include <htmlhelp.h>

#include <algorithm>
#include <iterator>
#include <cstring>
#include <cwchar>

namespace tolltone {
namespace {

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// Loader state: set on first use and kept until the process ends.
HMODULE ViewerLibrary = nullptr;
HtmlHelpFunction ViewerEntry = nullptr;
bool ViewerFailed = false;

constexpr WORD HtmlHelpWOrdinal = 15;

// The folder of the module's own file, without a trailing backslash.
bool HelpDirectory(HINSTANCE instance, wchar_t (&directory)[PathUnits]) {
    const DWORD length = ::GetModuleFileNameW(instance, directory, PathUnits);
    if (length == 0 || length >= PathUnits) return false;
    DirectoryName(directory, directory, PathUnits, NoDoubleByte{});
    return true;
}

bool HelpFilePath(HINSTANCE instance, wchar_t (&path)[PathUnits]) {
    wchar_t directory[PathUnits];
    if (!HelpDirectory(instance, directory)) return false;
    const ResourceText file = LoadResourceText(instance, IDS_HELP_FILE);
    return JoinPath<wchar_t>(path, PathUnits, {directory, file.text});
}

} // namespace

bool FindHelpControlPath(char (&path)[260]) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                        KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    const UniqueRegistryKey key(opened);
    char value[260] = {};
    DWORD type = REG_SZ;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return false;
    value[259] = '\0';
    if (type == REG_EXPAND_SZ) {
        const DWORD count = ::ExpandEnvironmentStringsA(value, path, 260);
        return count >= 1 && count <= 260;
    }
    std::strcpy(path, value);
    return true;
}

HWND CallHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data) {
    if (ViewerLibrary == nullptr && !ViewerFailed) {
        char path[260];
        if (FindHelpControlPath(path)) ViewerLibrary = ::LoadLibraryA(path);
        // The fallback comes from the system folder only, never from the search path.
        if (ViewerLibrary == nullptr) ViewerLibrary = ::LoadLibraryExA("hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (ViewerLibrary == nullptr) {
            ViewerFailed = true;
            return nullptr;
        }
    }
    if (ViewerLibrary == nullptr || ViewerFailed) return nullptr;
    if (ViewerEntry == nullptr) {
        ViewerEntry = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(::GetProcAddress(ViewerLibrary, MAKEINTRESOURCEA(HtmlHelpWOrdinal))));
        if (ViewerEntry == nullptr) {
            ViewerFailed = true;
            return nullptr;
        }
    }
    return ViewerEntry(caller, file, command, data);
}

void AddCaptionHelpButton(HWND dialog) {
    ::SetWindowLongPtrW(dialog, GWL_EXSTYLE, ::GetWindowLongPtrW(dialog, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    // Windows keeps the frame's data cached: the caption's ? is drawn only once
    // SetWindowPos says the frame changed.
    ::SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

INT_PTR ShowContextHelp(HWND dialog, HINSTANCE instance, const HELPINFO* help) {
    if (help == nullptr || std::find(std::begin(HelpControlIds), std::end(HelpControlIds), help->iCtrlId) ==
                               std::end(HelpControlIds))
        return FALSE;
    return ShowHelpPopup(dialog, instance, static_cast<UINT>(help->iCtrlId), help->MousePos);
}

INT_PTR ShowHelpPopup(HWND dialog, HINSTANCE instance, UINT topic, POINT at) {
    wchar_t helpFile[PathUnits];
    wchar_t source[PathUnits];
    if (!HelpFilePath(instance, helpFile) || !ConcatText<wchar_t>(source, PathUnits, {helpFile, L"::/popup.txt"}))
        return TRUE;

    HH_POPUP popup{};
    popup.cbStruct = sizeof popup;
    popup.hinst = nullptr;
    popup.idString = topic;
    popup.pszText = nullptr;
    popup.pt = at;
    popup.clrForeground = static_cast<COLORREF>(-1);
    popup.clrBackground = static_cast<COLORREF>(-1);
    popup.rcMargins = {-1, -1, -1, -1};
    popup.pszFont = nullptr;
    CallHtmlHelp(dialog, source, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
    return TRUE;
}

INT_PTR ShowHelpFile(HWND dialog, HINSTANCE instance) {
    wchar_t helpFile[PathUnits];
    if (HelpFilePath(instance, helpFile)) CallHtmlHelp(dialog, helpFile, HH_DISPLAY_TOPIC, 0);
    return TRUE;
}

INT_PTR ShowHelpPage(HWND dialog, HINSTANCE instance, const wchar_t* page) {
    wchar_t helpFile[PathUnits];
    if (HelpFilePath(instance, helpFile))
        CallHtmlHelp(dialog, helpFile, HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>(page));
    return TRUE;
}

} // namespace tolltone

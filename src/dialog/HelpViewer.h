#pragma once
// Context popups and the help file through the HTML Help viewer, whose control
// library is found and loaded on first use and kept for the process.
#include <windows.h>

namespace tolltone {

// The controls of the settings dialog that have a popup: the topic number is
// the control id.
inline constexpr int HelpControlIds[] = {1, 2, 101, 102, 104, 105, 107, 108, 111, 114, 115, 116, 117, 118};

// Adds WS_EX_CONTEXTHELP, so that the caption shows its ? button.
void AddCaptionHelpButton(HWND dialog);

// WM_HELP: the control's popup from "popup.txt" in the help file. TRUE if the
// control has one (whether or not the viewer showed it), else FALSE.
INT_PTR ShowContextHelp(HWND dialog, HINSTANCE instance, const HELPINFO* help);

// Popup topic of "popup.txt" at the screen point at. Always TRUE.
INT_PTR ShowHelpPopup(HWND dialog, HINSTANCE instance, UINT topic, POINT at);

// The Help button: the help file at its default topic. Always TRUE.
INT_PTR ShowHelpFile(HWND dialog, HINSTANCE instance);

// The help file at one page ("dialog.html#advanced"). Always TRUE.
INT_PTR ShowHelpPage(HWND dialog, HINSTANCE instance, const wchar_t* page);

// The viewer's HtmlHelpW with the arguments unchanged; null when no viewer.
HWND CallHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data);

// The viewer library's path from the registry into a 260-byte buffer.
bool FindHelpControlPath(char (&path)[260]);

} // namespace tolltone

#pragma once
#include <windows.h>
#include <htmlhelp.h>

struct FakeHelpCall {
    HWND caller;
    wchar_t file[MAX_PATH];
    UINT command;
    DWORD_PTR data;
    HH_POPUP popup;
};

struct FakeHelpLog {
    static constexpr int Capacity = 32;
    int count;
    FakeHelpCall calls[Capacity];
};

// Stands in for the HTML Help control: its entry at ordinal 15 records each call
// instead of showing help. The tests read the record through FakeHelpCalls.
#include "FakeHelpControl.h"

namespace {
FakeHelpLog Log;
}

extern "C" HWND WINAPI FakeHtmlHelpW(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data) {
    if (Log.count >= FakeHelpLog::Capacity) return nullptr;
    FakeHelpCall& call = Log.calls[Log.count++];
    call.caller = caller;
    lstrcpynW(call.file, file != nullptr ? file : L"", MAX_PATH);
    call.command = command;
    call.data = data;
    if (command == HH_DISPLAY_TEXT_POPUP && data != 0) call.popup = *reinterpret_cast<const HH_POPUP*>(data);
    return nullptr;
}

extern "C" FakeHelpLog* WINAPI FakeHelpCalls() { return &Log; }

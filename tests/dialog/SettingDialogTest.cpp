// The real settings dialog of the built module under Xvfb, driven from a second
// thread: what it shows, how clicks change it, what OK stores and Cancel leaves.
#include "dialog/DialogDriver.h"
#include "support/ImportPatch.h"
#include "support/WaveBytes.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <commdlg.h>
#include <mmsystem.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

using IntNoArgs = int(WINAPI*)();

std::string Ini(const char* enable, const char* signal, const char* interval, const char* time, const char* wave) {
    return std::string("[Tolltone]\r\nEnable=") + enable + "\r\nSignalType=" + signal + "\r\nInterval=" + interval +
           "\r\nTimeType=" + time + "\r\nWaveName=" + wave + "\r\n";
}

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(w, m, wp, lp); }

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"DialogTestHost";
        ::RegisterClassW(&windowClass);
        host_.Reset(::CreateWindowExW(0, L"DialogTestHost", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, windowClass.hInstance, nullptr));
        if (!host_ && DisplayExpected()) FAIL() << "no window made, though the run has a display";
        if (!host_) GTEST_SKIP() << "no display: the dialog tests drive the dialog under Xvfb";
    }

    // Loads the module over a settings file as the launcher does.
    void Open(const std::string& ini) {
        ASSERT_TRUE(WriteBytes(perUser_.Path(), ini));
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(host_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
    }

    int Setting(const std::function<void(HWND)>& script) {
        bool found = false;
        const int result = DriveDialog([&] { return Entry<IntNoArgs>(module_.Get(), "Setting")(); }, script, &found);
        EXPECT_TRUE(found) << "the dialog appeared";
        return result;
    }
    int StopModule() { return Entry<IntNoArgs>(module_.Get(), "StopModule")(); }
    std::string Stored() { return ReadBytes(perUser_.Path()); }

    PerUserSettingsFile perUser_;
    UniqueWindow host_;
    UniqueModule module_;
};

struct Expected {
    std::vector<int> checked, unchecked, enabled, disabled;
    int entries, selection;
};

void ExpectState(HWND dialog, const Expected& e) {
    for (int id : e.checked) EXPECT_TRUE((Control{dialog, id}.Checked())) << id << " checked";
    for (int id : e.unchecked) EXPECT_FALSE((Control{dialog, id}.Checked())) << id << " unchecked";
    for (int id : e.enabled) EXPECT_TRUE((Control{dialog, id}.Enabled())) << id << " enabled";
    for (int id : e.disabled) EXPECT_FALSE((Control{dialog, id}.Enabled())) << id << " disabled";
    EXPECT_EQ((Control{dialog, 111}.Count()), e.entries);
    EXPECT_EQ((Control{dialog, 111}.Selection()), e.selection);
}

std::vector<int> Range(int from, int to) {
    std::vector<int> ids;
    for (int id = from; id <= to; ++id) ids.push_back(id);
    return ids;
}

} // namespace

TEST_F(SettingDialogTest, WhatTheDialogShowsAtStart) {
    const struct { std::string ini; Expected expected; } rows[] = {
        {Ini("0", "0", "300", "0", "bell.wav"),
         {{102, 104, 107}, {101, 105, 108}, {100, 101, 102, 1, 2, 117, 116}, Range(103, 115), 7, 2}},
        {Ini("1", "0", "300", "0", "bell.wav"),
         {{101, 104, 107}, {102}, {103, 104, 105, 109, 110, 111, 112, 113, 114, 115, 116}, {106, 107, 108}, 7, 2}},
        {Ini("1", "1", "3600", "1", ""),
         {{101, 105, 108}, {104, 107}, {103, 104, 105, 106, 107, 108, 109, 114, 115}, {116}, 3, 2}},
        {Ini("2", "7", "300", "-1", "x"), {{101, 105, 108}, {}, {106, 107, 108}, {}, 3, -1}},  // 300 is no strike row
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        SCOPED_TRACE(r);
        Open(rows[r].ini);
        EXPECT_EQ(Setting([&](HWND dialog) {
                      ExpectState(dialog, rows[r].expected);
                      EXPECT_TRUE(::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
                  }),
                  0);
        EXPECT_EQ(Stored(), rows[r].ini) << "Cancel stores nothing";
        module_.Reset();
    }
}

namespace {

// What the module asked of the frame: the window, the flags, and whether the
// help style was already set then.
struct FrameCall { HWND window; UINT flags; bool helpStyle; };
std::vector<FrameCall> FrameCalls;
BOOL WINAPI RecordSetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags) {
    FrameCalls.push_back({window, flags, (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0});
    return ::SetWindowPos(window, after, x, y, cx, cy, flags);
}

} // namespace

// SetWindowLongPtr's documentation: a change of cached frame data takes effect
// only after SetWindowPos with SWP_FRAMECHANGED; Wine draws the ? without it.
TEST_F(SettingDialogTest, TheCaptionsHelpButtonIsMadeKnownToTheFrame) {
    Open(Ini("1", "0", "60", "0", ""));
    PatchImport(module_.Get(), "SetWindowPos", reinterpret_cast<void*>(&RecordSetWindowPos));
    FrameCalls.clear();
    Setting([](HWND dialog) {
        ASSERT_EQ(FrameCalls.size(), 1u);
        EXPECT_EQ(FrameCalls[0].window, dialog);
        EXPECT_EQ(FrameCalls[0].flags, static_cast<UINT>(SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER));
        EXPECT_TRUE(FrameCalls[0].helpStyle) << "after the style was added";
    });
}

TEST_F(SettingDialogTest, ClicksRefillTheIntervalsAndFollowTheEnablingRules) {
    Open(Ini("1", "0", "300", "0", "bell.wav"));
    Setting([](HWND dialog) {
        const Control once{dialog, 104}, strike{dialog, 105}, use{dialog, 101}, off{dialog, 102}, combo{dialog, 111};
        strike.Click();
        ExpectState(dialog, {{105}, {104}, {106, 107, 108}, {}, 3, 0});
        once.Click();
        ExpectState(dialog, {{104}, {105}, {}, {106, 107, 108}, 7, 0});
        combo.Select(3);
        once.Click();
        EXPECT_EQ(combo.Selection(), 0) << "clicking the checked radio resets to None";
        combo.Select(4);
        off.Click();
        ExpectState(dialog, {{102}, {101}, {116}, Range(103, 115), 7, 4});
        use.Click();
        ExpectState(dialog, {{101, 104}, {}, {103, 104, 105, 109, 115}, {106, 107, 108}, 7, 4});
        strike.Click();
        combo.Select(1);
        off.Click();
        use.Click();
        ExpectState(dialog, {{101, 105}, {}, {106, 107, 108}, {}, 3, 1});
    });
}

TEST_F(SettingDialogTest, TheEditDrivesTheTestButtonAndHoldsAtMost260) {
    Open(Ini("1", "0", "60", "0", "bell.wav"));
    const int result = Setting([](HWND dialog) {
        const Control edit{dialog, 114}, test{dialog, 116};
        EXPECT_TRUE(test.Enabled());
        edit.SetText(L"");
        EXPECT_FALSE(test.Enabled());
        edit.Type(L"a");
        EXPECT_TRUE(test.Enabled());
        edit.SetText(L"");
        edit.Type(std::wstring(300, L'w'));
        EXPECT_EQ(edit.Text().size(), 259u);
        Control{dialog, 1}.Click();
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Stored(), Ini("1", "0", "60", "0", std::string(259, 'w').c_str())) << "OK stores the first 259";
}

TEST_F(SettingDialogTest, OkStoresTheControlsSavesAndArms) {
    Open(Ini("0", "0", "900", "0", ""));
    EXPECT_EQ(Setting([](HWND dialog) {
                  Control{dialog, 101}.Click();
                  Control{dialog, 105}.Click();
                  Control{dialog, 108}.Click();
                  Control{dialog, 111}.Select(2);
                  Control{dialog, 114}.SetText(L"C:\\Sounds\\bell.wav");
                  Control{dialog, 1}.Click();
              }),
              1);
    EXPECT_EQ(Stored(), Ini("1", "1", "3600", "1", "C:\\Sounds\\bell.wav"));
    EXPECT_EQ(Entry<IntNoArgs>(module_.Get(), "IsModuleEnable")(), 1);
    EXPECT_NE(StopModule(), 0) << "the timer was armed again";

    EXPECT_EQ(Setting([](HWND dialog) {
                  Control{dialog, 102}.Click();
                  Control{dialog, 1}.Click();
              }),
              1);
    EXPECT_EQ(Stored(), Ini("0", "1", "3600", "1", "C:\\Sounds\\bell.wav")) << "disabled controls stored as they stand";
    EXPECT_EQ(StopModule(), 0) << "disabled: no timer";
}

TEST_F(SettingDialogTest, OkWithNoneAndWithoutASelection) {
    Open(Ini("1", "0", "900", "0", "a"));
    Setting([](HWND dialog) {
        Control{dialog, 111}.Select(0);
        Control{dialog, 1}.Click();
    });
    EXPECT_EQ(Stored(), Ini("1", "0", "4294967295", "0", "a"));
    module_.Reset();

    Open(Ini("1", "1", "300", "0", "a"));  // 300 is no row of the strike list
    Setting([](HWND dialog) {
        EXPECT_EQ((Control{dialog, 111}.Selection()), -1);
        Control{dialog, 1}.Click();
    });
    EXPECT_EQ(Stored(), Ini("1", "1", "300", "0", "a")) << "the interval is kept";
}

TEST_F(SettingDialogTest, CancelEscapeAndCloseChangeNothing) {
    const std::string ini = Ini("1", "0", "900", "0", "keep.wav");
    Open(ini);
    ASSERT_EQ(Entry<IntNoArgs>(module_.Get(), "StartModule")(), 1);
    const std::function<void(HWND)> closers[] = {
        [](HWND d) { Control{d, 2}.Click(); },
        [](HWND d) { ::PostMessageW(Control{d, 114}.Window(), WM_KEYDOWN, VK_ESCAPE, 0); },
        [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (size_t i = 0; i < std::size(closers); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Setting([&](HWND dialog) {
                      Control{dialog, 102}.Click();
                      Control{dialog, 114}.SetText(L"changed.wav");
                      closers[i](dialog);
                      for (int w = 0; w < 200 && ::IsWindow(dialog); ++w) ::Sleep(10);
                      EXPECT_FALSE(::IsWindow(dialog)) << "closed by the user's action";
                  }),
                  0);
        EXPECT_EQ(Stored(), ini);
        EXPECT_EQ(Entry<IntNoArgs>(module_.Get(), "IsModuleEnable")(), 1);
        EXPECT_EQ(StopModule(), 0) << "the timer stays stopped";
    }
}

TEST_F(SettingDialogTest, TheFileBrowserOpensWithTheNameAndFolderAndCancelChangesNothing) {
    Open(Ini("1", "0", "60", "0", "chime.wav"));
    Setting([&](HWND dialog) {
        const DWORD threadId = ::GetWindowThreadProcessId(dialog, nullptr);
        std::thread click([&] { Control{dialog, 115}.Click(); });  // returns when the browser closes
        const HWND browser = FindDialogOf(threadId, L"サウンドファイルの設定");
        ASSERT_NE(browser, nullptr);
        wchar_t spec[MAX_PATH] = {}, folder[MAX_PATH] = {};
        ::SendMessageW(browser, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(spec));
        ::SendMessageW(browser, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        EXPECT_STREQ(spec, L"chime.wav");
        const std::wstring expected = AppDataFolder() + L"\\Norvex\\Quiver";
        EXPECT_EQ(CompareStringOrdinal(folder, -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
            << "opened in the per-user settings folder";
        ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
        click.join();
        EXPECT_EQ((Control{dialog, 114}.Text()), L"chime.wav");
        Control{dialog, 1}.Click();
    });
    EXPECT_EQ(Stored(), Ini("1", "0", "60", "0", "chime.wav"));
}

TEST_F(SettingDialogTest, TheDialogUsesTheCommonControlsOfItsManifest) {
    Open(Ini("1", "0", "60", "0", ""));
    Setting([](HWND dialog) {
        // With the manifest active the buttons are common controls 6 classes,
        // whose window procedure lives in comctl32, not in user32.
        const auto procedure = reinterpret_cast<LPCWSTR>(::GetWindowLongPtrW(Control{dialog, 101}.Window(), GWLP_WNDPROC));
        HMODULE owner = nullptr;
        ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                         procedure, &owner));
        wchar_t name[MAX_PATH] = {};
        ::GetModuleFileNameW(owner, name, MAX_PATH);
        const std::wstring file(name);
        EXPECT_NE(file.find(L"comctl32"), std::wstring::npos) << std::string(file.begin(), file.end());
    });
}

namespace {

// The name the module last asked the sound player for; nothing is played.
std::wstring PlayedName;
BOOL WINAPI RecordSoundName(LPCWSTR name, HMODULE, DWORD flags) {
    if (name != nullptr && (flags & SND_MEMORY) == 0) PlayedName = name;
    return TRUE;
}

} // namespace

// A path pasted with Explorer's quotes around it: OK and Test both take them off
// (which names lose them is the core tests' table).
TEST_F(SettingDialogTest, OkAndTestTakePastedQuotesOff) {
    Open(Ini("1", "0", "60", "0", "old.wav"));
    PatchImport(module_.Get(), "PlaySoundW", reinterpret_cast<void*>(&RecordSoundName));
    PlayedName = L"(none)";
    EXPECT_EQ(Setting([&](HWND dialog) {
                  Control{dialog, 114}.SetText(L" \"C:\\a b\\c.wav\" ");
                  Control{dialog, 116}.Click();
                  EXPECT_EQ(PlayedName, L"C:\\a b\\c.wav") << "Test";
                  Control{dialog, IDOK}.Click();
              }),
              1);
    EXPECT_EQ(Stored(), Ini("1", "0", "60", "0", "C:\\a b\\c.wav")) << "OK";
}

// A name typed in the dialog comes back exactly, whatever the ANSI code page can
// hold: the file turns UTF-16 when it must, keeping what else it held, and stays
// ANSI when it need not. Runs in code pages 1252 and 932.
TEST_F(SettingDialogTest, EverySoundNameSurvivesOkUnloadAndLoad) {
    if (const char* expected = std::getenv("TOLLTONE_EXPECT_ACP")) {
        ASSERT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected))) << "the run's code page";
    }
    const bool cp932 = ::GetACP() == 932;
    const struct { const wchar_t* name; bool utf16In1252, utf16In932; } rows[] = {
        {L"C:\\Users\\José\\時報\\鐘.wav", true, true},  // é has only a best fit in 932
        {L"C:\\音\\\U0001F514 chime.wav", true, true},
        {L"C:\\時報\\鐘.wav", true, false},
        {L"C:\\Sounds\\bell.wav", false, false},
    };
    const std::string others = "; kept\r\n[Other]\r\nKey=value\r\n";
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "code page " << ::GetACP() << ", row " << (&row - rows));
        const bool utf16 = cp932 ? row.utf16In932 : row.utf16In1252;
        Open(others + Ini("1", "0", "60", "0", "old.wav") + "QuietHours=23:00-07:00\r\n");
        EXPECT_EQ(Setting([&](HWND dialog) {
            Control{dialog, 114}.SetText(row.name);
            Control{dialog, IDOK}.Click();
        }), 1);
        module_.Reset();  // unload saves once more

        for (int pass = 0; pass < 2; ++pass) {
            const std::string bytes = Stored();
            EXPECT_EQ(IsUtf16File(bytes), utf16) << "pass " << pass;
            const std::wstring text = DecodeProfile(bytes);
            for (const std::wstring& line : {std::wstring(L"WaveName=") + row.name, std::wstring(L"; kept"),
                                             std::wstring(L"Key=value"), std::wstring(L"QuietHours=23:00-07:00")})
                EXPECT_NE(text.find(line + L"\r\n"), std::wstring::npos) << "pass " << pass << " lost a line";
            if (pass == 1) break;

            module_ = LoadTolltone();
            Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(host_.Get());
            EXPECT_EQ(Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0), static_cast<int>(std::wcslen(row.name)));
            Setting([&](HWND dialog) { EXPECT_EQ((Control{dialog, 114}.Text()), row.name); });
            module_.Reset();
        }
    }
}

namespace {

// A window of the test's thread that calls Setting when the driver posts to it:
// the launcher's tray menu or hot key, dispatched by the open dialog's loop.
using IntNoArgsEntry = int(WINAPI*)();
IntNoArgsEntry SettingAgain = nullptr;
volatile LONG InnerResult = -2;

LRESULT CALLBACK TrayProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_APP) return ::DefWindowProcW(w, m, wp, lp);
    ::InterlockedExchange(&InnerResult, SettingAgain());
    return 0;
}

} // namespace

TEST_F(SettingDialogTest, ASecondSettingWhileTheDialogIsOpenShowsTheOpenOne) {
    Open(Ini("1", "0", "600", "0", "a.wav"));
    WNDCLASSW trayClass{};
    trayClass.lpfnWndProc = TrayProc;
    trayClass.hInstance = ::GetModuleHandleW(nullptr);
    trayClass.lpszClassName = L"DialogTestTray";
    ::RegisterClassW(&trayClass);
    const UniqueWindow tray(::CreateWindowExW(0, L"DialogTestTray", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                              trayClass.hInstance, nullptr));
    SettingAgain = Entry<IntNoArgsEntry>(module_.Get(), "Setting");
    InnerResult = -2;
    const DWORD testThread = ::GetCurrentThreadId();
    EXPECT_EQ(Setting([&](HWND dialog) {
                  ::PostMessageW(tray.Get(), WM_APP, 0, 0);
                  for (int waited = 0; waited < 3000 && InnerResult == -2; waited += 20) ::Sleep(20);
                  if (InnerResult == -2) {  // a second dialog was stacked over the first: close it
                      ::EnumThreadWindows(testThread, [](HWND window, LPARAM outer) -> BOOL {
                          if (window != reinterpret_cast<HWND>(outer) && ::IsWindowVisible(window))
                              ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                          return TRUE;
                      }, reinterpret_cast<LPARAM>(dialog));
                      for (int waited = 0; waited < 3000 && InnerResult == -2; waited += 20) ::Sleep(20);
                  }
                  Control{dialog, 111}.Select(4);  // 15 minutes
                  Control{dialog, 1}.Click();
              }),
              1);
    EXPECT_EQ(InnerResult, 0) << "the second call returns at once, as a Cancel";
    EXPECT_EQ(Stored(), Ini("1", "0", "900", "0", "a.wav")) << "the open dialog's OK stores what it shows";
}

// A crashed save left only its complete copy, and a scanner holds it. Held with
// no sharing, OK saves no file that would hide the copy: the choice waits, and
// the unload saves it into the copy's text, moved once the scanner let go or
// copied into place while the scanner only reads it. One the scanner lets read
// from the start is copied into place then, and OK saves at once.
TEST_F(SettingDialogTest, OkWhileACrashedSavesCopyIsHeldWaitsForTheCopy) {
    const std::wstring copy = perUser_.Path().substr(0, perUser_.Path().rfind(L'\\')) + L"\\Tolltone.1a-2b.new";
    constexpr DWORD Freed = ~0u, ReadShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const struct { const char* name; DWORD share, shareAtUnload; } rows[] = {
        {"no sharing, freed before the unload", 0, Freed},
        {"no sharing, then read through the unload", 0, ReadShared},
        {"read shared from the start through the unload", ReadShared, ReadShared},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteBytes(copy, Ini("0", "0", "900", "0", "a.wav") + "Volume=40\r\n[Other]\r\nk=1\r\n"));
        UniqueKernelHandle scanner(
            ::CreateFileW(copy.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(scanner.Get(), INVALID_HANDLE_VALUE);
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(host_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        EXPECT_EQ(Setting([](HWND dialog) {
                      Control{dialog, 101}.Click();
                      Control{dialog, 114}.SetText(L"b.wav");
                      Control{dialog, 1}.Click();
                  }),
                  1);
        EXPECT_EQ(FileExists(perUser_.Path()), row.share != 0) << "a new file hides the copy";
        scanner.Reset();
        if (row.shareAtUnload != Freed) {
            scanner.Reset(::CreateFileW(copy.c_str(), GENERIC_READ, row.shareAtUnload, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_NE(scanner.Get(), INVALID_HANDLE_VALUE);
        }
        module_.Reset();
        scanner.Reset();
        const std::string saved = Stored();
        for (const char* line : {"Enable=1\r\n", "WaveName=b.wav\r\n", "Volume=40\r\n", "[Other]\r\nk=1\r\n"})
            EXPECT_NE(saved.find(line), std::string::npos) << line;
        ::DeleteFileW(copy.c_str());
        ::DeleteFileW(perUser_.Path().c_str());
    }
}

// Another program (a sync client, a scanner) holds the file with no sharing from
// before InitialLoad until after 了解: the dialog shows defaults, and only what
// the user changed there is written once the file can be read. Freed before
// the dialog opens, the dialog shows the file.
TEST_F(SettingDialogTest, OkOverAFileHeldSinceTheStartWritesOnlyWhatTheUserChanged) {
    const std::string ini = "[Tolltone]\r\nEnable=1\r\nInterval=900\r\nWaveName=C:\\Sounds\\bell.wav\r\n"
                            "Volume=35\r\n[Other]\r\nk=1\r\n";
    std::string saved = ini;  // the file read: OK writes the five
    saved.insert(saved.find("[Other]"), "SignalType=0\r\nTimeType=0\r\n");
    std::string renamed = ini;
    renamed.replace(renamed.find("C:\\Sounds\\bell.wav"), 18, "b.wav");
    const struct Row {
        const char* what;
        bool freedFirst;
        std::function<void(HWND)> change;
        std::string stored;
    } rows[] = {
        {"untouched", false, [](HWND) {}, ini},
        {"a new name", false, [](HWND d) { Control{d, 114}.SetText(L"b.wav"); }, renamed},
        {"clicked back and forth", false, [](HWND d) {
             Control{d, 101}.Click();
             Control{d, 102}.Click();
         }, ini},
        {"freed before the dialog", true, [](HWND d) {
             EXPECT_TRUE((Control{d, 101}.Checked())) << "the file's values";
             EXPECT_EQ((Control{d, 114}.Text()), L"C:\\Sounds\\bell.wav");
         }, saved},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(WriteBytes(perUser_.Path(), ini));
        UniqueKernelHandle holder(AdoptFileHandle(::CreateFileW(perUser_.Path().c_str(), GENERIC_READ | GENERIC_WRITE,
                                                                0, nullptr, OPEN_EXISTING, 0, nullptr)));
        ASSERT_TRUE(holder);
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(host_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        if (row.freedFirst) holder.Reset();
        EXPECT_EQ(Setting([&](HWND dialog) {
                      row.change(dialog);
                      Control{dialog, 1}.Click();
                  }),
                  1);
        holder.Reset();
        module_.Reset();
        EXPECT_EQ(Stored(), row.stored);
    }
}

// ---- 詳細設定: the optional keys, opened by button 118 ------------------------

namespace {

// A file with a comment, another section before, and some optional keys.
const std::string AdvancedBase = "; my settings\r\n[Other]\r\nKey=value\r\n" + Ini("1", "0", "60", "0", "bell.wav") +
                                 "QuietWhenLocked=1\r\nOnTheSecond=1\r\nQuietDays=Sat\r\n";

// base with one line replaced, or with line added at the end when old is empty.
std::string Edited(const std::string& base, const std::string& old, const std::string& line) {
    if (old.empty()) return base + line + "\r\n";
    std::string text = base;
    const size_t at = text.find(old + "\r\n");
    return at == std::string::npos ? "(no " + old + ")" : text.replace(at, old.size(), line);
}

} // namespace

TEST_F(SettingDialogTest, EachControlOfTheAdvancedDialogWritesItsKeyAndNothingElse) {
    const struct { std::function<void(HWND)> change; std::string old, line; } rows[] = {
        {[](HWND d) {
             Control{d, 201}.Click();
             Control{d, 202}.SetText(L"23:00");
             Control{d, 203}.SetText(L" 7:00 ");
         }, "", "QuietHours=23:00-07:00"},
        {[](HWND d) { Control{d, 211}.Click(); }, "QuietDays=Sat", "QuietDays=Sat,Sun"},
        {[](HWND d) { Control{d, 217}.Click(); }, "QuietDays=Sat", "QuietDays="},
        {[](HWND d) { Control{d, 221}.Click(); }, "", "QuietWhenBusy=1"},
        {[](HWND d) { Control{d, 222}.Click(); }, "QuietWhenLocked=1", "QuietWhenLocked=0"},
        {[](HWND d) { Control{d, 231}.Slide(60); }, "", "Volume=60"},
        {[](HWND d) { Control{d, 241}.SetText(L"C:\\h.wav"); }, "", "HourWaveName=C:\\h.wav"},
        {[](HWND d) { Control{d, 242}.SetText(L" \"C:\\a b\\half.wav\" "); }, "", "HalfWaveName=C:\\a b\\half.wav"},
        {[](HWND d) { Control{d, 243}.SetText(L"C:\\q.wav"); }, "", "QuarterWaveName=C:\\q.wav"},
        {[](HWND d) { Control{d, 251}.Click(); }, "OnTheSecond=1", "OnTheSecond=0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        Open(AdvancedBase);
        EXPECT_EQ(Setting([&](HWND dialog) {
                      EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND advanced) {
                          row.change(advanced);
                          Control{advanced, IDOK}.Click();
                          for (int waited = 0; waited < 2000 && ::IsWindow(advanced); waited += 10) ::Sleep(10);
                          EXPECT_FALSE(::IsWindow(advanced)) << "closed by its OK";
                      }));
                      Control{dialog, IDOK}.Click();
                  }),
                  1);
        EXPECT_EQ(Stored(), Edited(AdvancedBase, row.old, row.line));
        module_.Reset();  // the unload's save writes nothing more
        EXPECT_EQ(Stored(), Edited(AdvancedBase, row.old, row.line)) << "after the unload";
    }
}

// A key changed in 詳細設定 while another program holds the file: OK's save is
// refused and changes nothing, the change waits, and the unload writes it into
// the file as that program left it.
TEST_F(SettingDialogTest, AChangedOptionalKeyWaitsOutARefusedSave) {
    Open(AdvancedBase);
    UniqueKernelHandle holder(AdoptFileHandle(
        ::CreateFileW(perUser_.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
    ASSERT_TRUE(holder);
    EXPECT_EQ(Setting([&](HWND dialog) {
                  EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [](HWND advanced) {
                      Control{advanced, 231}.Slide(60);
                      Control{advanced, IDOK}.Click();
                  }));
                  Control{dialog, IDOK}.Click();
              }),
              1);
    holder.Reset();
    EXPECT_EQ(Stored(), AdvancedBase) << "a refused save changed the file";
    const std::string edited = AdvancedBase + "QuietWhenBusy=1\r\n";  // the other program's save
    ASSERT_TRUE(WriteBytes(perUser_.Path(), edited));
    module_.Reset();
    EXPECT_EQ(Stored(), Edited(edited, "", "Volume=60"));
}

// 詳細設定 shows the module's reading of each key: a value it ignores shows as
// what it does (no quiet hours, full volume) and keeps its text; OK without a
// change writes nothing.
TEST_F(SettingDialogTest, TheAdvancedDialogShowsTheModulesReadingAndKeepsWhatItIgnores) {
    const struct Row {
        std::string ini;
        std::function<void(HWND)> look;
        std::string stored;
    } rows[] = {
        {Ini("1", "0", "60", "0", "bell.wav") + "QuietHours=22:30-6:00\r\nVolume=40\r\nHourWaveName=h.wav\r\n"
                                                "QuietDays=sat, Sunday\r\nQuietWhenBusy=2\r\nOnTheSecond= 1\r\n",
         [](HWND d) {
             EXPECT_TRUE((Control{d, 201}.Checked()));
             EXPECT_EQ((Control{d, 202}.Text()), L"22:30");
             EXPECT_EQ((Control{d, 203}.Text()), L"06:00");
             EXPECT_TRUE((Control{d, 202}.Enabled()));
             for (int id = 211; id <= 217; ++id) EXPECT_EQ((Control{d, id}.Checked()), id == 211 || id == 217) << id;
             EXPECT_TRUE((Control{d, 221}.Checked()));
             EXPECT_FALSE((Control{d, 222}.Checked()));
             EXPECT_EQ((Control{d, 231}.Position()), 40);
             EXPECT_EQ((Control{d, 232}.Text()), L"40 %");
             EXPECT_EQ((Control{d, 241}.Text()), L"h.wav");
             EXPECT_EQ((Control{d, 242}.Text()), L"");
             EXPECT_TRUE((Control{d, 251}.Checked()));
         }, ""},
        {Ini("1", "0", "60", "0", "bell.wav") + "QuietHours=23:00~07:00\r\nVolume=60%\r\n",
         [](HWND d) {
             EXPECT_FALSE((Control{d, 201}.Checked())) << "no quiet hours";
             EXPECT_FALSE((Control{d, 202}.Enabled()));
             EXPECT_EQ((Control{d, 231}.Position()), 100) << "full volume";
             EXPECT_EQ((Control{d, 232}.Text()), L"100 %");
             Control{d, 221}.Click();
         }, "QuietWhenBusy=1\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored.empty() ? "no change" : row.stored);
        Open(row.ini);
        Setting([&](HWND dialog) {
            EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
                row.look(d);
                Control{d, IDOK}.Click();
            }));
            Control{dialog, IDOK}.Click();
        });
        EXPECT_EQ(Stored(), row.ini + row.stored);
        module_.Reset();
    }
}

TEST_F(SettingDialogTest, CancelInEitherDialogLeavesTheFileAsItWas) {
    const auto change = [](HWND d) {
        Control{d, 221}.Click();
        Control{d, 231}.Slide(10);
        Control{d, 241}.SetText(L"C:\\x.wav");
    };
    Open(AdvancedBase);
    EXPECT_EQ(Setting([&](HWND dialog) {
                  EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
                      change(d);
                      Control{d, IDCANCEL}.Click();
                  }));
                  Control{dialog, IDOK}.Click();
              }),
              1);
    EXPECT_EQ(Stored(), AdvancedBase) << "取消 in 詳細設定, 了解 in the settings dialog";
    EXPECT_EQ(Setting([&](HWND dialog) {
                  EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
                      change(d);
                      Control{d, IDOK}.Click();
                  }));
                  Control{dialog, IDCANCEL}.Click();
              }),
              0);
    EXPECT_EQ(Stored(), AdvancedBase) << "了解 in 詳細設定, 取消 in the settings dialog";
    module_.Reset();
    EXPECT_EQ(Stored(), AdvancedBase) << "and the unload";
}

TEST_F(SettingDialogTest, ABadQuietTimeKeepsTheAdvancedDialogOpenOnThatField) {
    Open(AdvancedBase);
    Setting([&](HWND dialog) {
        EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [](HWND d) {
            Control{d, 201}.Click();
            const struct { const wchar_t *start, *end; int field; } rows[] = {
                {L"25:00", L"07:00", 202}, {L"23:00", L"7", 203}, {L"23:60", L"07:00", 202}, {L"23:00", L"23:00", 203},
            };
            for (const auto& row : rows) {
                Control{d, 202}.SetText(row.start);
                Control{d, 203}.SetText(row.end);
                Control{d, IDOK}.Click();
                // An EndDialog would destroy it only once its loop runs again.
                for (int waited = 0; waited < 300 && ::IsWindow(d); waited += 10) ::Sleep(10);
                ASSERT_TRUE(::IsWindow(d)) << row.field;
                EXPECT_EQ(FocusOf(d), (Control{d, row.field}.Window())) << row.field;
            }
            Control{d, IDCANCEL}.Click();
        }));
        Control{dialog, IDOK}.Click();
    });
    EXPECT_EQ(Stored(), AdvancedBase);
}

// A name field takes what OK can store: 259 characters and the terminator.
TEST_F(SettingDialogTest, EveryNameFieldTakesAtMost259) {
    const std::wstring longest(259, L'n');
    Open(AdvancedBase);
    Setting([&](HWND dialog) {
        EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
            for (int id : {241, 242, 243}) {
                Control{d, id}.SetText(L"");
                Control{d, id}.Type(longest + L"xyz");
                EXPECT_EQ((Control{d, id}.Text()), longest) << id;
            }
            Control{d, IDOK}.Click();
        }));
        const Control edit{dialog, 114};
        edit.SetText(L"");
        edit.Type(longest + L"xyz");
        EXPECT_EQ(edit.Text(), longest);
        Control{dialog, IDOK}.Click();
    });
    const std::string stored = Stored();
    const std::string name(259, 'n');
    for (const std::string key : {"WaveName=", "HourWaveName=", "HalfWaveName=", "QuarterWaveName="})
        EXPECT_NE(stored.find("\n" + key + name + "\r\n"), std::string::npos) << key;
}

// The reason OK refused a quiet time shows in the dialog itself, balloons or not.
TEST_F(SettingDialogTest, ARefusedQuietTimeIsToldInTheAdvancedDialog) {
    Open(AdvancedBase);
    Setting([&](HWND dialog) {
        EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [](HWND d) {
            EXPECT_EQ((Control{d, 260}.Text()), L"") << "nothing refused yet";
            Control{d, 201}.Click();
            const struct { const wchar_t *start, *end, *told; } rows[] = {
                {L"25:00", L"07:00", L"0:00 から 23:59 までの時刻を、23:00 のように半角で入力してください。"},
                {L"23:00", L"23:00", L"開始と終了が同じです。鳴らさない時間帯を使わないときは、チェックを外してください。"},
            };
            for (const auto& row : rows) {
                Control{d, 202}.SetText(row.start);
                Control{d, 203}.SetText(row.end);
                Control{d, IDOK}.Click();
                EXPECT_TRUE(::IsWindow(d));
                EXPECT_EQ((Control{d, 260}.Text()), row.told);
                EXPECT_TRUE(::IsWindowVisible(Control{d, 260}.Window()));
            }
            Control{d, IDCANCEL}.Click();
        }));
        Control{dialog, IDOK}.Click();
    });
    EXPECT_EQ(Stored(), AdvancedBase);
}

// Runs in code pages 1252 and 932: a name neither holds turns the file UTF-16.
TEST_F(SettingDialogTest, AMomentsNameOutsideTheCodePageTurnsTheFileUtf16) {
    const std::wstring name = L"C:\\音\\\U0001F514 hour.wav";
    Open(AdvancedBase);
    Setting([&](HWND dialog) {
        DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
            Control{d, 241}.SetText(name);
            Control{d, IDOK}.Click();
        });
        Control{dialog, IDOK}.Click();
    });
    const std::string bytes = Stored();
    EXPECT_TRUE(IsUtf16File(bytes));
    const std::wstring text = DecodeProfile(bytes);
    for (const std::wstring& line : {L"HourWaveName=" + name, std::wstring(L"; my settings"), std::wstring(L"Key=value"),
                                     std::wstring(L"QuietDays=Sat"), std::wstring(L"OnTheSecond=1")})
        EXPECT_NE(text.find(line + L"\r\n"), std::wstring::npos) << "lost a line";
}

namespace {

// The image the module handed the sound player: when, its frames and its samples.
struct PlayedImage { uint64_t at; uint32_t frames, rate; std::vector<int16_t> samples; };
std::vector<PlayedImage> PlayedImages;
BOOL WINAPI RecordImage(LPCWSTR sound, HMODULE, DWORD flags) {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    if (sound == nullptr || (flags & SND_MEMORY) == 0) return TRUE;
    const auto* bytes = reinterpret_cast<const uint8_t*>(sound);
    uint32_t rate;
    uint16_t block;
    std::memcpy(&rate, bytes + 24, 4);
    std::memcpy(&block, bytes + 32, 2);
    const DataChunk data = FindDataChunk(bytes);
    std::vector<int16_t> samples(data.size / 2);
    std::memcpy(samples.data(), bytes + data.offset, samples.size() * 2);
    PlayedImages.push_back({static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime, data.size / block, rate,
                            std::move(samples)});
    return TRUE;
}

// 0.1 s of 16-bit mono at 8000 Hz.
std::string ShortWave() {
    return WaveOf(PcmFormat(1, 8000), Samples16(800, [](uint32_t i) { return (i % 16) * 1000; }));
}

} // namespace

TEST_F(SettingDialogTest, ThePreviewLandsTheSoundOnTheNextWholeTenSeconds) {
    TempFolder folder(L"preview");
    const std::wstring wave = folder.Path() + L"\\hour.wav";
    ASSERT_TRUE(WriteBytes(wave, ShortWave()));
    Open(AdvancedBase);
    PatchImport(module_.Get(), "PlaySoundW", reinterpret_cast<void*>(&RecordImage));
    PlayedImages.clear();
    std::wstring shown;
    Setting([&](HWND dialog) {
        DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
            Control{d, 241}.SetText(wave);
            Control{d, 252}.Click();
            shown = Control{d, 253}.Text();
        });
    });
    ASSERT_EQ(PlayedImages.size(), 1u);
    const PlayedImage& image = PlayedImages[0];
    // Silence first, then the sound's 800 frames: its first sample at the boundary.
    ASSERT_GE(image.frames, 800u);
    const uint64_t lands = image.at + (image.frames - 800ull) * 10'000'000 / image.rate;
    const uint64_t tenSeconds = 100'000'000;
    const uint64_t boundary = (lands + tenSeconds / 2) / tenSeconds * tenSeconds;
    EXPECT_LT(lands > boundary ? lands - boundary : boundary - lands, 500'000u) << "within 50 ms of whole ten seconds";
    EXPECT_GT(boundary, image.at) << "a boundary still to come";
    // The label in the run's zone, India's (UTC+5:30, no summer time: the test
    // command sets TZ), counted here from the boundary.
    TIME_ZONE_INFORMATION zone;
    ::GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -330) << "the dialog tests run with TZ=Asia/Kolkata";
    const uint64_t secondOfDay = (boundary / 10'000'000 + 5 * 3600 + 30 * 60) % 86400;
    wchar_t expected[64];
    std::swprintf(expected, 64, L"%02u:%02u:%02u に合わせて鳴らします", unsigned(secondOfDay / 3600),
                  unsigned(secondOfDay / 60 % 60), unsigned(secondOfDay % 60));
    EXPECT_EQ(shown, expected);
}

// A hand edit saved while the dialog is open, and read by the module for Test,
// is no change of the user's: only the key changed in 詳細設定 is written. Test
// plays at the edit's volume.
TEST_F(SettingDialogTest, AnEditOfTheFileWhileTheDialogIsOpenStays) {
    TempFolder folder(L"edit-while-open");
    const std::wstring wave = folder.Path() + L"\\bell.wav";
    ASSERT_TRUE(WriteBytes(wave, ShortWave()));
    const std::string name(wave.begin(), wave.end());
    const std::string ini = Ini("1", "0", "60", "0", name.c_str()) + "Volume=40\r\n";
    const std::string edited = Ini("1", "0", "60", "0", name.c_str()) + "Volume=50\r\n";
    Open(ini);
    PatchImport(module_.Get(), "PlaySoundW", reinterpret_cast<void*>(&RecordImage));
    PlayedImages.clear();
    Setting([&](HWND dialog) {
        ASSERT_TRUE(WriteBytes(perUser_.Path(), edited));
        ::Sleep(50);  // a write time of its own
        Control{dialog, 116}.Click();  // Test reads the file's volume
        EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [](HWND d) {
            Control{d, 221}.Click();
            Control{d, IDOK}.Click();
        }));
        Control{dialog, IDOK}.Click();
    });
    EXPECT_EQ(Stored(), edited + "QuietWhenBusy=1\r\n");
    ASSERT_EQ(PlayedImages.size(), 1u) << "Test at 50 % plays an image";
    const std::vector<int16_t>& samples = PlayedImages[0].samples;
    ASSERT_EQ(samples.size(), 800u);
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], static_cast<int16_t>(i % 16 * 500)) << i;
}

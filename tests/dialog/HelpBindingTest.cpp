// Context help and the help file through a fake help control registered under
// the class key that the module reads.
#include "dialog/DialogDriver.h"
#include "fakes/FakeHelpControl.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

const wchar_t ControlKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

void RegisterControl(const std::wstring& value, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CLASSES_ROOT, ControlKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ::RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

class HelpBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.Reset(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                      nullptr, nullptr));
        if (!host_ && DisplayExpected()) FAIL() << "no window made, though the run has a display";
        if (!host_) GTEST_SKIP() << "no display: the help tests drive the dialog under Xvfb";
        // The prefix's own entry (Wine's viewer) is put back afterwards.
        wchar_t saved[600] = {};
        DWORD size = sizeof saved;
        hadEntry_ = ::RegGetValueW(HKEY_CLASSES_ROOT, ControlKey, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                                   &savedType_, saved, &size) == ERROR_SUCCESS;
        saved_ = saved;
        fake_ = ExecutableDirectory() + L"\\FakeHelpControl.dll";
        RegisterControl(fake_);
        ASSERT_TRUE(WriteBytes(perUser_.Path(), "[Tolltone]\r\nEnable=1\r\nInterval=60\r\n"));
        module_ = LoadTolltone();  // a fresh load: the viewer is looked for anew
        Entry<void(WINAPI*)(HWND)>(module_.Get(), "SetParentWindow")(host_.Get());
        Entry<int(WINAPI*)(int)>(module_.Get(), "InitialLoad")(0);
        if (FakeHelpLog* log = Log()) log->count = 0;
    }
    void TearDown() override {
        module_.Reset();
        if (hadEntry_) RegisterControl(saved_, savedType_);
        else ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}");
    }
    static FakeHelpLog* Log() {
        const HMODULE fake = ::GetModuleHandleW(L"FakeHelpControl.dll");
        if (fake == nullptr) return nullptr;
        return Entry<FakeHelpLog*(WINAPI*)()>(fake, "FakeHelpCalls")();
    }
    int Calls() { return Log() != nullptr ? Log()->count : 0; }
    void InDialog(const std::function<void(HWND)>& script) {
        DriveDialog([&] { return Entry<int(WINAPI*)()>(module_.Get(), "Setting")(); }, script);
    }
    // The dialog procedure's answer is not SendMessage's result (that is the
    // dialog's DWLP_MSGRESULT): what counts is what reached the viewer.
    static void Help(HWND dialog, int id, POINT at = {123, 45}) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = id;
        info.hItemHandle = ::GetDlgItem(dialog, id);
        info.MousePos = at;
        ::SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }

    PerUserSettingsFile perUser_;
    UniqueWindow host_;
    UniqueModule module_;
    std::wstring fake_;
    std::wstring saved_;
    DWORD savedType_ = REG_SZ;
    bool hadEntry_ = false;
};

} // namespace

TEST_F(HelpBindingTest, PopupOfAControlGoesToTheViewer) {
    InDialog([&](HWND dialog) {
        Help(dialog, 111, {321, 54});
        ASSERT_NE(Log(), nullptr) << "the fake control was loaded from the registry path";
        ASSERT_EQ(Log()->count, 1);
        const FakeHelpCall& call = Log()->calls[0];
        EXPECT_EQ(call.caller, dialog);
        EXPECT_EQ(std::wstring(call.file), ExecutableDirectory() + L"\\Belfry.chm::/popup.txt");
        EXPECT_EQ(call.command, static_cast<UINT>(HH_DISPLAY_TEXT_POPUP));
        EXPECT_EQ(call.popup.cbStruct, 72);
        EXPECT_EQ(call.popup.hinst, nullptr);
        EXPECT_EQ(call.popup.idString, 111u);
        EXPECT_EQ(call.popup.pszText, nullptr);
        EXPECT_EQ(call.popup.pt.x, 321);
        EXPECT_EQ(call.popup.pt.y, 54);
        EXPECT_EQ(call.popup.clrForeground, static_cast<COLORREF>(-1));
        EXPECT_EQ(call.popup.clrBackground, static_cast<COLORREF>(-1));
        EXPECT_EQ(call.popup.rcMargins.left, -1);
        EXPECT_EQ(call.popup.rcMargins.top, -1);
        EXPECT_EQ(call.popup.rcMargins.right, -1);
        EXPECT_EQ(call.popup.rcMargins.bottom, -1);
        EXPECT_EQ(call.popup.pszFont, nullptr);
    });
}

TEST_F(HelpBindingTest, FramesAndStaticsHaveNoPopup) {
    InDialog([&](HWND dialog) {
        for (int id : {100, 103, 106, 109, 110, 112, 113}) Help(dialog, id);
        EXPECT_EQ(Calls(), 0);
        for (int id : {1, 2, 101, 102, 104, 105, 107, 108, 114, 115, 116, 117, 118}) Help(dialog, id);
        ASSERT_EQ(Calls(), 13);
        for (int i = 0; i < 13; ++i) EXPECT_EQ(Log()->calls[i].popup.idString, static_cast<UINT>(
            std::initializer_list<int>{1, 2, 101, 102, 104, 105, 107, 108, 114, 115, 116, 117, 118}.begin()[i]));
    });
}

TEST_F(HelpBindingTest, HelpButtonOpensTheFileBesideTheModule) {
    InDialog([&](HWND dialog) {
        Control{dialog, 117}.Click();
        ASSERT_EQ(Calls(), 1);
        EXPECT_EQ(std::wstring(Log()->calls[0].file), ExecutableDirectory() + L"\\Belfry.chm");
        EXPECT_EQ(Log()->calls[0].command, static_cast<UINT>(HH_DISPLAY_TOPIC));
        EXPECT_EQ(Log()->calls[0].data, 0u);
    });
}

// 詳細設定: a popup for every control but the labels, its own topics for OK and
// Cancel, and its Help button on its section of the dialog page.
TEST_F(HelpBindingTest, TheAdvancedDialogsPopupsAndHelpPage) {
    InDialog([&](HWND dialog) {
        EXPECT_TRUE(DriveNestedDialog(dialog, 118, L"詳細設定", [&](HWND d) {
            Help(d, -1);
            Help(d, 232);
            EXPECT_EQ(Calls(), 0) << "labels";
            const int ids[] = {IDOK, IDCANCEL, 201, 202, 203, 211, 217, 221, 222, 231, 241, 244, 249, 251, 252, 259};
            const UINT topics[] = {261, 262, 201, 202, 203, 211, 217, 221, 222, 231, 241, 244, 249, 251, 252, 259};
            for (int id : ids) Help(d, id);
            ASSERT_EQ(Calls(), static_cast<int>(std::size(ids)));
            for (size_t i = 0; i < std::size(ids); ++i) {
                EXPECT_EQ(Log()->calls[i].caller, d);
                EXPECT_EQ(Log()->calls[i].popup.idString, topics[i]) << ids[i];
            }
            Control{d, 259}.Click();
            ASSERT_EQ(Calls(), static_cast<int>(std::size(ids)) + 1);
            const FakeHelpCall& page = Log()->calls[std::size(ids)];
            EXPECT_EQ(std::wstring(page.file), ExecutableDirectory() + L"\\Belfry.chm");
            EXPECT_EQ(page.command, static_cast<UINT>(HH_DISPLAY_TOPIC));
            EXPECT_STREQ(reinterpret_cast<const wchar_t*>(page.data), L"dialog.html#advanced");
        }));
    });
}

TEST_F(HelpBindingTest, ExpandableRegistryPathIsExpanded) {
    const std::wstring directory = ExecutableDirectory();
    ::SetEnvironmentVariableW(L"TOLLTONE_FAKE_HELP", directory.c_str());
    RegisterControl(L"%TOLLTONE_FAKE_HELP%\\FakeHelpControl.dll", REG_EXPAND_SZ);
    InDialog([&](HWND dialog) {
        Help(dialog, 116);
        EXPECT_EQ(Calls(), 1);
    });
}

TEST_F(HelpBindingTest, AViewerWithoutTheEntryIsNeverTriedAgain) {
    RegisterControl(ExecutableDirectory() + L"\\NoHelpEntry.dll");
    InDialog([&](HWND dialog) {
        Help(dialog, 111);
        EXPECT_NE(::GetModuleHandleW(L"NoHelpEntry.dll"), nullptr) << "the registry path was loaded";
        RegisterControl(fake_);
        Help(dialog, 111);
        Control{dialog, 117}.Click();
        EXPECT_EQ(Calls(), 0) << "no second attempt in this process";
        EXPECT_TRUE((Control{dialog, 1}.Enabled())) << "the dialog goes on working";
    });
}

TEST_F(HelpBindingTest, ARegistryPathTooLongFallsBackToTheSystemViewer) {
    RegisterControl(std::wstring(300, L'x'));
    InDialog([&](HWND dialog) {
        Help(dialog, 111);
        EXPECT_EQ(Calls(), 0);
        EXPECT_NE(::GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "loaded from the system folder";
    });
}

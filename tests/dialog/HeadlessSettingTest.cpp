// Without a display the dialog cannot be created: Setting answers -1 and, as
// after OK, saves the settings and re-arms the timer.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

using namespace tolltone;
using namespace tolltone::fakes;

TEST(HeadlessSetting, DialogThatCannotOpenSavesAndRearms) {
    PerUserSettingsFile perUser;
    ASSERT_TRUE(WriteBytes(perUser.Path(), "[Tolltone]\r\nEnable=1\r\nInterval=-1\r\n"));
    UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    UniqueModule module = LoadTolltone();
    ASSERT_TRUE(module);
    Entry<void(WINAPI*)(HWND)>(module.Get(), "SetParentWindow")(window.Get());
    Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(0);
    EXPECT_EQ(Entry<int(WINAPI*)()>(module.Get(), "Setting")(), -1);
    EXPECT_EQ(ReadBytes(perUser.Path()),
              "[Tolltone]\r\nEnable=1\r\nInterval=4294967295\r\nSignalType=0\r\nTimeType=0\r\nWaveName=\r\n");
    EXPECT_NE(Entry<int(WINAPI*)()>(module.Get(), "StopModule")(), 0) << "re-armed";
}

TEST(HeadlessSetting, NothingIsSavedOverAFileThatWasNeverLoaded) {
    PerUserSettingsFile perUser;
    const std::string stored = "[Tolltone]\r\nEnable=1\r\nInterval=60\r\n";
    ASSERT_TRUE(WriteBytes(perUser.Path(), stored));
    UniqueModule module = LoadTolltone();
    EXPECT_EQ(Entry<int(WINAPI*)()>(module.Get(), "Setting")(), -1);
    module.Reset();
    EXPECT_EQ(ReadBytes(perUser.Path()), stored);
}

// Load, InitialLoad, start, stop and unload of the real module on the real
// per-user and portable settings files.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

using IntNoArgs = int(WINAPI*)();
using IntFlag = int(WINAPI*)(int);
using VoidFlag = void(WINAPI*)(int);

const char HandWritten[] = "[Tolltone]\r\nEnable=1\r\nInterval=-1\r\nWaveName=bell.wav\r\n";
const char HandWrittenSaved[] =
    "[Tolltone]\r\nEnable=1\r\nInterval=4294967295\r\nWaveName=bell.wav\r\nSignalType=0\r\nTimeType=0\r\n";

class ModuleLifecycleTest : public ::testing::Test {
protected:
    void TearDown() override { ::DeleteFileW(portableFile_.c_str()); }

    UniqueModule Load() {
        UniqueModule module = LoadTolltone();
        EXPECT_TRUE(module);
        return module;
    }

    PerUserSettingsFile perUser_;
    const std::wstring portableFile_ = ExecutableDirectory() + L"\\Tolltone.ini";
};

// A window of the test's thread to own the chime timer.
UniqueWindow MessageWindow() {
    return UniqueWindow(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

} // namespace

TEST_F(ModuleLifecycleTest, UnloadWithoutInitialLoadLeavesTheStoredFileAlone) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), HandWritten));
    Load().Reset();
    EXPECT_EQ(ReadBytes(perUser_.Path()), HandWritten);
    EXPECT_FALSE(FileExists(portableFile_));
}

TEST_F(ModuleLifecycleTest, UnloadSavesWhatInitialLoadLoaded) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), HandWritten));
    UniqueModule module = Load();
    EXPECT_EQ(Entry<IntFlag>(module.Get(), "InitialLoad")(0), 8) << "length of WaveName";
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "IsModuleEnable")(), 1);
    module.Reset();
    // The profile functions keep the existing lines and append the missing keys.
    EXPECT_EQ(ReadBytes(perUser_.Path()), HandWrittenSaved);
}

TEST_F(ModuleLifecycleTest, PortableModeDecidesWhereTheUnloadSaves) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), HandWritten));
    UniqueModule module = Load();
    Entry<IntFlag>(module.Get(), "InitialLoad")(0);
    Entry<VoidFlag>(module.Get(), "SetPortableMode")(1);
    EXPECT_FALSE(FileExists(portableFile_)) << "no file is moved";
    module.Reset();
    EXPECT_EQ(ReadBytes(perUser_.Path()), HandWritten);
    EXPECT_EQ(ReadBytes(portableFile_),
              "[Tolltone]\r\nEnable=1\r\nSignalType=0\r\nInterval=4294967295\r\nTimeType=0\r\nWaveName=bell.wav\r\n");
}

TEST_F(ModuleLifecycleTest, PortableInitialLoadReadsBesideTheHost) {
    ASSERT_TRUE(WriteBytes(portableFile_, "[Tolltone]\r\nEnable=1\r\nWaveName=portable.wav\r\n"));
    UniqueModule module = Load();
    // Without a per-user file the load ends by saving back there: the save's result.
    EXPECT_NE(Entry<IntFlag>(module.Get(), "InitialLoad")(1), 0);
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "IsModuleEnable")(), 1);
    EXPECT_EQ(ReadBytes(portableFile_),
              "[Tolltone]\r\nEnable=1\r\nWaveName=portable.wav\r\nSignalType=0\r\nInterval=4294967295\r\nTimeType=0\r\n");
}

TEST_F(ModuleLifecycleTest, StartArmsTheTimerThatStopStops) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), "[Tolltone]\r\nEnable=1\r\nInterval=60\r\n"));
    UniqueWindow window = MessageWindow();
    ASSERT_TRUE(window);
    UniqueModule module = Load();
    Entry<void(WINAPI*)(HWND)>(module.Get(), "SetParentWindow")(window.Get());
    Entry<IntFlag>(module.Get(), "InitialLoad")(0);
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "StartModule")(), 1);
    EXPECT_NE(Entry<IntNoArgs>(module.Get(), "StopModule")(), 0) << "a timer was armed";
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "StopModule")(), 0) << "and is gone";
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "StartModule")(), 1);
    module.Reset();
    EXPECT_FALSE(::KillTimer(window.Get(), 5000)) << "unload stopped the timer";
}

TEST_F(ModuleLifecycleTest, EnabledStartWithoutWindowStillAnswersOne) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), "[Tolltone]\r\nEnable=1\r\n"));
    UniqueModule module = Load();
    Entry<IntFlag>(module.Get(), "InitialLoad")(0);
    // The launcher's contract: 1 whenever enabled, whether or not a timer was set.
    EXPECT_EQ(Entry<IntNoArgs>(module.Get(), "StartModule")(), 1);
}

// InitialLoad and ChangePortableMode of the built module on the real registry
// and the real per-user folders of the Wine prefix. Every scenario starts from
// nothing and puts back what it found.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

const wchar_t LegacyKey[] = L"Software\\Orvane\\Tolltone";
const wchar_t UninstallEntry[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quiver Plug Tolltone";

bool KeyExists(HKEY root, const wchar_t* path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

UniqueRegistryKey CreateKey(HKEY root, const wchar_t* path, REGSAM view = 0) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    return UniqueRegistryKey(key);
}

void SetNumber(HKEY key, const wchar_t* name, uint32_t value) {
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::string Ini(const char* enable, const char* signal, const char* interval, const char* time, const char* wave) {
    return std::string("[Tolltone]\r\nEnable=") + enable + "\r\nSignalType=" + signal + "\r\nInterval=" + interval +
           "\r\nTimeType=" + time + "\r\nWaveName=" + wave + "\r\n";
}

const std::string Defaults = Ini("0", "0", "4294967295", "0", "");

// Owns every place the module reads or writes: the legacy keys, the per-user,
// old-folder and portable files. Empty at the start of a test, restored after.
class SettingsMigrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, LegacyKey);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallEntry);
        const std::wstring old = AppDataFolder() + L"\\Talmund";
        ::CreateDirectoryW(old.c_str(), nullptr);
        ::CreateDirectoryW((old + L"\\Quiver").c_str(), nullptr);
        oldFile_ = old + L"\\Quiver\\Tolltone.ini";
        ::DeleteFileW(oldFile_.c_str());
        ::DeleteFileW(portableFile_.c_str());
        folder_ = perUser_.Path().substr(0, perUser_.Path().find_last_of(L'\\'));
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, LegacyKey);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallEntry);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_32KEY, 0);
        ::SetFileAttributesW(perUser_.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(oldFile_.c_str());
        ::DeleteFileW(portableFile_.c_str());
        ::CreateDirectoryW(folder_.c_str(), nullptr);
    }

    // Loads the module, runs InitialLoad, unloads it (which saves once more).
    int InitialLoadOnce(int portable, int* enabled = nullptr) {
        UniqueModule module = LoadTolltone();
        EXPECT_TRUE(module);
        const int result = Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(portable);
        if (enabled != nullptr) *enabled = Entry<int(WINAPI*)()>(module.Get(), "IsModuleEnable")();
        return result;
    }

    PerUserSettingsFile perUser_;
    std::wstring folder_;
    std::wstring oldFile_;
    const std::wstring portableFile_ = ExecutableDirectory() + L"\\Tolltone.ini";
};

} // namespace

TEST_F(SettingsMigrationTest, LegacyRegistryIsMovedIntoTheSettingsFile) {
    {
        UniqueRegistryKey key = CreateKey(HKEY_CURRENT_USER, LegacyKey);
        SetNumber(key.Get(), L"Enable", 1);
        SetNumber(key.Get(), L"SignalType", 1);
        SetNumber(key.Get(), L"Interval", 1800);
        SetNumber(key.Get(), L"TimeType", 1);
        SetText(key.Get(), L"WaveName", L"C:\\Sounds\\bell.wav");
    }
    CreateKey(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_64KEY);
    CreateKey(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_32KEY);  // a 32-bit installer's entry
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_32KEY));
    int enabled = 0;
    const int result = InitialLoadOnce(0, &enabled);
    // Windows without administrator rights answers 5 (access denied) for the
    // uninstall key; this prefix's user may open it, and closing it gives 0.
    std::printf("InitialLoad result with the legacy key: %d\n", result);
    EXPECT_TRUE(result == 0 || result == ERROR_ACCESS_DENIED) << result;
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(ReadBytes(perUser_.Path()), Ini("1", "1", "1800", "1", "C:\\Sounds\\bell.wav"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, LegacyKey));
    if (result == 0) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_64KEY));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry, KEY_WOW64_32KEY));
    }
}

TEST_F(SettingsMigrationTest, LegacyKeyWithoutValuesGivesDefaultsAndOverwritesTheFile) {
    CreateKey(HKEY_CURRENT_USER, LegacyKey);
    ASSERT_TRUE(WriteBytes(perUser_.Path(), Ini("1", "1", "3600", "1", "old.wav")));
    InitialLoadOnce(0);
    EXPECT_EQ(ReadBytes(perUser_.Path()), Defaults) << "the registry wins, missing values are defaults";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, LegacyKey));
}

TEST_F(SettingsMigrationTest, LegacyValuesOfTheWrongSizeKeepWhatTheFileHeld) {
    {
        UniqueRegistryKey key = CreateKey(HKEY_CURRENT_USER, LegacyKey);
        const uint16_t shortValue = 1;
        ::RegSetValueExW(key.Get(), L"Enable", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&shortValue), 2);
        const uint64_t longValue = 60;
        ::RegSetValueExW(key.Get(), L"Interval", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&longValue), 8);
        SetText(key.Get(), L"SignalType", L"1");  // 4 bytes: the kind is not looked at
        SetText(key.Get(), L"WaveName", std::wstring(400, L'w'));
        SetNumber(key.Get(), L"TimeType", 1);
    }
    ASSERT_TRUE(WriteBytes(perUser_.Path(), Ini("1", "0", "900", "0", "kept.wav")));
    InitialLoadOnce(0);
    EXPECT_EQ(ReadBytes(perUser_.Path()), Ini("1", "49", "900", "1", "kept.wav"));
}

TEST_F(SettingsMigrationTest, LegacyKeyStaysWhenTheSettingsCannotBeSaved) {
    {
        UniqueRegistryKey key = CreateKey(HKEY_CURRENT_USER, LegacyKey);
        SetNumber(key.Get(), L"Interval", 1800);
    }
    ASSERT_TRUE(::RemoveDirectoryW(folder_.c_str()));  // the module never creates it
    EXPECT_EQ(InitialLoadOnce(0), 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, LegacyKey)) << "its values live nowhere else";
    EXPECT_FALSE(FileExists(folder_));
}

TEST_F(SettingsMigrationTest, PerUserFileIsLoadedAndLeftAsItIs) {
    const std::string handWritten = "[Tolltone]\r\nEnable=1\r\nWaveName=C:\\a.wav\r\n";
    ASSERT_TRUE(WriteBytes(perUser_.Path(), handWritten));
    UniqueModule module = LoadTolltone();
    EXPECT_EQ(Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(0), 8) << "length of WaveName";
    EXPECT_EQ(ReadBytes(perUser_.Path()), handWritten) << "nothing written by InitialLoad";
}

TEST_F(SettingsMigrationTest, OldFolderFileIsCopiedThenDeleted) {
    ASSERT_TRUE(WriteBytes(oldFile_, Ini("1", "0", "300", "0", "old.wav")));
    EXPECT_NE(InitialLoadOnce(0), 0) << "the save's result";
    EXPECT_FALSE(FileExists(oldFile_));
    EXPECT_EQ(ReadBytes(perUser_.Path()), Ini("1", "0", "300", "0", "old.wav"));
}

TEST_F(SettingsMigrationTest, OldFolderFileInPortableModeLoadsFromBesideTheHost) {
    ASSERT_TRUE(WriteBytes(oldFile_, Ini("1", "0", "300", "0", "old.wav")));
    EXPECT_NE(InitialLoadOnce(1), 0);
    EXPECT_FALSE(FileExists(oldFile_));
    EXPECT_EQ(ReadBytes(perUser_.Path()), Ini("1", "0", "300", "0", "old.wav")) << "copied all the same";
    EXPECT_EQ(ReadBytes(portableFile_), Defaults) << "loaded and saved beside the host";
}

TEST_F(SettingsMigrationTest, NothingAnywhereWritesDefaultsIfTheFolderExists) {
    EXPECT_NE(InitialLoadOnce(0), 0);
    EXPECT_EQ(ReadBytes(perUser_.Path()), Defaults);

    ::DeleteFileW(perUser_.Path().c_str());
    ASSERT_TRUE(::RemoveDirectoryW(folder_.c_str()));
    EXPECT_EQ(InitialLoadOnce(0), 0);
    EXPECT_FALSE(FileExists(folder_)) << "no folder is created";
}

TEST_F(SettingsMigrationTest, UnreadableSettingsFileIsNeverOverwrittenWithDefaults) {
    const std::string stored = Ini("1", "1", "3600", "0", "mine.wav");
    ASSERT_TRUE(WriteBytes(perUser_.Path(), stored));
    {
        UniqueKernelHandle lock(::CreateFileW(perUser_.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(lock.Get(), INVALID_HANDLE_VALUE);
        UniqueModule module = LoadTolltone();
        EXPECT_EQ(Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(0), 0);
        EXPECT_EQ(Entry<int(WINAPI*)()>(module.Get(), "IsModuleEnable")(), 0);
        lock.Reset();  // released before the unload's save
    }
    EXPECT_EQ(ReadBytes(perUser_.Path()), stored);
}

TEST_F(SettingsMigrationTest, GarbageValuesLoadAsDefaultsAndOtherLinesSurvive) {
    const std::string garbage = "[Tolltone]\r\nEnable=yes\r\nInterval=\x01\x02\r\nTimeType=\r\n\xff\xfe junk\r\n";
    ASSERT_TRUE(WriteBytes(perUser_.Path(), garbage));
    int enabled = -1;
    EXPECT_EQ(InitialLoadOnce(0, &enabled), 0);
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(ReadBytes(perUser_.Path()),
              "[Tolltone]\r\nEnable=0\r\nInterval=4294967295\r\nTimeType=0\r\n\xff\xfe junk\r\n"
              "SignalType=0\r\nWaveName=\r\n");
}

TEST_F(SettingsMigrationTest, ReadOnlySettingsFileIsLoadedAndLeftAlone) {
    const std::string stored = Ini("1", "0", "60", "0", "ro.wav");
    ASSERT_TRUE(WriteBytes(perUser_.Path(), stored));
    ASSERT_TRUE(::SetFileAttributesW(perUser_.Path().c_str(), FILE_ATTRIBUTE_READONLY));
    UniqueKernelHandle probe(::CreateFileW(perUser_.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    if (probe.Get() != INVALID_HANDLE_VALUE) GTEST_SKIP() << "Wine as root writes read-only files";
    probe.Release();
    int enabled = 0;
    EXPECT_EQ(InitialLoadOnce(0, &enabled), 6);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(ReadBytes(perUser_.Path()), stored);
}

TEST_F(SettingsMigrationTest, ChangePortableModeMovesTheFileThereAndBack) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), Ini("1", "0", "600", "0", "moved.wav")));
    UniqueModule module = LoadTolltone();
    const auto change = Entry<int(WINAPI*)(int)>(module.Get(), "ChangePortableMode");
    ASSERT_NE(change, nullptr);
    Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(0);

    EXPECT_EQ(change(1), 1);
    EXPECT_FALSE(FileExists(perUser_.Path()));
    EXPECT_EQ(ReadBytes(portableFile_), Ini("1", "0", "600", "0", "moved.wav"));
    EXPECT_EQ(change(1), 0) << "nothing left to move";

    EXPECT_EQ(change(0), 1);
    EXPECT_FALSE(FileExists(portableFile_));
    EXPECT_EQ(change(1), 1) << "and again";
    module.Reset();
    EXPECT_TRUE(FileExists(portableFile_)) << "the unload saves in the new mode";
    EXPECT_FALSE(FileExists(perUser_.Path()));
}

TEST_F(SettingsMigrationTest, FailedMoveLeavesTheModeAsItWas) {
    UniqueModule module = LoadTolltone();
    Entry<int(WINAPI*)(int)>(module.Get(), "InitialLoad")(0);
    ::DeleteFileW(perUser_.Path().c_str());
    EXPECT_EQ(Entry<int(WINAPI*)(int)>(module.Get(), "ChangePortableMode")(1), 0);
    module.Reset();
    EXPECT_TRUE(FileExists(perUser_.Path())) << "still per user";
    EXPECT_FALSE(FileExists(portableFile_));
}

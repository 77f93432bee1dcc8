// The real module over settings files in states a user meets on Windows: a
// volume whose file IDs change at every open, a save's complete copy left
// beside the file by a crash, a file that Notepad saved as UTF-8 without a mark.
#include "support/ExportsFixture.h"
#include "support/ImportPatch.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

using IntNoArgs = int(WINAPI*)();
using IntFlag = int(WINAPI*)(int);
using FileInformation = BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);

const char HandWritten[] = "[Tolltone]\r\nEnable=1\r\nInterval=-1\r\nWaveName=bell.wav\r\n";
const char HandWrittenSaved[] =
    "[Tolltone]\r\nEnable=1\r\nInterval=4294967295\r\nWaveName=bell.wav\r\nSignalType=0\r\nTimeType=0\r\n";

class SettingsFileStatesTest : public ExportsFixture {
protected:
    // Unloaded before the per-user file is put back: the unload may save.
    void TearDown() override { module_.Reset(); }
    int InitialLoad() { return Get<IntFlag>("InitialLoad")(0); }
    int IsModuleEnable() { return Get<IntNoArgs>("IsModuleEnable")(); }
    void Unload() { module_.Reset(); }
    std::string Stored() { return ReadBytes(perUser_.Path()); }
    std::wstring Beside(const wchar_t* name) {
        return perUser_.Path().substr(0, perUser_.Path().rfind(L'\\') + 1) + name;
    }

    PerUserSettingsFile perUser_;
};

FileInformation originalInformation = nullptr;
DWORD nextIndex = 0;

// A volume without stable file IDs: the file has a new index at every query.
BOOL WINAPI NewIndexAtEveryCall(HANDLE file, LPBY_HANDLE_FILE_INFORMATION data) {
    const BOOL got = originalInformation(file, data);
    if (got) data->nFileIndexLow = ++nextIndex;
    return got;
}

} // namespace

TEST_F(SettingsFileStatesTest, ASaveWhereFileIdsChangeAtEveryOpenStillSaves) {
    ASSERT_TRUE(WriteBytes(perUser_.Path(), HandWritten));
    originalInformation = reinterpret_cast<FileInformation>(
        PatchImport(module_.Get(), "GetFileInformationByHandle", reinterpret_cast<void*>(&NewIndexAtEveryCall)));
    ASSERT_NE(originalInformation, nullptr) << "the module asks for the file's ID";
    EXPECT_EQ(InitialLoad(), 8);
    const DWORD before = nextIndex;
    Unload();
    EXPECT_GT(nextIndex, before) << "the save looked at the file";
    EXPECT_EQ(Stored(), HandWrittenSaved);
}

namespace {

bool SetWriteTime(const std::wstring& path, ULONGLONG fileTime) {
    const UniqueKernelHandle file = AdoptFileHandle(
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
}

// A process that runs (suspended) until the end of the test.
struct RunningProcess {
    PROCESS_INFORMATION info{};
    RunningProcess() {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    }
    ~RunningProcess() {
        if (info.hProcess == nullptr) return;
        ::TerminateProcess(info.hProcess, 0);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
};

} // namespace

// A crash between a save's two renames on a file system that replaces in one
// step leaves the complete copy beside the older file.
TEST_F(SettingsFileStatesTest, ACopyLeftBesideTheFileByACrashIsSettledAtTheStart) {
    const std::string file = "[Tolltone]\r\nEnable=0\r\nInterval=900\r\n";
    const std::string copy = "[Tolltone]\r\nEnable=1\r\nInterval=900\r\n";
    RunningProcess saver;
    ASSERT_NE(saver.info.hProcess, nullptr);
    wchar_t running[64];
    std::swprintf(running, 64, L"Tolltone.%lx-2b.new", saver.info.dwProcessId);
    const ULONGLONG hour = 36'000'000'000ULL, written = 133'000'000'000'000'000ULL;
    const struct Row {
        const wchar_t* copyName;
        ULONGLONG copyWritten;
        bool copyStays;
        const std::string& stored;
        int enabled;
    } rows[] = {
        {L"Tolltone.ffff0001-2b.new", written + hour, false, copy, 1},  // the last save: its rename is finished
        {L"Tolltone.ffff0001-2c.new", written - hour, false, file, 0},  // the file was saved since: the copy goes
        {running, written + hour, true, file, 0},                       // its saver may still be at work
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.copyName, row.copyName + std::wcslen(row.copyName)));
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        const std::wstring copyPath = Beside(row.copyName);
        ASSERT_TRUE(WriteBytes(perUser_.Path(), file));
        ASSERT_TRUE(WriteBytes(copyPath, copy));
        ASSERT_TRUE(SetWriteTime(perUser_.Path(), written));
        ASSERT_TRUE(SetWriteTime(copyPath, row.copyWritten));
        InitialLoad();
        EXPECT_EQ(IsModuleEnable(), row.enabled);
        EXPECT_EQ(Stored(), row.stored);
        EXPECT_EQ(FileExists(copyPath), row.copyStays);
        Unload();
        ::DeleteFileW(copyPath.c_str());
    }
}

namespace {

const wchar_t LegacyKey[] = L"Software\\Orvane\\Tolltone";

// An older release's key with a name that code pages 1252 and 932 cannot hold
// (U+301C has no exact form in 932): the migration's save turns the file UTF-16.
bool WriteLegacyName(const std::wstring& name) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, LegacyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG set = ::RegSetValueExW(key, L"WaveName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                      static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

bool LegacyKeyExists() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, LegacyKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

std::wstring Utf16Text(const std::string& bytes) {
    return IsUtf16File(bytes) ? std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2)
                              : L"(not UTF-16)";
}

} // namespace

// Notepad saves UTF-8 without a mark; Windows reads such a file as ANSI. Turned
// UTF-16 for a name the code page cannot hold, it keeps what the user wrote.
TEST_F(SettingsFileStatesTest, AnUnmarkedFileTurnsUtf16AsWhatTheUserWrote) {
    ASSERT_FALSE(LegacyKeyExists()) << "the prefix holds no older release's key";
    const std::wstring name = L"C:\\音\\鐘〜.wav";
    const std::string tail = "[Tolltone]\r\nEnable=1\r\nInterval=900\r\n[Other]\r\n";
    const struct Row {
        std::string bytes;
        std::wstring comment, note;  // empty: the file cannot be turned and keeps its bytes
        bool in932, in1252;
    } rows[] = {
        // Notepad's UTF-8 in either code page.
        {"; \xE6\x9C\x9D\xE3\x81\xAE\xE9\x90\x98\r\n" + tail + "Note=\xE3\x81\xA1\xE3\x82\x87\xE3\x81\x86\xE3\x81\xA9\r\n",
         L"; 朝の鐘\r\n", L"Note=ちょうど\r\n", true, true},
        // The code page's own text, which is no UTF-8.
        {"; \x92\xA9\x82\xCC\x8F\xE0\r\n" + tail + "Note=\x82\xBF\x82\xE5\x82\xA4\x82\xC7\r\n", L"; 朝の鐘\r\n",
         L"Note=ちょうど\r\n", true, false},
        {"; caf\xE9\r\n" + tail + "Note=d\xE9j\xE0\r\n", L"; café\r\n", L"Note=déjà\r\n", false, true},
        // Neither: a lead byte of 932 before a line's end.
        {"; caf\xE9\r\n" + tail + "Note=d\xE9j\xE0\r\n", L"", L"", true, false},
    };
    for (const Row& row : rows) {
        if (!(Cp932() ? row.in932 : row.in1252)) continue;
        SCOPED_TRACE(row.bytes);
        module_ = LoadTolltone();
        ASSERT_TRUE(module_);
        ASSERT_TRUE(WriteBytes(perUser_.Path(), row.bytes));
        ASSERT_TRUE(WriteLegacyName(name));
        InitialLoad();
        const std::string stored = Stored();
        if (row.comment.empty()) {
            EXPECT_EQ(stored, row.bytes) << "the file keeps its bytes";
            EXPECT_TRUE(LegacyKeyExists()) << "the name is not saved: the old key keeps it";
        } else {
            const std::wstring text = Utf16Text(stored);
            EXPECT_EQ(text.find(row.comment), 0u);
            EXPECT_NE(text.find(row.note), std::wstring::npos);
            EXPECT_NE(text.find(L"WaveName=" + name + L"\r\n"), std::wstring::npos);
            EXPECT_FALSE(LegacyKeyExists()) << "migrated";
        }
        Unload();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, LegacyKey);
    }
}

// A copy that a scanner holds while its saver, another launcher, still runs: it
// is not copied into place and marked under that saver's hands, whose own
// rename would then carry the mark over the file. It waits.
TEST_F(SettingsFileStatesTest, AHeldCopyWhoseSaverRunsIsNotTakenUnderIt) {
    RunningProcess saver;
    ASSERT_NE(saver.info.hProcess, nullptr);
    wchar_t running[64];
    std::swprintf(running, 64, L"Tolltone.%lx-2b.new", saver.info.dwProcessId);
    const std::wstring copyPath = Beside(running);
    ASSERT_TRUE(WriteBytes(copyPath, "[Tolltone]\r\nEnable=1\r\nInterval=900\r\n"));
    ASSERT_TRUE(SetWriteTime(copyPath, 133'000'000'000'000'000ULL));
    {
        const UniqueKernelHandle scanner = AdoptFileHandle(::CreateFileW(
            copyPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(scanner);
        InitialLoad();
        EXPECT_FALSE(FileExists(perUser_.Path())) << "copied into place under its saver";
        EXPECT_EQ(IsModuleEnable(), 0);
    }
    WIN32_FILE_ATTRIBUTE_DATA copy;
    ASSERT_TRUE(::GetFileAttributesExW(copyPath.c_str(), GetFileExInfoStandard, &copy));
    EXPECT_EQ(ULONGLONG{copy.ftLastWriteTime.dwHighDateTime} << 32 | copy.ftLastWriteTime.dwLowDateTime,
              133'000'000'000'000'000ULL) << "marked";
    Unload();
    ::DeleteFileW(copyPath.c_str());
}

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

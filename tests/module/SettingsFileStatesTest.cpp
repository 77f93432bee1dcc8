// The real module over settings files in states a user meets on Windows: a
// volume whose file IDs change at every open, a save's complete copy left
// beside the file by a crash, a file that Notepad saved as UTF-8 without a mark.
#include "support/ExportsFixture.h"
#include "support/ImportPatch.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

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

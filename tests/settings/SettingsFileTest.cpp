// The settings file through the platform's real profile functions.
#include "settings/OptionalSettings.h"
#include "settings/SettingsFile.h"
#include "support/ImportPatch.h"
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

const char DefaultsFile[] =
    "[Tolltone]\r\nEnable=0\r\nSignalType=0\r\nInterval=4294967295\r\nTimeType=0\r\nWaveName=\r\n";

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsPath PathOf(const wchar_t* name) {
        SettingsPath path;
        std::wcsncpy(path.text, folder_.File(name).c_str(), PathUnits - 1);
        path.valid = true;
        return path;
    }
    HINSTANCE Strings() const { return module_.Get(); }
    // Staging copies in the folder, each name and a blank.
    std::wstring StagingCopies() {
        std::wstring names;
        for (const wchar_t* pattern : {L"Tolltone.*.tmp", L"Tolltone.*.new"}) {
            WIN32_FIND_DATAW found;
            const HANDLE search = ::FindFirstFileW(folder_.File(pattern).c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do names += std::wstring(found.cFileName) + L" ";
            while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        return names;
    }

    TempFolder folder_{L"tolltone-settings"};
    UniqueModule module_ = LoadTolltone();
};

ChimeSettings Sample(int32_t enable, int32_t signalType, int32_t interval, int32_t timeType, const wchar_t* wave) {
    ChimeSettings settings;
    settings.Enable = enable;
    settings.SignalType = signalType;
    settings.Interval = interval;
    settings.TimeType = timeType;
    std::wcsncpy(settings.WaveName, wave, PathUnits - 1);
    return settings;
}

} // namespace

TEST_F(SettingsFileTest, DefaultsAreWrittenWithTheExactKeysOrderAndFormats) {
    ASSERT_TRUE(module_);
    const SettingsPath path = PathOf(L"defaults.ini");
    EXPECT_NE(SaveSettings(path, Strings(), ChimeSettings{}), 0);
    EXPECT_EQ(ReadBytes(path.text), DefaultsFile);
}

TEST_F(SettingsFileTest, WhatIsSavedLoadsBack) {
    const ChimeSettings rows[] = {
        Sample(1, 1, 3600, 0, L"C:\\Sounds\\bell.wav"),
        Sample(1, 0, 900, 1, L"SystemAsterisk"),
        Sample(0, 1, NoChime, 1, L""),
        Sample(1, 0, 60, 0, L"D:\\a b\\c=d;e.wav"),
        Sample(7, -2, INT32_MIN, 3, L"x"),
    };
    const SettingsPath path = PathOf(L"roundtrip.ini");
    for (const ChimeSettings& saved : rows) {
        SCOPED_TRACE(saved.Interval);
        EXPECT_NE(SaveSettings(path, Strings(), saved), 0);
        ChimeSettings loaded = Sample(9, 9, 9, 9, L"stale");
        EXPECT_EQ(LoadSettings(path, Strings(), loaded), static_cast<int>(std::wcslen(saved.WaveName)));
        EXPECT_EQ(loaded.Enable, saved.Enable);
        EXPECT_EQ(loaded.SignalType, saved.SignalType);
        EXPECT_EQ(loaded.Interval, saved.Interval);
        EXPECT_EQ(loaded.TimeType, saved.TimeType);
        EXPECT_STREQ(loaded.WaveName, saved.WaveName);
    }
}

TEST_F(SettingsFileTest, MissingFileLoadsAllDefaults) {
    ChimeSettings loaded = Sample(1, 1, 3600, 1, L"stale");
    EXPECT_EQ(LoadSettings(PathOf(L"missing.ini"), Strings(), loaded), 0);
    EXPECT_EQ(loaded.Enable, 0);
    EXPECT_EQ(loaded.SignalType, 0);
    EXPECT_EQ(loaded.Interval, NoChime);
    EXPECT_EQ(loaded.TimeType, 0);
    EXPECT_STREQ(loaded.WaveName, L"");
}

TEST_F(SettingsFileTest, HandWrittenValuesReadAsIntended) {
    const struct { const char* line; int32_t ChimeSettings::*field; int32_t expected; } rows[] = {
        {"Interval=-1", &ChimeSettings::Interval, -1},
        {"Interval=4294967295", &ChimeSettings::Interval, -1},
        {"Interval = 1800 ", &ChimeSettings::Interval, 1800},
        {"Interval=", &ChimeSettings::Interval, -1},
        {"Interval=soon", &ChimeSettings::Interval, -1},
        {"Enable=1", &ChimeSettings::Enable, 1},
        {"Enable=yes", &ChimeSettings::Enable, 0},
        {"SignalType=2", &ChimeSettings::SignalType, 2},
        {"TimeType=-1", &ChimeSettings::TimeType, -1},
    };
    const SettingsPath path = PathOf(L"hand.ini");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        ASSERT_TRUE(WriteBytes(path.text, std::string("[Tolltone]\r\n") + row.line + "\r\n"));
        ChimeSettings loaded;
        LoadSettings(path, Strings(), loaded);
        EXPECT_EQ(loaded.*row.field, row.expected);
    }
}

TEST_F(SettingsFileTest, LongWaveNameIsCutTo259Units) {
    const SettingsPath path = PathOf(L"long.ini");
    ASSERT_TRUE(WriteBytes(path.text, "[Tolltone]\r\nWaveName=" + std::string(300, 'w') + "\r\n"));
    ChimeSettings loaded;
    EXPECT_EQ(LoadSettings(path, Strings(), loaded), 259);
    EXPECT_EQ(std::wstring(loaded.WaveName), std::wstring(259, L'w'));
}

TEST_F(SettingsFileTest, SaveNeverCreatesFolders) {
    const SettingsPath path = PathOf(L"no-such-folder\\Tolltone.ini");
    EXPECT_EQ(SaveSettings(path, Strings(), ChimeSettings{}), 0);
    EXPECT_FALSE(FileExists(folder_.File(L"no-such-folder")));
}

TEST_F(SettingsFileTest, InvalidPathLoadsDefaultsAndSavesNothing) {
    SettingsPath invalid;  // e.g. a folder too long for the path limit
    ChimeSettings loaded = Sample(1, 1, 60, 1, L"stale");
    EXPECT_EQ(LoadSettings(invalid, Strings(), loaded), 0);
    EXPECT_EQ(loaded.Interval, NoChime);
    EXPECT_EQ(SaveSettings(invalid, Strings(), loaded), 0);
}

TEST_F(SettingsFileTest, LocationsOfBothModes) {
    const SettingsPath portable = SettingsFilePath(1, Strings());
    ASSERT_TRUE(portable.valid);
    EXPECT_EQ(std::wstring(portable.text), ExecutableDirectory() + L"\\Tolltone.ini");

    const SettingsPath perUser = SettingsFilePath(0, Strings());
    ASSERT_TRUE(perUser.valid);
    EXPECT_EQ(std::wstring(perUser.text), AppDataFolder() + L"\\Norvex\\Quiver\\Tolltone.ini");
}

TEST_F(SettingsFileTest, QuietKeysAreReadAndEverySaveKeepsThemAsWritten) {
    const SettingsPath path = PathOf(L"quiet.ini");
    const std::string handWritten = "; my chimes\r\n[Other]\r\nKeep=me\r\n[Tolltone]\r\nEnable=1\r\n"
                                    "QuietHours=23:00-07:00\r\nQuietWhenBusy=1\r\nQuietWhenLocked=0\r\n";
    ASSERT_TRUE(WriteBytes(path.text, handWritten));
    ChimeSettings loaded;
    LoadSettings(path, Strings(), loaded);
    EXPECT_EQ(loaded.Quiet.Hours.startMinute, 23 * 60);
    EXPECT_EQ(loaded.Quiet.Hours.endMinute, 7 * 60);
    EXPECT_EQ(loaded.Quiet.WhenBusy, 1);
    EXPECT_EQ(loaded.Quiet.WhenLocked, 0);

    EXPECT_NE(SaveSettings(path, Strings(), Sample(1, 1, 3600, 0, L"bell.wav")), 0);
    const std::string saved = ReadBytes(path.text);
    for (const char* line : {"; my chimes", "Keep=me", "QuietHours=23:00-07:00", "QuietWhenBusy=1",
                             "QuietWhenLocked=0", "Interval=3600", "WaveName=bell.wav"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << " missing from:\n" << saved;

    // A value too long for the module's buffer is malformed, not cut into a window.
    ASSERT_TRUE(WriteBytes(path.text, "[Tolltone]\r\nQuietHours=23:00-07:00" + std::string(60, ' ') + "x\r\n"));
    LoadSettings(path, Strings(), loaded);
    EXPECT_EQ(loaded.Quiet.Hours.startMinute, loaded.Quiet.Hours.endMinute);
}

TEST_F(SettingsFileTest, AFailedSaveChangesNothingAndAnotherSavesCopyIsLeftAlone) {
    const SettingsPath path = PathOf(L"Tolltone.ini");
    const std::string before = "; mine\r\n" + std::string(DefaultsFile);
    ASSERT_TRUE(WriteBytes(path.text, before));
    {
        UniqueKernelHandle held(::CreateFileW(path.text, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.Get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"new.wav")), 0) << "held without sharing";
    }
    EXPECT_EQ(ReadBytes(path.text), before);
    EXPECT_EQ(StagingCopies(), L"") << "a failed save leaves no copy";

    // A read-only copy of another program's save (or of a crash) beside the file.
    const std::wstring other = folder_.File(L"Tolltone.9-9.tmp");
    ASSERT_TRUE(WriteBytes(other, "[Tolltone]\r\nWaveName=stale.wav\r\n"));
    ::SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"new.wav")), 1);
    const std::string saved = ReadBytes(path.text);
    EXPECT_NE(saved.find("; mine\r\n"), std::string::npos);
    EXPECT_NE(saved.find("WaveName=new.wav\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("stale"), std::string::npos);
    EXPECT_EQ(StagingCopies(), L"Tolltone.9-9.tmp ") << "only the other save's copy is there";
    ::SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Another program saves the file while a save flushes its copy (an editor, a
// second launcher; on a USB stick the flush takes long): the rename would undo
// its edit, so the save starts again from the file as it is now. When every
// flush meets an edit the save gives up and the other program's file stands.
namespace {
std::wstring EditedDuringFlush;
std::string LastEdit;
int EditsLeft = 0;
void* RealFlush = nullptr;
BOOL WINAPI FlushWhileAnotherSaves(HANDLE file) {
    if (EditsLeft > 0) {
        --EditsLeft;
        ::Sleep(20);  // a later write time
        LastEdit = ReadBytes(EditedDuringFlush) + "[Another]\r\nk=" + std::to_string(EditsLeft) + "\r\n";
        WriteBytes(EditedDuringFlush, LastEdit);
    }
    return reinterpret_cast<decltype(&::FlushFileBuffers)>(RealFlush)(file);
}
} // namespace

TEST_F(SettingsFileTest, ASaveStartsAgainFromAnEditSavedWhileItFlushes) {
    const SettingsPath path = PathOf(L"Tolltone.ini");
    const std::string before = "; mine\r\n" + std::string(DefaultsFile);
    const struct { int edits, answer; } rows[] = {{1, 1}, {100, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edits);
        ASSERT_TRUE(WriteBytes(path.text, before));
        EditedDuringFlush = path.text, EditsLeft = row.edits;
        // The save's code is linked into this program: its calls go through this program's imports.
        RealFlush = PatchImport(::GetModuleHandleW(nullptr), "FlushFileBuffers", reinterpret_cast<void*>(&FlushWhileAnotherSaves));
        const int answer = SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"new.wav"));
        PatchImport(::GetModuleHandleW(nullptr), "FlushFileBuffers", RealFlush);
        EXPECT_EQ(answer, row.answer);
        const std::string saved = ReadBytes(path.text);
        if (row.answer == 1) {
            for (const char* line : {"; mine\r\n", "Interval=60\r\n", "WaveName=new.wav\r\n", "[Another]\r\nk=0\r\n"})
                EXPECT_NE(saved.find(line), std::string::npos) << line << " missing from:\n" << saved;
        } else {
            EXPECT_LT(EditsLeft, row.edits - 1) << "tried again";
            EXPECT_EQ(saved, LastEdit) << "the other program's save stands";
        }
        EXPECT_EQ(StagingCopies(), L"");
    }
}

// What a crash or another writer can leave: only a complete copy (a file system
// that replaces in two steps), or a file in UTF-16 of the other byte order.
TEST_F(SettingsFileTest, ACompleteCopyAndABigEndianFileAreTakenAsTheyAre) {
    const SettingsPath path = PathOf(L"Tolltone.ini");
    const SettingsTexts texts = LoadSettingsTexts(Strings());
    ASSERT_TRUE(WriteBytes(folder_.File(L"Tolltone.5-1.new"), "[Tolltone]\r\nInterval=1800\r\n"));
    ASSERT_TRUE(WriteBytes(folder_.File(L"Tolltone.5-2.tmp"), "[Tolltone]\r\nInter"));  // torn: never taken
    EXPECT_EQ(AdoptCompleteCopy(path, texts), CopyAdoption::Adopted);
    EXPECT_EQ(ReadBytes(path.text), "[Tolltone]\r\nInterval=1800\r\n");
    EXPECT_EQ(AdoptCompleteCopy(path, texts), CopyAdoption::None) << "never over an existing file";
    ::DeleteFileW(folder_.File(L"Tolltone.5-2.tmp").c_str());

    std::string bigEndian = "\xFE\xFF";
    for (const wchar_t unit : std::wstring(L"[Other]\r\nKeep=\x9418\r\n[Tolltone]\r\nEnable=1\r\n")) {
        bigEndian.push_back(static_cast<char>(unit >> 8));
        bigEndian.push_back(static_cast<char>(unit & 0xFF));
    }
    ASSERT_TRUE(WriteBytes(path.text, bigEndian));
    EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"C:\\\x97F3\\\x9418.wav")), 1);
    const std::wstring text = DecodeProfile(ReadBytes(path.text));
    EXPECT_NE(text.find(L"Keep=\x9418\r\n"), std::wstring::npos) << "the other program's text survived";
    EXPECT_NE(text.find(L"WaveName=C:\\\x97F3\\\x9418.wav"), std::wstring::npos);
}

// A crashed save's complete copy that a scanner holds (no delete sharing). Held
// with no sharing, a save makes no file in its place, and once the copy is free
// it saves into the copy's text. One it lets read is copied into place, and
// the save goes into that text at once; the held copy goes at the settling
// look of a later start, as no newer than the file.
TEST_F(SettingsFileTest, NoSaveWhileACrashedSavesCopyIsHeld) {
    const SettingsPath path = PathOf(L"Tolltone.ini");
    const std::wstring copy = folder_.File(L"Tolltone.5-1.new");
    const std::string text = "[Tolltone]\r\nInterval=1800\r\nVolume=40\r\n[Other]\r\nk=1\r\n";
    const struct { const char* name; DWORD share; int whileHeld; } rows[] = {
        {"no sharing", 0, 0},
        {"read shared", FILE_SHARE_READ | FILE_SHARE_WRITE, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteBytes(copy, text));
        {
            UniqueKernelHandle scanner(::CreateFileW(copy.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_NE(scanner.Get(), INVALID_HANDLE_VALUE);
            EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"new.wav")), row.whileHeld);
            EXPECT_EQ(FileExists(path.text), row.whileHeld != 0) << "a new file hides the copy";
        }
        EXPECT_EQ(ReadBytes(copy), text);
        if (row.whileHeld == 0) {
            EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"new.wav")), 1);
        }
        const std::string saved = ReadBytes(path.text);
        for (const char* line : {"Volume=40\r\n", "[Other]\r\nk=1\r\n", "WaveName=new.wav\r\n"})
            EXPECT_NE(saved.find(line), std::string::npos) << line;
        EXPECT_EQ(SettleCopyBesideFile(path, LoadSettingsTexts(Strings())), CopyAdoption::None);
        EXPECT_EQ(ReadBytes(path.text), saved) << "the stale copy came back";
        EXPECT_EQ(StagingCopies(), L"");
        ::DeleteFileW(path.text);
    }
}

TEST_F(SettingsFileTest, ASettingsFileThatIsALinkIsSavedThroughIt) {
    const SettingsPath path = PathOf(L"Tolltone.ini");
    const std::wstring real = folder_.File(L"real.ini");
    ASSERT_TRUE(WriteBytes(real, "; the real file\r\n"));
    if (!::CreateSymbolicLinkW(path.text, real.c_str(), 0) || !FileExists(path.text)) {
        ::DeleteFileW(real.c_str());
        GTEST_SKIP() << "no symbolic links here (Wine 8 reports success and makes none)";
    }
    EXPECT_EQ(SaveSettings(path, Strings(), Sample(1, 1, 60, 1, L"a.wav")), 1);
    EXPECT_NE((::GetFileAttributesW(path.text) & FILE_ATTRIBUTE_REPARSE_POINT), 0u) << "the link is still a link";
    EXPECT_NE(ReadBytes(real).find("WaveName=a.wav"), std::string::npos) << "saved through the link";
    ::DeleteFileW(path.text);
    ::DeleteFileW(real.c_str());
}

namespace {

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string AnsiFile(const std::wstring& text) {
    std::string bytes(text.size() * 2, '\0');
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                             static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(static_cast<size_t>(length));
    return bytes;
}

} // namespace

TEST_F(SettingsFileTest, SoundKeysAndDaysAreReadAndEverySaveKeepsThemInAnyScript) {
    ASSERT_EQ(::GetACP(), 1252u) << "the ANSI file below is written in code page 1252";
    const std::wstring hour = L"C:\\Glocken\\Stundenschlag \u00C4.wav";  // code page 1252 holds it
    const std::wstring half = L"C:\\\u9418\\\u534A.wav";                  // needs UTF-16
    const std::wstring quarter = L"C:\\\u041A\u043E\u043B\u043E\u043A\u043E\u043B \U0001F514.wav";
    const std::wstring common = L"[Tolltone]\r\nHourWaveName=" + hour + L"\r\nVolume=40\r\nQuietDays=sat, Sun\r\n";
    const std::wstring utf16Only = L"HalfWaveName=" + half + L"\r\nQuarterWaveName=" + quarter + L"\r\n";
    const struct { const char* what; std::string bytes; const wchar_t* waveName; bool allNames; } files[] = {
        {"ANSI file that the save turns UTF-16", AnsiFile(common), L"C:\\\u9418\\chime.wav", false},
        {"UTF-16 file", Utf16File(common + utf16Only), L"bell.wav", true},
    };
    const SettingsPath path = PathOf(L"sounds.ini");
    for (const auto& file : files) {
        SCOPED_TRACE(file.what);
        ASSERT_TRUE(WriteBytes(path.text, file.bytes));
        ChimeSettings settings = Sample(1, 1, 3600, 0, file.waveName);
        for (int pass = 0; pass < 2; ++pass) {  // as written, then after a save
            SCOPED_TRACE(pass == 0 ? "as written" : "after a save");
            ChimeSettings loaded;
            LoadSettings(path, Strings(), loaded);
            EXPECT_EQ(loaded.Sounds.HourWaveName, hour);
            EXPECT_EQ(loaded.Sounds.HalfWaveName, file.allNames ? half : L"");
            EXPECT_EQ(loaded.Sounds.QuarterWaveName, file.allNames ? quarter : L"");
            EXPECT_EQ(loaded.Sounds.Volume, 40);
            EXPECT_EQ(loaded.Quiet.Days, 1u << 6 | 1u << 0);
            const std::wstring text = DecodeProfile(ReadBytes(path.text));
            for (const std::wstring& line : {L"HourWaveName=" + hour, std::wstring(L"QuietDays=sat, Sun")})
                EXPECT_NE(text.find(line), std::wstring::npos) << "a key is no longer as written";
            if (pass == 0) {
                ASSERT_EQ(SaveSettings(path, Strings(), settings), 1);
            }
        }
        EXPECT_TRUE(IsUtf16File(ReadBytes(path.text)));
    }
}

TEST_F(SettingsFileTest, OptionalKeysAreReadAgainOnlyWhenTheFileChanged) {
    const SettingsPath path = PathOf(L"refresh.ini");
    ASSERT_TRUE(WriteBytes(path.text, "[Tolltone]\r\nVolume=30\r\n"));
    ChimeSettings settings;
    SettingsFileStamp known;
    RefusedWrite retry;
    EXPECT_TRUE(RefreshOptionalSettings(path, Strings(), known, retry, settings)) << "an unknown stamp reads";
    EXPECT_EQ(settings.Sounds.Volume, 30);

    settings.Sounds.Volume = 77;  // shows whether the next check reads
    EXPECT_FALSE(RefreshOptionalSettings(path, Strings(), known, retry, settings));
    EXPECT_EQ(settings.Sounds.Volume, 77) << "an unchanged file is not read";

    ASSERT_TRUE(WriteBytes(path.text, "[Tolltone]\r\nVolume=60\r\nQuietDays=Mon\r\n"));
    EXPECT_TRUE(RefreshOptionalSettings(path, Strings(), known, retry, settings));
    EXPECT_EQ(settings.Sounds.Volume, 60);
    EXPECT_EQ(settings.Quiet.Days, 1u << 1);

    ASSERT_TRUE(::DeleteFileW(path.text));
    EXPECT_TRUE(RefreshOptionalSettings(path, Strings(), known, retry, settings)) << "a removed file is a change";
    EXPECT_EQ(settings.Sounds.Volume, FullVolume);
    EXPECT_EQ(settings.Quiet.Days, 0u);
    EXPECT_FALSE(RefreshOptionalSettings(path, Strings(), known, retry, settings));
}

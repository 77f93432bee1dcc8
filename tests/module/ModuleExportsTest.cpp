// The built Tolltone.dll as the launcher sees it: exports, resources, entry points.
#include "support/ExportsFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

using IntNoArgs = int(WINAPI*)();
using DirectoryNameA = int(WINAPI*)(const char*, char*, int);
using DirectoryNameW = int(WINAPI*)(const wchar_t*, wchar_t*, int);

using ModuleExportsTest = ExportsFixture;

} // namespace

TEST_F(ModuleExportsTest, EveryEntryPointIsExportedUndecorated) {
    for (const char* name : {"QueryQVRModule", "SetParentWindow", "IsModuleEnable", "GetTitleName",
                             "StartModule", "StopModule", "SetPortableMode", "InitialLoad",
                             "QM_GetDirectoryNameA", "QM_GetDirectoryNameW"})
        EXPECT_NE(::GetProcAddress(module_.Get(), name), nullptr) << name;
}

TEST_F(ModuleExportsTest, QueryAnswersOneBeforeAnythingElse) {
    EXPECT_EQ(Get<IntNoArgs>("QueryQVRModule")(), 1);
}

TEST_F(ModuleExportsTest, TitleNameIsStringFiveHundred) {
    wchar_t title[80];
    std::fill(std::begin(title), std::end(title), L'#');
    const int length = Get<int(WINAPI*)(wchar_t*)>("GetTitleName")(title);
    EXPECT_EQ(length, 20);
    EXPECT_STREQ(title, L"時報モジュール\u3000Version3.6.0");
    EXPECT_EQ(title[21], L'#');
}

TEST_F(ModuleExportsTest, StringTableHoldsEveryText) {
    const struct { UINT id; const wchar_t* text; } rows[] = {
        {500, L"時報モジュール\u3000Version3.6.0"}, {510, L"サウンドファイルの設定"},
        {515, L"Belfry.chm"}, {600, L"Software\\Orvane\\"}, {601, L"Tolltone"},
        {650, L"Enable"}, {651, L"SignalType"}, {652, L"Interval"}, {653, L"TimeType"},
        {654, L"WaveName"}, {655, L"Talmund"}, {656, L"Norvex"}, {657, L"Tolltone.ini"},
        {658, L"Quiver"},
    };
    for (const auto& row : rows) {
        wchar_t text[260] = {};
        EXPECT_GT(::LoadStringW(module_.Get(), row.id, text, 260), 0) << row.id;
        EXPECT_STREQ(text, row.text) << row.id;
    }
}

TEST_F(ModuleExportsTest, VersionResourceNamesTheProductAndVersion) {
    const std::wstring path = ModulePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(6, 3));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(6, 3));

    for (const auto& [key, value] : {std::pair{L"ProductName", L"Tolltone"}, std::pair{L"ProductVersion", L"3.6.0"}}) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
        ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_STREQ(text, value);
    }
}

TEST_F(ModuleExportsTest, DisabledModuleStartsNothing) {
    // Fresh load: no settings yet, so the module is disabled.
    EXPECT_EQ(Get<IntNoArgs>("IsModuleEnable")(), 0);
    EXPECT_EQ(Get<IntNoArgs>("StartModule")(), 0);
    EXPECT_EQ(Get<IntNoArgs>("StopModule")(), 0) << "no timer to stop";
}

TEST_F(ModuleExportsTest, DirectoryNameWideInPlace) {
    wchar_t buffer[260] = L"C:\\Program Files\\App\\host.exe";
    EXPECT_EQ(Get<DirectoryNameW>("QM_GetDirectoryNameW")(buffer, buffer, 260), 20);
    EXPECT_STREQ(buffer, L"C:\\Program Files\\App");
}

TEST_F(ModuleExportsTest, DirectoryNameNarrowFollowsTheActiveCodePage) {
    const auto directoryName = Get<DirectoryNameA>("QM_GetDirectoryNameA");
    char out[260];
    // 0x95 0x5C is one kanji in code page 932; in 1252 it is two characters.
    const int length = directoryName("C:\\\x95\x5C" "file", out, 260);
    if (::GetACP() == 932) {
        EXPECT_EQ(length, 2);
        EXPECT_STREQ(out, "C:");
    } else {
        EXPECT_EQ(length, 4);
        EXPECT_STREQ(out, "C:\\\x95");
    }
    // A lead byte followed by an invalid trail byte is no double-byte character.
    EXPECT_EQ(directoryName("C:\\\x81\x7F\\x", out, 260), 5);
}

// The QM_ path exports of the built module, run in 1252 and in 932.
#include "paths/QmPaths.h"
#include "support/ExportsFixture.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolltone;
using namespace tolltone::fakes;

using PathExportsTest = ExportsFixture;

TEST_F(PathExportsTest, WideFormsOfEveryPair) {
    wchar_t out[260];
    EXPECT_EQ(Get<decltype(&QM_GetFileNameW)>("QM_GetFileNameW")(L"C:\\dir\\file.txt", out, 260), 8);
    EXPECT_STREQ(out, L"file.txt");
    EXPECT_EQ(Get<decltype(&QM_GetFileExtW)>("QM_GetFileExtW")(L"C:\\dir\\a.tar.gz", out, 260), 2);
    EXPECT_EQ(Get<decltype(&QM_GetNotExtPathW)>("QM_GetNotExtPathW")(L"C:\\dir\\file.txt", out, 260), 11);
    EXPECT_EQ(Get<decltype(&QM_GetDriveNameW)>("QM_GetDriveNameW")(L"\\\\server\\share", out, 260), -1);
    EXPECT_EQ(Get<decltype(&QM_GetDriveNumberW)>("QM_GetDriveNumberW")(L"d:\\x"), 4);
    wchar_t drive[3], directory[260], name[260], extension[260];
    EXPECT_EQ(Get<decltype(&QM_SplitPathW)>("QM_SplitPathW")(L"\\\\server\\share\\dir\\name.ext", drive, directory, name, extension), 0);
    EXPECT_STREQ(directory, L"server\\share\\dir");

    const wchar_t selection[] = L"C:\\dir\0a.txt\0b.txt\0";
    EXPECT_EQ(Get<decltype(&QM_GetComnSelectFileCountW)>("QM_GetComnSelectFileCountW")(selection), 2);
    StrListW list{};
    EXPECT_EQ(Get<decltype(&QM_GetComnSelectFilesW)>("QM_GetComnSelectFilesW")(selection, 21, &list), 2);
    ASSERT_EQ(list.Count, 2);
    EXPECT_STREQ(list.Items[1], L"C:\\dir\\b.txt");
    Get<decltype(&QM_DeleteStrListW)>("QM_DeleteStrListW")(&list);
    EXPECT_EQ(list.Items, nullptr);
}

TEST_F(PathExportsTest, NarrowFormsUnderTheActiveCodePage) {
    char out[260];
    // 0x95 0x5C is one kanji in 932 whose second byte is the backslash.
    const char* path = "C:\\\x95\x5C";
    EXPECT_EQ(Get<decltype(&QM_GetFileNameA)>("QM_GetFileNameA")(path, out, 260), Cp932() ? 2 : 0);
    EXPECT_EQ(Get<decltype(&QM_GetDirectoryNameA)>("QM_GetDirectoryNameA")(path, out, 260), Cp932() ? 2 : 4);
    EXPECT_EQ(Get<decltype(&QM_GetFileExtA)>("QM_GetFileExtA")("a.\x95\x5C", out, 260), Cp932() ? 2 : 0);
    EXPECT_EQ(Get<decltype(&QM_GetNotExtPathA)>("QM_GetNotExtPathA")("a.b\\c", out, 260), 5);
    EXPECT_EQ(Get<decltype(&QM_GetDriveNameA)>("QM_GetDriveNameA")("C:\\x", out, 260), 1);
    EXPECT_EQ(Get<decltype(&QM_GetDriveNumberA)>("QM_GetDriveNumberA")("z:"), 26) << "CharUpperA";
    char drive[3], directory[260], name[260], extension[260];
    Get<decltype(&QM_SplitPathA)>("QM_SplitPathA")("C:\\\x95\x5C\\n.e", drive, directory, name, extension);
    EXPECT_STREQ(directory, "\\\x95\x5C");
    StrListA list{};
    EXPECT_EQ(Get<decltype(&QM_GetComnSelectFilesA)>("QM_GetComnSelectFilesA")("C:\\a.txt\0", 10, &list), 1);
    EXPECT_EQ(Get<decltype(&QM_GetComnSelectFileCountA)>("QM_GetComnSelectFileCountA")(""), 0);
    Get<decltype(&QM_DeleteStrListA)>("QM_DeleteStrListA")(&list);
}

// The QM_ string exports of the built module, in the code page of the run:
// ctest runs this twice, in 1252 and (LC_ALL=ja_JP.UTF-8) in 932.
#include "strings/QmStrings.h"
#include "support/ExportsFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

using namespace tolltone;
using namespace tolltone::fakes;

using StringExportsTest = ExportsFixture;

TEST_F(StringExportsTest, CopyAndTrimPairsAgree) {
    char a[32];
    wchar_t w[32];
    EXPECT_EQ(Get<decltype(&QM_StringCopyExA)>("QM_StringCopyExA")("\"a=b\"=c", '=', a, 31, 1), 3);
    EXPECT_STREQ(a, "a=b");
    EXPECT_EQ(Get<decltype(&QM_StringCopyExW)>("QM_StringCopyExW")(L"\"a=b\"=c", L'=', w, 31, 1), 3);
    EXPECT_STREQ(w, L"a=b");
    EXPECT_EQ(Get<decltype(&QM_StringCopyExAfterA)>("QM_StringCopyExAfterA")("key=value", '=', a, 32, 1), 5);
    EXPECT_STREQ(a, "value");
    EXPECT_EQ(Get<decltype(&QM_StringCopyExAfterW)>("QM_StringCopyExAfterW")(L"novalue", L'=', w, 32, 1), 0);
    EXPECT_STREQ(w, L"");
    EXPECT_EQ(Get<decltype(&QM_StringTrimLeftA)>("QM_StringTrimLeftA")("  ab  ", a, 32, ' '), 4);
    EXPECT_EQ(Get<decltype(&QM_StringTrimRightW)>("QM_StringTrimRightW")(L"  ab  ", w, 32, L' '), 4);
    EXPECT_EQ(Get<decltype(&QM_StringTrimW)>("QM_StringTrimW")(L"\u3000ab\u3000", w, 32, L'\u3000'), 2)
        << "a full-width blank in the W form";
    EXPECT_EQ(Get<decltype(&QM_StringTrimA)>("QM_StringTrimA")("  ab  ", a, 32, ' '), 2);
    EXPECT_EQ(Get<decltype(&QM_StringTrimLeftW)>("QM_StringTrimLeftW")(L"  ab", w, 2, L' '), 0);
    EXPECT_EQ(Get<decltype(&QM_StringTrimRightA)>("QM_StringTrimRightA")("   ", a, 32, ' '), 1);
    EXPECT_EQ(Get<decltype(&QM_StringZeroSuppressA)>("QM_StringZeroSuppressA")("000123", a, 32), 3);
    EXPECT_EQ(Get<decltype(&QM_StringZeroSuppressW)>("QM_StringZeroSuppressW")(L"0.5", w, 32), 2);
    EXPECT_EQ(Get<decltype(&QM_IsNumericA)>("QM_IsNumericA")("0123"), 1);
    EXPECT_EQ(Get<decltype(&QM_IsNumericW)>("QM_IsNumericW")(L"12a"), 0);
    EXPECT_EQ(Get<decltype(&QM_StringSetDelimiterA)>("QM_StringSetDelimiterA")("1234567", a, 10, ',', 3), 9);
    EXPECT_STREQ(a, "1,234,567");
    EXPECT_EQ(Get<decltype(&QM_StringSetDelimiterW)>("QM_StringSetDelimiterW")(L"-123", w, 8, L',', 3), 5);
    EXPECT_EQ(Get<decltype(&QM_StringSetDelimiterW)>("QM_StringSetDelimiterW")(L"123", w, 8, L',', 0), -1);
}

TEST_F(StringExportsTest, SplitsFillListsThatTheLibraryReleases) {
    StrListA a{};
    EXPECT_EQ(Get<decltype(&QM_StringCSVA)>("QM_StringCSVA")("a,b,,d", &a), 1);
    ASSERT_EQ(a.Count, 4);
    EXPECT_STREQ(a.Items[3], "d");
    const auto releaseA = Get<decltype(&QM_DeleteStrListA)>("QM_DeleteStrListA");
    releaseA(&a);
    EXPECT_EQ(a.Count, 0);
    EXPECT_EQ(a.Items, nullptr);
    releaseA(&a);

    StrListW w{};
    EXPECT_EQ(Get<decltype(&QM_StringSplitW)>("QM_StringSplitW")(L"\"x y\";\"z\"", L';', &w), 1);
    ASSERT_EQ(w.Count, 2);
    EXPECT_STREQ(w.Items[0], L"x y");
    Get<decltype(&QM_DeleteStrListW)>("QM_DeleteStrListW")(&w);
    EXPECT_EQ(Get<decltype(&QM_StringCSVW)>("QM_StringCSVW")(L"", &w), 0);
    EXPECT_EQ(w.Items, nullptr);
    EXPECT_EQ(Get<decltype(&QM_StringSplitA)>("QM_StringSplitA")("1|2", '|', &a), 1);
    releaseA(&a);
    EXPECT_EQ(Get<decltype(&QM_GetCodeLengthA)>("QM_GetCodeLengthA")("a,b", ','), 1);
    EXPECT_EQ(Get<decltype(&QM_GetCodeLengthW)>("QM_GetCodeLengthW")(L"abc", L','), 3);
    EXPECT_EQ(Get<decltype(&QM_GetCodeCountW)>("QM_GetCodeCountW")(L"\"a,b\",d", L','), 2);
}

namespace {

std::vector<HANDLE> ProcessHeaps() {
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 8);
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    return heaps;
}

} // namespace

// The lists come from the process heap: a list held past the unload stays
// readable, keeps no heap of the module's alive, and is released through a
// later load.
TEST_F(StringExportsTest, AListHeldAtUnloadStaysReadableAndCostsOnlyItsBytes) {
    const auto heapsBefore = ProcessHeaps();
    StrListW held{};
    ASSERT_EQ(Get<decltype(&QM_StringCSVW)>("QM_StringCSVW")(L"kept,after,unload", &held), 1);
    EXPECT_EQ(ProcessHeaps(), heapsBefore) << "no heap made for a list";
    // One block of the process heap holds the array and every string after it.
    const SIZE_T block = ::HeapSize(::GetProcessHeap(), 0, held.Items);
    ASSERT_NE(block, static_cast<SIZE_T>(-1));
    const auto* begin = reinterpret_cast<const char*>(held.Items);
    for (int i = 0; i < held.Count; ++i) {
        EXPECT_GE(reinterpret_cast<const char*>(held.Items[i]), begin + sizeof(wchar_t*) * held.Count);
        EXPECT_LE(reinterpret_cast<const char*>(held.Items[i] + std::wcslen(held.Items[i]) + 1), begin + block);
    }

    module_.Reset();
    ASSERT_EQ(::GetModuleHandleW(L"Tolltone.dll"), nullptr) << "the module is unloaded";
    ASSERT_EQ(held.Count, 3);
    EXPECT_STREQ(held.Items[0], L"kept");
    EXPECT_STREQ(held.Items[2], L"unload");

    module_ = LoadTolltone();
    Get<decltype(&QM_DeleteStrListW)>("QM_DeleteStrListW")(&held);
    EXPECT_EQ(held.Items, nullptr);
    EXPECT_EQ(held.Count, 0);
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, nullptr));
}

TEST_F(StringExportsTest, DoubleByteRuleOfTheActiveCodePage) {
    const auto count = Get<decltype(&QM_GetCodeCountA)>("QM_GetCodeCountA");
    const auto trimRight = Get<decltype(&QM_StringTrimRightA)>("QM_StringTrimRightA");
    const auto trimLeft = Get<decltype(&QM_StringTrimLeftA)>("QM_StringTrimLeftA");
    const auto copyUntil = Get<decltype(&QM_StringCopyExA)>("QM_StringCopyExA");
    char out[32];
    // 0x95 0x5C is a kanji in 932 and two characters in 1252; 0x81 0x40 the ideographic space.
    EXPECT_EQ(count("\x95\x5C", '\x95'), Cp932() ? 0 : 1) << "a double-byte start is not counted";
    EXPECT_EQ(count("\x95\x5C\\", '\\'), 2) << "its trail byte is";
    EXPECT_EQ(trimRight("ab\x81\x40", out, 32, '\x40'), Cp932() ? 2 : 3) << "the blank as trail byte";
    EXPECT_EQ(trimLeft("\x81\x40" "a", out, 32, '\x81'), Cp932() ? 3 : 2) << "a lead byte is never trimmed";
    EXPECT_EQ(copyUntil("\x95\x5C" "a", '\x95', out, 31, 1), Cp932() ? 3 : 0) << "a lead byte never stops";
    EXPECT_EQ(count("\x81\x7F,", ','), 1) << "no legal pair: every byte counts";
}

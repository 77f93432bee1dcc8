#include "settings/IniInteger.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolltone;

TEST(IniInteger, ReadsValuesAsWrittenModulo2To32) {
    const struct { const wchar_t* text; int32_t expected; } rows[] = {
        {L"0", 0}, {L"1", 1}, {L"3600", 3600}, {L"-1", -1}, {L"4294967295", -1},
        {L"4294967296", 0}, {L"2147483648", INT32_MIN}, {L"-2147483648", INT32_MIN},
        {L"  1800", 1800}, {L"900x", 900}, {L"007", 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::wstring(row.text).size());
        EXPECT_EQ(ParseIniInteger(row.text, 42), row.expected);
    }
}

TEST(IniInteger, ValuesWithoutDigitsGiveTheDefault) {
    for (const wchar_t* text : {L"", L"-", L"abc", L" ", L"+5", L"--1"})
        EXPECT_EQ(ParseIniInteger(text, -1), -1) << std::wstring(text).size();
}

TEST(IniInteger, WritesSignedAndUnsignedForms) {
    const struct { int32_t value; bool unsignedForm; const wchar_t* text; } rows[] = {
        {0, false, L"0"}, {1, false, L"1"}, {-1, false, L"-1"}, {-1, true, L"4294967295"},
        {3600, true, L"3600"}, {INT32_MIN, false, L"-2147483648"}, {INT32_MIN, true, L"2147483648"},
        {INT32_MAX, false, L"2147483647"},
    };
    for (const auto& row : rows) {
        const IniIntegerText text = FormatIniInteger(row.value, row.unsignedForm);
        EXPECT_EQ(std::wstring(text.text), row.text);
        EXPECT_EQ(ParseIniInteger(text.text, 42), row.value) << "reads back as written";
    }
}

// A value found in a settings file's text as the platform's profile functions
// find it. Documented: names match in any case, quotes around a value go, a
// value cut to the buffer ends in a NUL and counts units - 1. Rows marked
// "undocumented" hold what Windows does without saying so.
#include "settings/ProfileText.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <string_view>

using namespace tolltone;
using namespace std::literals;

TEST(ProfileText, ValuesAreFoundAsWindowsFindsThem) {
    const struct { std::wstring_view text; const wchar_t* key; const wchar_t* in64; const wchar_t* in4; } rows[] = {
        {L"[Tolltone]\r\nEnable=1\r\n"sv, L"Enable", L"1", L"1"},
        {L"[Tolltone]\r\nEnable=1\r\n"sv, L"WaveName", L"", L""},
        // undocumented: blanks around the section, the name and the value go, inner ones stay
        {L"  [Tolltone]  \r\n  enable  =  \t 1 2 \t \r\n"sv, L"Enable", L"1 2", L"1 2"},
        {L"[TOLLTONE]\nENABLE=\"quoted\"\n"sv, L"Enable", L"quoted", L"quo"},
        // undocumented: a line ends at a lone CR too; quotes go only when they match
        {L"[Tolltone]\rEnable='single'\rWaveName=\"odd'\r"sv, L"Enable", L"single", L"sin"},
        {L"[Tolltone]\rEnable='single'\rWaveName=\"odd'\r"sv, L"WaveName", L"\"odd'", L"\"od"},
        {L"[Tolltone]\r\nEnable=\"\"\r\nWaveName=\"\r\n"sv, L"Enable", L"", L""},
        // undocumented: a lone quote encloses nothing and stays
        {L"[Tolltone]\r\nEnable=\"\"\r\nWaveName=\"\r\n"sv, L"WaveName", L"\"", L"\""},
        // a value that fits once its quotes are gone is not cut (Wine 8 answers "ab" and 2 in 4
        // units: neither the whole value nor the units - 1 that a cut value counts)
        {L"[Tolltone]\r\nEnable=\"abc\"\r\n"sv, L"Enable", L"abc", L"abc"},
        {L"[Tolltone]\r\nEnable=\"abcd\"\r\n"sv, L"Enable", L"abcd", L"abc"},
        // undocumented: only the first section of a name is searched, and in it the first key
        {L"[ Tolltone ]\r\nEnable=1\r\n[Tolltone]\r\nEnable=2\r\n"sv, L"Enable", L"1", L"1"},
        {L"[Tolltone]\r\nOther=1\r\n[Tolltone]\r\nEnable=2\r\n"sv, L"Enable", L"", L""},
        {L"[Tolltone]\r\nEnable=first\r\nEnable=second\r\n"sv, L"Enable", L"first", L"fir"},
        // undocumented: a key line without '=' has no value; the first '=' splits
        {L"[Tolltone]\r\nEnable\r\nWaveName=a=b]c\r\n"sv, L"Enable", L"", L""},
        {L"[Tolltone]\r\nEnable\r\nWaveName=a=b]c\r\n"sv, L"WaveName", L"a=b]c", L"a=b"},
        // undocumented: lines before any section are in none; a '[' line without ']' is a key;
        // a section's name runs to the line's last ']'
        {L"Enable=before\r\n[Tolltone\r\nEnable=x\r\n[Tolltone]x]\r\nEnable=y\r\n"sv, L"Enable", L"", L""},
        // undocumented: ';' makes no comment of its own, it is part of the key's name;
        // the DOS end-of-file mark counts as a blank
        {L"[Tolltone]\r\n;Enable=5\r\n Enable = \"abcdefgh\" \r\n\x1A"sv, L"Enable", L"abcdefgh", L"abc"},
        {L"[Other]\r\nEnable=3\r\n[Tolltone]\r\nWaveName=C:\\音\\鐘.wav\r\n"sv, L"Enable", L"", L""},
        {L"[Other]\r\nEnable=3\r\n[Tolltone]\r\nWaveName=C:\\音\\鐘.wav\r\n"sv, L"WaveName", L"C:\\音\\鐘.wav", L"C:\\"},
        // undocumented: a NUL in the text ends the value
        {L"[Tolltone]\r\nEnable=12\0 34\r\n"sv, L"Enable", L"12", L"12"},
        {L""sv, L"Enable", L"", L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
        for (const auto& [units, expected] : {std::pair{64u, row.in64}, std::pair{4u, row.in4}}) {
            wchar_t found[64];
            std::wmemset(found, L'?', 64);
            const size_t count = FindProfileValue(row.text.data(), row.text.size(), L"Tolltone", row.key, found, units);
            EXPECT_EQ(std::wstring(found), std::wstring(expected)) << units << " units";
            EXPECT_EQ(count, std::wcslen(expected)) << units << " units";
        }
    }
}

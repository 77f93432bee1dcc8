// A pasted sound name: Explorer's "copy as path" quotes come off, nothing else.
#include "dialog/PastedName.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolltone;

TEST(PastedName, OnePairOfQuotesAroundTheWholeNameComesOff) {
    const struct { const wchar_t* typed; const wchar_t* name; } rows[] = {
        {L"\"C:\\a b\\c.wav\"", L"C:\\a b\\c.wav"},
        {L" \t\"C:\\x.wav\" \t", L"C:\\x.wav"},   // with the blanks around the quotes
        {L"\"\"", L""},
        {L"\"x\"", L"x"},
        {L"C:\\x.wav", L"C:\\x.wav"},
        {L" C:\\x.wav ", L" C:\\x.wav "},        // blanks stay where no quotes come off
        {L"C:\\a\"b.wav", L"C:\\a\"b.wav"},
        {L"\"", L"\""},
        {L" \" ", L" \" "},
        {L"\"C:\\x.wav", L"\"C:\\x.wav"},
        {L"C:\\x.wav\"", L"C:\\x.wav\""},
        {L"\"C:\\a\" \"b.wav\"", L"\"C:\\a\" \"b.wav\""},  // two quoted names, or a quote inside
        {L"\"\"C:\\x.wav\"\"", L"\"\"C:\\x.wav\"\""},
        {L"'C:\\x.wav'", L"'C:\\x.wav'"},
        {L"C:\\My Sounds\\bell .wav", L"C:\\My Sounds\\bell .wav"},
        {L"", L""},
    };
    for (const auto& row : rows) {
        std::wstring name = row.typed;
        TakeOffPastedQuotes(name.data());
        EXPECT_EQ(std::wstring(name.c_str()), row.name) << "row " << (&row - rows);
    }
}

// UTF-8 as a strict decoder takes it (RFC 3629, which MB_ERR_INVALID_CHARS
// holds a conversion to): the shortest form only, no surrogate, nothing past
// U+10FFFF, no sequence cut short.
#include "settings/Utf8Check.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace tolltone;
using namespace std::literals;

TEST(Utf8Check, TakesOnlyWellFormedUtf8) {
    const struct { std::string_view bytes; bool utf8; } rows[] = {
        {""sv, true},
        {"plain\0ascii"sv, true},
        {"caf\xC3\xA9"sv, true},
        {"caf\xE9"sv, false},                 // a Windows-1252 é
        {"\xC0\x80"sv, false},                // an overlong NUL
        {"\xC1\xBF"sv, false},                // an overlong U+007F
        {"\xC2\x80"sv, true},                 // U+0080
        {"\xC2"sv, false},                    // cut short at the end
        {"\xC2 "sv, false},                   // a lead byte followed by no continuation
        {"\xE0\x9F\xBF"sv, false},            // an overlong U+07FF
        {"\xE0\xA0\x80"sv, true},             // U+0800
        {"\xE2\x82"sv, false},
        {"\xE2\x82\xAC"sv, true},             // €
        {"\xE2\x82\xAC\x80"sv, false},        // a continuation without a lead
        {"\xED\x9F\xBF"sv, true},             // U+D7FF
        {"\xED\xA0\x80"sv, false},            // a high surrogate
        {"\xED\xBF\xBF"sv, false},            // a low surrogate
        {"\xEE\x80\x80"sv, true},             // U+E000
        {"\xEF\xBF\xBF"sv, true},             // U+FFFF
        {"\xF0\x8F\xBF\xBF"sv, false},        // an overlong U+FFFF
        {"\xF0\x90\x80\x80"sv, true},         // U+10000
        {"\xF0\x9F\x98\x80"sv, true},
        {"\xF0\x9F\x98"sv, false},
        {"\xF4\x8F\xBF\xBF"sv, true},         // U+10FFFF
        {"\xF4\x90\x80\x80"sv, false},        // past U+10FFFF
        {"\xF5\x80\x80\x80"sv, false},
        {"\xF8\x88\x80\x80\x80"sv, false},    // five bytes
        {"\xFE\xFF"sv, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsUtf8(reinterpret_cast<const unsigned char*>(row.bytes.data()), row.bytes.size()), row.utf8)
            << "row " << (&row - rows);
}

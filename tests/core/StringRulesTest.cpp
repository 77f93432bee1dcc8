// The string algorithms, every row through the 8-bit form (with the code page
// 932 rule, where ASCII has no double-byte characters) and the 16-bit form.
#include "CodePage932.h"
#include "strings/StringRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace tolltone;

namespace {

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

constexpr int Poison = '#';

// Output buffer with a canary right behind the capacity.
template <class Unit>
struct Output {
    explicit Output(int capacity) : capacity(capacity), units(static_cast<size_t>(capacity) + 1, Unit(Poison)) {
        units[static_cast<size_t>(capacity)] = Unit('!');
    }
    Unit* data() { return units.data(); }
    std::basic_string<Unit> text() const { return units.data(); }
    bool canaryIntact() const { return units[static_cast<size_t>(capacity)] == Unit('!'); }
    int capacity;
    std::basic_string<Unit> units;
};

// Runs one copy-out style operation on both widths and checks output and result.
template <class Run>
void BothWidths(const std::string& text, int capacity, const std::string& expected, int result, Run run) {
    Output<char> narrow(capacity);
    EXPECT_EQ(run(text.c_str(), narrow.data(), capacity, fakes::CodePage932()), result) << "A";
    EXPECT_EQ(narrow.text(), expected) << "A";
    EXPECT_TRUE(narrow.canaryIntact()) << "A";

    const std::u16string wide = Wide(text);
    Output<char16_t> wideOut(capacity);
    EXPECT_EQ(run(wide.c_str(), wideOut.data(), capacity, NoDoubleByte{}), result) << "W";
    EXPECT_EQ(wideOut.text(), Wide(expected)) << "W";
    EXPECT_TRUE(wideOut.canaryIntact()) << "W";
}

} // namespace

TEST(CopyUntil, Examples) {
    const struct { std::string text; char stop; int limit; bool quotes; std::string out; } rows[] = {
        {"key=value", '=', 100, true, "key"},
        {"\"a=b\"=c", '=', 100, true, "a=b"},
        {"\"a=b\"=c", '=', 100, false, "\"a"},
        {"key=value", '=', 2, true, "ke"},
        {"abc", '=', 3, true, "abc"},
        {"abc", '=', 0, true, ""},
        {"abc", '=', -5, true, ""},
        {"", '=', 10, true, ""},
        {"a\"\"b=c", '=', 10, true, "a\"b=c"},  // the unit after a switching quote is taken literally
        {"\"\"\"=x", '=', 10, true, "\""},
        {"\"ab", '=', 10, true, "ab"},        // unclosed quote runs to the end
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        SCOPED_TRACE(r);
        // The contract: the output holds limit + 1 units.
        const int room = row.limit > 0 ? row.limit + 1 : 1;
        BothWidths(row.text, room, row.out, static_cast<int>(row.out.size()),
                   [&](auto text, auto out, int, const auto& rule) {
                       using Unit = std::remove_const_t<std::remove_pointer_t<decltype(text)>>;
                       return CopyUntil(text, Unit(row.stop), out, row.limit, row.quotes, rule);
                   });
    }
}

TEST(CopyAfter, ExamplesAndNoStopFound) {
    const struct { std::string text; int capacity; bool quotes; std::string out; int result; } rows[] = {
        {"key=value", 100, true, "value", 5}, {"a=b=c", 100, true, "b=c", 3}, {"=x", 100, true, "x", 1},
        {"x=", 100, true, "", 0}, {"\"a=b\"=c", 100, true, "c", 1}, {"\"a=b\"=c", 100, false, "b\"=c", 4},
        {"abc", 100, true, "", 0}, {"\"a=b", 100, true, "", 0}, {"", 100, true, "", 0},
        {"k=\"v\"", 100, true, "\"v\"", 3},
        {"k=abc", 4, true, "abc", 3}, {"k=abc", 3, true, "", 0},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        SCOPED_TRACE(r);
        BothWidths(row.text, row.capacity, row.out, row.result, [&](auto text, auto out, int cap, const auto& rule) {
            using Unit = std::remove_const_t<std::remove_pointer_t<decltype(text)>>;
            return CopyAfter(text, Unit('='), out, cap, row.quotes, rule);
        });
    }
}

TEST(Trim, ExamplesOfAllThreeSides) {
    enum Side { Left, Right, Both };
    const struct { Side side; std::string text; int capacity; std::string out; } rows[] = {
        {Left, "  ab  ", 100, "ab  "}, {Right, "  ab  ", 100, "  ab"}, {Both, "  ab  ", 100, "ab"},
        {Left, "   ", 100, "   "}, {Right, "   ", 100, " "}, {Both, "   ", 100, " "},
        {Both, "a b", 100, "a b"}, {Left, "", 100, ""}, {Right, "", 100, ""}, {Both, "", 100, ""},
        {Left, "  ab", 3, "ab"}, {Left, "  ab", 2, ""}, {Right, "ab  ", 3, "ab"}, {Right, "ab  ", 2, ""},
        {Both, "  ab  ", 5, "ab"}, {Both, "  ab  ", 4, ""},  // the left-trimmed text must fit
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        SCOPED_TRACE(r);
        BothWidths(row.text, row.capacity, row.out, static_cast<int>(row.out.size()),
                   [&](auto text, auto out, int cap, const auto& rule) {
                       using Unit = std::remove_const_t<std::remove_pointer_t<decltype(text)>>;
                       if (row.side == Left) return TrimLeft(text, out, cap, Unit(' '), rule);
                       if (row.side == Right) return TrimRight(text, out, cap, Unit(' '), rule);
                       return Trim(text, out, cap, Unit(' '), rule);
                   });
    }
}

TEST(Trim, RightTrimInPlace) {
    char buffer[] = "ab   ";
    EXPECT_EQ(TrimRight(buffer, buffer, 6, ' ', NoDoubleByte{}), 2);
    EXPECT_STREQ(buffer, "ab");
}

TEST(ZeroSuppress, Examples) {
    const struct { std::string text; std::string out; } rows[] = {
        {"000123", "123"}, {"0", ""}, {"000", ""}, {"-0012", "-0012"}, {"0.5", ".5"}, {"100", "100"}, {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        BothWidths(row.text, 100, row.out, static_cast<int>(row.out.size()),
                   [&](auto text, auto out, int cap, const auto& rule) { return ZeroSuppress(text, out, cap, rule); });
    }
    BothWidths("00123", 4, "123", 3, [](auto t, auto o, int c, const auto& r) { return ZeroSuppress(t, o, c, r); });
    BothWidths("00123", 3, "", 0, [](auto t, auto o, int c, const auto& r) { return ZeroSuppress(t, o, c, r); });
}

TEST(IsNumeric, OnlyAsciiDigits) {
    const struct { std::string text; int result; } rows[] = {
        {"0123", 1}, {"", 1}, {"-1", 0}, {"1.5", 0}, {"12a", 0}, {" 1", 0}, {"/", 0}, {":", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsNumeric(row.text.c_str()), row.result) << row.text;
        EXPECT_EQ(IsNumeric(Wide(row.text).c_str()), row.result) << row.text;
    }
    EXPECT_EQ(IsNumeric(u"\uFF11"), 0) << "a full-width digit is no digit";
    EXPECT_EQ(IsNumeric("\x82\x4F"), 0) << "nor a double-byte one";
}

TEST(SetDelimiter, GroupsFromTheRight) {
    const struct { std::string text; int capacity; int group; std::string out; int result; } rows[] = {
        {"1234567", 10, 3, "1,234,567", 9}, {"1234567", 9, 3, "", -1}, {"123456", 100, 3, "123,456", 7},
        {"1234", 100, 3, "1,234", 5}, {"123", 100, 3, "123", 3}, {"", 100, 3, "", 0},
        {"12345678", 100, 4, "1234,5678", 9}, {"123", 100, 1, "1,2,3", 5}, {"1", 2, 1, "1", 1},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        SCOPED_TRACE(r);
        BothWidths(row.text, row.capacity, row.out, row.result, [&](auto text, auto out, int cap, const auto& rule) {
            using Unit = std::remove_const_t<std::remove_pointer_t<decltype(text)>>;
            (void)rule;
            return SetDelimiter(text, out, cap, Unit(','), row.group, sizeof(Unit) == 1);
        });
    }
}

TEST(SetDelimiter, RefusalsLeaveTheOutputUntouched) {
    char out[8] = "keep";
    EXPECT_EQ(SetDelimiter("12a4", out, 8, ',', 3, true), -1);
    EXPECT_STREQ(out, "keep");
    for (int group : {0, -1, -100}) {
        EXPECT_EQ(SetDelimiter("1234", out, 8, ',', group, true), -1) << group;
        EXPECT_STREQ(out, "keep");
        char16_t wide[8] = u"keep";
        EXPECT_EQ(SetDelimiter(u"1234", wide, 8, u',', group, false), -1) << group;
        EXPECT_EQ(std::u16string(wide), u"keep");
    }
    char16_t wide[8];
    EXPECT_EQ(SetDelimiter(u"-123", wide, 8, u',', 3, false), 5) << "the W form groups any text";
    EXPECT_EQ(std::u16string(wide), u"-,123");
}

TEST(CodeSearch, PositionAndCount) {
    const struct { std::string text; int position; int count; } rows[] = {
        {"abc", 3, 0}, {"a,b", 1, 1}, {",", 0, 1}, {"", 0, 0}, {"a,b,,d", 1, 3}, {"\"a,b\",d", 2, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(CodeLength(row.text.c_str(), ','), row.position);
        EXPECT_EQ(CodeLength(Wide(row.text).c_str(), u','), row.position);
        EXPECT_EQ(CodeCount(row.text.c_str(), ',', fakes::CodePage932()), row.count);
        EXPECT_EQ(CodeCount(Wide(row.text).c_str(), u',', NoDoubleByte{}), row.count);
    }
    EXPECT_EQ(CodeLength("abc", '\0'), 3) << "the terminator is never compared";
}

// Code page 932: trail bytes that equal the character looked for.
TEST(DoubleByte932, TrailBytesAreTestedOnTheirOwn) {
    const auto& cp932 = fakes::CodePage932();
    // 0x81 0x40 is the ideographic space; 0x95 0x5C a kanji; 0x82 0x2C is no pair.
    EXPECT_EQ(CodeCount("\x95\x5C\\", '\x5C', cp932), 2) << "the lead is skipped, the trail counts";
    EXPECT_EQ(CodeCount("\x95\x5C", '\x95', cp932), 0) << "a double-byte start is never counted";
    EXPECT_EQ(CodeCount("\x82\x2C,", ',', cp932), 2) << "no pair: every byte counts";
    EXPECT_EQ(CodeLength("\x95\x5C", '\x95'), 0) << "the position search compares every byte";

    char out[16];
    // The trail byte is still compared with the stop character on its own.
    EXPECT_EQ(CopyUntil("\x95\\b\\c", '\\', out, 15, true, cp932), 1);
    EXPECT_STREQ(out, "\x95");
    EXPECT_EQ(CopyAfter("\x95\\b\\c", '\\', out, 16, true, cp932), 3);
    EXPECT_STREQ(out, "b\\c");
    // No 932 trail byte is a quote (0x22 is below the trail range): it switches.
    EXPECT_EQ(CopyUntil("\x95\"a=b\"=c", '=', out, 15, true, cp932), 4);
    EXPECT_STREQ(out, "\x95" "a=b");

    // Trim: a lead byte is never removed; a trail byte equal to the blank goes with its lead.
    EXPECT_EQ(TrimLeft("\x81\x40x", out, 16, '\x81', cp932), 3);
    EXPECT_EQ(TrimRight("ab\x81\x40", out, 16, '\x40', cp932), 2);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(TrimRight("ab\x81\x40", out, 16, '\x40', NoDoubleByte{}), 3) << "in 1252 only the 0x40";
    EXPECT_EQ(ZeroSuppress("00\x82\x4F", out, 16, cp932), 2);
    EXPECT_STREQ(out, "\x82\x4F");
}

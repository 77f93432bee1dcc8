// Splitting into string lists and their release, with an allocator that fails
// on request.
#include "CodePage932.h"
#include "strings/StringList.h"

#include "CountingAllocator.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace tolltone;
using tolltone::fakes::CountingAllocator;

namespace {

template <class Unit>
std::vector<std::basic_string<Unit>> Fields(const StrList<Unit>& list) {
    std::vector<std::basic_string<Unit>> fields;
    for (int i = 0; i < list.Count; ++i) fields.emplace_back(list.Items[i]);
    return fields;
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

} // namespace

TEST(Split, ExamplesThroughBothWidths) {
    const struct { std::string text; int result; std::vector<std::string> fields; } rows[] = {
        {"a,b,,d", 1, {"a", "b", "", "d"}}, {"", 0, {}}, {",", 1, {"", ""}}, {",a", 1, {"", "a"}},
        {"a,", 1, {"a", ""}}, {",,", 1, {"", "", ""}}, {"abc", 1, {"abc"}},
        {"\"a\",\"b\"", 1, {"a", "b"}}, {"\"x y\",\"z\"", 1, {"x y", "z"}}, {"\"a\",\"b\",", 1, {"a", "b", ""}},
        {"a,\"b\"", 1, {"a", "b"}}, {"\"a\"\"b\"", 1, {"a\"b"}}, {"a,\"b,d\"", 1, {"a", "b,", "d"}},
        {"1,2,3", 1, {"1", "2", "3"}},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        const auto& row = rows[r];
        SCOPED_TRACE(r);
        CountingAllocator heap;
        StrList<char> narrow{};
        EXPECT_EQ(SplitList(row.text.c_str(), ',', narrow, fakes::CodePage932(), heap), row.result);
        EXPECT_EQ(Fields(narrow), row.fields);
        DeleteList(narrow, heap);
        EXPECT_TRUE(heap.live.empty());

        StrList<char16_t> wide{};
        EXPECT_EQ(SplitList(Wide(row.text).c_str(), u',', wide, NoDoubleByte{}, heap), row.result);
        std::vector<std::u16string> expected;
        for (const auto& f : row.fields) expected.push_back(Wide(f));
        EXPECT_EQ(Fields(wide), expected);
        DeleteList(wide, heap);
        EXPECT_TRUE(heap.live.empty());
    }
}

TEST(Split, EmptyTextAllocatesNothing) {
    CountingAllocator heap;
    StrList<char> list{7, reinterpret_cast<char**>(&heap)};
    EXPECT_EQ(SplitList("", ',', list, NoDoubleByte{}, heap), 0);
    EXPECT_EQ(list.Count, 0);
    EXPECT_EQ(list.Items, nullptr);
    EXPECT_EQ(heap.allocations, 0);
}

TEST(Split, QuotedFieldsThatRunPastTheEndStayInsideTheText) {
    // Quoted mode moves each start by m + 3: with unquoted fields after the first
    // the start would pass the terminator.
    for (const std::string text : {"\"a\",b,c", "\"\",x,y,z", "\"abc\",,,,", "\"a\",b\"\",\"c"}) {
        SCOPED_TRACE(text);
        CountingAllocator heap;
        StrList<char> list{};
        EXPECT_EQ(SplitList(text.c_str(), ',', list, NoDoubleByte{}, heap), 1);
        EXPECT_EQ(list.Count, CodeCount(text.c_str(), ',', NoDoubleByte{}) + 1);
        for (int i = 0; i < list.Count; ++i) EXPECT_LE(std::char_traits<char>::length(list.Items[i]), text.size());
        DeleteList(list, heap);
        EXPECT_TRUE(heap.live.empty());
    }
}

// A list is one block, whatever the text's shape or rule: when it cannot be had
// the split gives 0 and an empty list.
TEST(Split, OneBlockOrNothing) {
    for (const std::string text : {"a,b,c,d", "\"a\",\"b\",", "a,\"b,d\"", "\x95\x5C,\x81\x40"}) {
        SCOPED_TRACE(text);
        for (const int failAt : {-1, 0}) {
            CountingAllocator plainHeap, doubleByteHeap;
            plainHeap.failAt = doubleByteHeap.failAt = failAt;
            StrList<char> plain{}, doubleByte{};
            EXPECT_EQ(SplitList(text.c_str(), ',', plain, NoDoubleByte{}, plainHeap), failAt < 0 ? 1 : 0);
            EXPECT_EQ(SplitList(text.c_str(), ',', doubleByte, fakes::CodePage932(), doubleByteHeap), failAt < 0 ? 1 : 0);
            EXPECT_EQ(plainHeap.allocations + doubleByteHeap.allocations, 2);
            EXPECT_EQ(Fields(plain), Fields(doubleByte));
            if (failAt == 0) {
                EXPECT_EQ(plain.Items, nullptr);
            }
            DeleteList(plain, plainHeap);
            DeleteList(doubleByte, doubleByteHeap);
            EXPECT_TRUE(plainHeap.live.empty() && doubleByteHeap.live.empty()) << "nothing leaked";
        }
    }
}

// Callers may reorder the items or lower Count; the release still frees the
// whole list, once.
TEST(Split, AReorderedOrShortenedListIsReleasedWhole) {
    CountingAllocator heap;
    StrList<char16_t> list{};
    ASSERT_EQ(SplitList(u"x,y,z", u',', list, NoDoubleByte{}, heap), 1);
    std::swap(list.Items[0], list.Items[2]);
    list.Count = 1;
    EXPECT_EQ(Fields(list), std::vector<std::u16string>{u"z"});
    DeleteList(list, heap);
    EXPECT_TRUE(heap.live.empty());
}

TEST(Split, ReleasingTwiceFreesNothingTheSecondTime) {
    CountingAllocator heap;
    StrList<char16_t> list{};
    ASSERT_EQ(SplitList(u"x,y", u',', list, NoDoubleByte{}, heap), 1);
    DeleteList(list, heap);
    EXPECT_EQ(list.Count, 0);
    EXPECT_EQ(list.Items, nullptr);
    DeleteList(list, heap);  // a second free would fail CountingAllocator::Free
    EXPECT_TRUE(heap.live.empty());
}

TEST(Split, ASplitOverAFilledListDoesNotReleaseIt) {
    CountingAllocator heap;
    StrList<char> list{};
    ASSERT_EQ(SplitList("a,b", ',', list, NoDoubleByte{}, heap), 1);
    StrList<char> first = list;
    ASSERT_EQ(SplitList("c", ',', list, NoDoubleByte{}, heap), 1);
    EXPECT_EQ(Fields(list), std::vector<std::string>{"c"});
    EXPECT_EQ(heap.live.size(), 2u) << "the first list is still the caller's";
    DeleteList(first, heap);
    DeleteList(list, heap);
    EXPECT_TRUE(heap.live.empty());
}

TEST(Split, TrailByteEqualToTheDelimiterIsTestedOnItsOwn) {
    // 0x95 0x5C is one character in 932; the string functions still test its
    // second byte on its own, so it delimits like the backslash after it.
    CountingAllocator heap;
    StrList<char> list{};
    ASSERT_EQ(SplitList("\x95\x5C\\b", '\\', list, fakes::CodePage932(), heap), 1);
    // The count skips the lead and counts both 0x5C bytes; the trail still ends
    // the first field's scan, like every delimiter of the text.
    EXPECT_EQ(list.Count, 3);
    DeleteList(list, heap);
    // A delimiter that is a lead byte is not counted, the copy keeps it, and the
    // next field starts after its trail: not the text cut at every such byte.
    ASSERT_EQ(SplitList("a\x95\x5C" "b\x95", '\x95', list, fakes::CodePage932(), heap), 1);
    EXPECT_EQ(Fields(list), (std::vector<std::string>{"a\x95", "b"}));
    DeleteList(list, heap);
    EXPECT_TRUE(heap.live.empty());
}

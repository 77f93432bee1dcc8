// The open-file dialog's selection buffers: count, expansion into a list,
// release, allocation failure.
#include "paths/MultiSelection.h"

#include "CountingAllocator.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace tolltone;
using tolltone::fakes::CountingAllocator;

namespace {

// A buffer from its strings: each followed by NUL, then one more NUL.
template <class Unit>
std::basic_string<Unit> Buffer(const std::vector<std::string>& parts) {
    std::basic_string<Unit> buffer;
    for (const auto& part : parts) {
        buffer.append(part.begin(), part.end());
        buffer.push_back(Unit(0));
    }
    buffer.push_back(Unit(0));
    return buffer;
}

template <class Unit>
std::vector<std::string> Paths(const StrList<Unit>& list) {
    std::vector<std::string> paths;
    for (int i = 0; i < list.Count; ++i) {
        std::basic_string<Unit> p(list.Items[i]);
        paths.emplace_back(p.begin(), p.end());
    }
    return paths;
}

template <class Unit>
void Expand(const std::vector<std::string>& parts, int length, int count, int result, const std::vector<std::string>& paths) {
    const auto buffer = Buffer<Unit>(parts);
    EXPECT_EQ(SelectionCount(buffer.c_str()), count);
    CountingAllocator heap;
    StrList<Unit> list{};
    EXPECT_EQ(SelectionFiles(buffer.c_str(), length < 0 ? static_cast<int>(buffer.size()) : length, list, heap), result);
    EXPECT_EQ(Paths(list), paths);
    EXPECT_EQ(heap.allocations, result > 0 ? 1 : 0) << "one block for the array and every path";
    DeleteList(list, heap);
    EXPECT_TRUE(heap.live.empty());
}

} // namespace

TEST(MultiSelection, BothLayoutsInBothWidths) {
    const struct { std::vector<std::string> parts; int length, count, result; std::vector<std::string> paths; } rows[] = {
        {{"C:\\dir\\a.txt"}, -1, 1, 1, {"C:\\dir\\a.txt"}},
        {{"C:\\dir", "a.txt", "b.txt"}, -1, 2, 2, {"C:\\dir\\a.txt", "C:\\dir\\b.txt"}},
        {{"C:\\", "a.txt", "b.txt"}, -1, 2, 2, {"C:\\\\a.txt", "C:\\\\b.txt"}},
        {{}, -1, 0, 0, {}},
        // Only what begins and ends before the length is read: b spans 13-18, c 19-24.
        {{"C:\\dir", "a.txt", "b.txt", "c.txt"}, 19, 3, 2, {"C:\\dir\\a.txt", "C:\\dir\\b.txt"}},
        {{"C:\\dir", "a.txt", "b.txt", "c.txt"}, 14, 3, 1, {"C:\\dir\\a.txt"}},
        {{"C:\\dir", "a.txt", "b.txt"}, 7, 2, 0, {}},   // no name begins inside
        // A single path is read whatever the length: the path's own, or none.
        {{"C:\\dir\\a.txt"}, 12, 1, 1, {"C:\\dir\\a.txt"}},
        {{"C:\\dir\\a.txt"}, 13, 1, 1, {"C:\\dir\\a.txt"}},
        {{"C:\\dir\\a.txt"}, 0, 1, 1, {"C:\\dir\\a.txt"}},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        SCOPED_TRACE(r);
        const auto& row = rows[r];
        Expand<char>(row.parts, row.length, row.count, row.result, row.paths);
        Expand<char16_t>(row.parts, row.length, row.count, row.result, row.paths);
    }
}

TEST(MultiSelection, SelectionsOfAnyLength) {
    std::vector<std::string> parts = {"D:\\" + std::string(250, 'd')};
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i) {
        parts.push_back("file-" + std::to_string(i) + ".wav");
        expected.push_back(parts[0] + "\\" + parts.back());
    }
    Expand<char16_t>(parts, -1, 3000, 3000, expected);
}

TEST(MultiSelection, AllocationFailureLeavesAnEmptyList) {
    const auto multiple = Buffer<char>({"C:\\dir", "a", "b", "c"});
    const std::string single("C:\\a.txt\0\0", 10);
    for (const std::string& buffer : {multiple, single}) {
        CountingAllocator heap;
        heap.failAt = 0;
        StrList<char> list{};
        EXPECT_EQ(SelectionFiles(buffer.c_str(), static_cast<int>(buffer.size()), list, heap), -1);
        EXPECT_EQ(list.Count, 0);
        EXPECT_EQ(list.Items, nullptr);
        EXPECT_TRUE(heap.live.empty());
    }
}

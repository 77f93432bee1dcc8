#include "CodePage932.h"
#include "paths/PathJoin.h"
#include "paths/PathRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace tolltone;

namespace {

std::u16string Units(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

} // namespace

TEST(DirectoryName, ExamplesThroughBothWidths) {
    const struct { const char* path; const char* directory; } rows[] = {
        {"C:\\dir\\file.txt", "C:\\dir"}, {"C:\\dir\\", "C:\\dir"}, {"C:\\file.txt", "C:"},
        {"C:\\", "C:"}, {"\\\\server\\share\\file", "\\\\server\\share"}, {"file.txt", ""},
        {"", ""}, {"\\file", ""}, {"a/b/c", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        char narrow[260];
        std::memset(narrow, 'x', sizeof narrow);
        const int length = DirectoryName(row.path, narrow, 260, fakes::CodePage932());
        EXPECT_STREQ(narrow, row.directory);
        EXPECT_EQ(length, static_cast<int>(std::strlen(row.directory)));

        const std::u16string path = Units(row.path);
        char16_t wide[260];
        EXPECT_EQ(DirectoryName(path.c_str(), wide, 260, NoDoubleByte{}), length);
        EXPECT_EQ(std::u16string(wide), Units(row.directory));
    }
}

TEST(DirectoryName, InPlaceOnOneBuffer) {
    char16_t buffer[260] = {};
    const std::u16string path = Units("C:\\Program Files\\App\\host.exe");
    std::copy(path.begin(), path.end(), buffer);
    EXPECT_EQ(DirectoryName(buffer, buffer, 260, NoDoubleByte{}), 20);
    EXPECT_EQ(std::u16string(buffer), Units("C:\\Program Files\\App"));
}

TEST(DirectoryName, ExactlyFullAndOneShort) {
    char out[9] = "########";
    out[7] = '!';  // canary behind a capacity of 7
    EXPECT_EQ(DirectoryName("C:\\dir\\x", out, 7, NoDoubleByte{}), 6);
    EXPECT_STREQ(out, "C:\\dir");
    EXPECT_EQ(out[7], '!');
    std::memset(out, '#', 6);
    EXPECT_EQ(DirectoryName("C:\\dir\\x", out, 6, NoDoubleByte{}), 0);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], '#') << "only emptied, nothing more written";
    EXPECT_EQ(DirectoryName("C:\\dir\\x", out, 0, NoDoubleByte{}), 0);
    EXPECT_EQ(out[1], '#');
}

TEST(DirectoryName, TrailByte5CNeverSplitsUnderCodePage932) {
    // 0x95 0x5C is one character (a kanji) in code page 932.
    const char path[] = "C:\\\x95\x5C\\file";
    char out[260];
    EXPECT_EQ(DirectoryName(path, out, 260, fakes::CodePage932()), 5);
    EXPECT_STREQ(out, "C:\\\x95\x5C");
    EXPECT_EQ(DirectoryName("C:\\\x95\x5C" "file", out, 260, fakes::CodePage932()), 2);
    EXPECT_STREQ(out, "C:");
    // Without the double-byte rule the trail byte is a backslash.
    EXPECT_EQ(DirectoryName("C:\\\x95\x5C" "file", out, 260, NoDoubleByte{}), 4);
    // A lead byte right before the terminator is an ordinary byte.
    EXPECT_EQ(DirectoryName("C:\\a\\\x95", out, 260, fakes::CodePage932()), 4);
}

TEST(PathJoin, JoinsWithSingleBackslashesAndNeverOverflows) {
    char out[12];
    EXPECT_TRUE(JoinPath<char>(out, 12, {"C:", "a", "b.ini"}));
    EXPECT_STREQ(out, "C:\\a\\b.ini");
    EXPECT_TRUE(JoinPath<char>(out, 11, {"C:", "a", "b.ini"})) << "exactly full";
    std::memset(out, '#', sizeof out);
    out[10] = '!';
    EXPECT_FALSE(JoinPath<char>(out, 10, {"C:", "a", "b.ini"}));
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[10], '!');
    EXPECT_FALSE(JoinPath<char>(out, 4, {"C:", "ab"})) << "the separator alone does not fit";
    EXPECT_EQ(out[0], '\0');
}

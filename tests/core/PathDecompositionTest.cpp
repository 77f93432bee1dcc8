// Path decomposition, every row through the 8-bit form (code page 932 rule) and
// the 16-bit form.
#include "CodePage932.h"
#include "paths/PathDecomposition.h"

#include <gtest/gtest.h>

#include <string>

using namespace tolltone;

namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

enum class Op { Name, Ext, NotExt, Drive };

template <class Unit, class Rule>
int Run(Op op, const Unit* path, Unit* out, int capacity, const Rule& rule) {
    switch (op) {
    case Op::Name: return FileName(path, out, capacity, rule);
    case Op::Ext: return FileExtension(path, out, capacity, rule);
    case Op::NotExt: return PathWithoutExtension(path, out, capacity, rule);
    case Op::Drive: return DriveName(path, out, capacity, rule);
    }
    return -99;
}

struct Row {
    Op op;
    std::string path;
    int capacity;
    std::string out;
    int result;
};

void Check(const Row& row) {
    std::string narrow(static_cast<size_t>(row.capacity) + 1, '#');
    narrow.back() = '!';
    EXPECT_EQ(Run(row.op, row.path.c_str(), narrow.data(), row.capacity, fakes::CodePage932()), row.result) << "A";
    EXPECT_STREQ(narrow.c_str(), row.out.c_str()) << "A";
    EXPECT_EQ(narrow.back(), '!') << "A: nothing written past the capacity";

    const std::u16string path = Wide(row.path);
    std::u16string wide(static_cast<size_t>(row.capacity) + 1, u'#');
    wide.back() = u'!';
    EXPECT_EQ(Run(row.op, path.c_str(), wide.data(), row.capacity, NoDoubleByte{}), row.result) << "W";
    EXPECT_EQ(std::u16string(wide.c_str()), Wide(row.out)) << "W";
    EXPECT_EQ(wide.back(), u'!') << "W";
}

} // namespace

TEST(PathDecomposition, ExamplesAndEdges) {
    const Row rows[] = {
        {Op::Name, "C:\\dir\\file.txt", 100, "file.txt", 8}, {Op::Name, "C:file.txt", 100, "file.txt", 8},
        {Op::Name, "C:\\dir\\", 100, "", 0}, {Op::Name, "C:\\", 100, "", 0},
        {Op::Name, "file.txt", 100, "file.txt", 8}, {Op::Name, "\\file", 100, "file", 4}, {Op::Name, "", 100, "", 0},
        {Op::Name, "C:\\dir\\abc", 4, "abc", 3}, {Op::Name, "C:\\dir\\abc", 3, "", 0},
        {Op::Ext, "C:\\dir\\a.tar.gz", 100, "gz", 2}, {Op::Ext, "C:\\dir\\file.", 100, "", 0},
        {Op::Ext, "C:\\dir\\file", 100, "", 0}, {Op::Ext, "C:\\d.ir\\file", 100, "", 0}, {Op::Ext, "", 100, "", 0},
        {Op::Ext, "a.txt", 4, "txt", 3}, {Op::Ext, "a.txt", 3, "", 0},
        {Op::NotExt, "C:\\dir\\file.txt", 100, "C:\\dir\\file", 11}, {Op::NotExt, "C:\\dir\\a.tar.gz", 100, "C:\\dir\\a.tar", 12},
        {Op::NotExt, "C:\\dir\\file", 100, "C:\\dir\\file", 11}, {Op::NotExt, "C:\\d.ir\\file", 100, "C:\\d.ir\\file", 12},
        {Op::NotExt, "name", 100, "name", 4}, {Op::NotExt, "", 100, "", 0}, {Op::NotExt, "ab.c", 2, "", 0},
        {Op::Drive, "C:\\dir\\file", 100, "C", 1}, {Op::Drive, "\\\\server\\share", 100, "", -1},
        {Op::Drive, "d:\\x", 100, "d", 1}, {Op::Drive, "name:stream", 100, "name", 4}, {Op::Drive, "", 100, "", -1},
        {Op::Drive, "C:\\", 100, "C", 1}, {Op::Drive, "\"a:b\":c", 100, "a:b", 3},
        {Op::Drive, "abc:", 4, "abc", 3}, {Op::Drive, "abcd:", 4, "", 0}, {Op::Drive, "abcdefgh:", 4, "", 0},
    };
    for (size_t r = 0; r < std::size(rows); ++r) {
        SCOPED_TRACE(::testing::Message() << "row " << r << ": " << rows[r].path);
        Check(rows[r]);
    }
}

TEST(PathDecomposition, DriveNumber) {
    auto upper = [](auto c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    const struct { std::string path; int number; } rows[] = {
        {"d:\\x", 4}, {"C:\\", 3}, {"a:", 1}, {"Z:", 26}, {"\\\\server\\share", -1}, {"", -1}, {"C", -1},
        {"1:", '1' - 64}, {"name:stream", -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DriveNumber(row.path.c_str(), upper), row.number) << row.path;
        EXPECT_EQ(DriveNumber(Wide(row.path).c_str(), upper), row.number) << row.path;
    }
}

TEST(SplitPath, Examples) {
    const struct { std::string path, drive, directory, name, extension; } rows[] = {
        {"C:\\dir\\sub\\name.ext", "C:", "\\dir\\sub", "name", "ext"},
        {"C:\\name.ext", "C:", "", "name", "ext"},
        {"C:\\dir\\a.tar.gz", "C:", "\\dir", "a.tar", "gz"},
        {"C:\\dir\\.profile", "C:", "\\dir", "", "profile"},
        {"\\\\server\\share\\dir\\name.ext", "\\\\", "server\\share\\dir", "name", "ext"},
        {"C:\\dir\\name", "C:", "\\dir", "name", ""},
        {"C:\\d.ir\\name", "C:", "\\d.ir", "name", ""},
        {"file.txt", "fi", "", "file", "txt"},
        {"x", "x", "", "x", ""},
        {"", "", "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        char drive[3], directory[260], name[260], extension[260];
        EXPECT_EQ(SplitPath(row.path.c_str(), drive, directory, name, extension, fakes::CodePage932()), 0);
        EXPECT_EQ(std::string(drive), row.drive);
        EXPECT_EQ(std::string(directory), row.directory);
        EXPECT_EQ(std::string(name), row.name);
        EXPECT_EQ(std::string(extension), row.extension);

        char16_t wd[3], wdir[260], wn[260], we[260];
        EXPECT_EQ(SplitPath(Wide(row.path).c_str(), wd, wdir, wn, we, NoDoubleByte{}), 0);
        EXPECT_EQ(std::u16string(wdir), Wide(row.directory));
        EXPECT_EQ(std::u16string(we), Wide(row.extension));
    }
}

TEST(SplitPath, PartsThatDoNotFitAreEmptiedOnTheirOwn) {
    const std::string longName(300, 'n');
    char drive[3], directory[260], name[260], extension[260];
    EXPECT_EQ(SplitPath(("C:\\dir\\" + longName + ".ext").c_str(), drive, directory, name, extension, NoDoubleByte{}), 0);
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(extension, "ext");
    EXPECT_NE(SplitPath(("C:\\dir\\a." + longName).c_str(), drive, directory, name, extension, NoDoubleByte{}), 0);
    EXPECT_STREQ(extension, "");
    EXPECT_STREQ(name, "a");
    EXPECT_EQ(SplitPath(("C:\\dir\\a." + std::string(259, 'e')).c_str(), drive, directory, name, extension, NoDoubleByte{}), 0)
        << "259 units still fit";
}

TEST(PathDecomposition, TrailByte5CNeverSplitsAPathUnderCodePage932) {
    const auto& cp932 = fakes::CodePage932();
    // 0x95 0x5C and 0x8F 0x5C are kanji whose second byte is a backslash.
    const char path[] = "C:\\\x95\x5C\\\x8F\x5C.t\x95\x5C";
    char out[260];
    EXPECT_EQ(FileName(path, out, 260, cp932), 6);
    EXPECT_STREQ(out, "\x8F\x5C.t\x95\x5C");
    EXPECT_EQ(FileExtension(path, out, 260, cp932), 3);
    EXPECT_STREQ(out, "t\x95\x5C");
    EXPECT_EQ(PathWithoutExtension(path, out, 260, cp932), 8);
    EXPECT_EQ(DirectoryName(path, out, 260, cp932), 5);
    char drive[3], directory[260], name[260], extension[260];
    SplitPath(path, drive, directory, name, extension, cp932);
    EXPECT_STREQ(directory, "\\\x95\x5C");
    EXPECT_STREQ(name, "\x8F\x5C");
    // A file name that is only a kanji ending in 0x5C: no split inside it.
    EXPECT_EQ(FileName("\x95\x5C", out, 260, cp932), 2);
    EXPECT_EQ(FileName("\x95\x5C", out, 260, NoDoubleByte{}), 0) << "in 1252 it ends in a backslash";
}

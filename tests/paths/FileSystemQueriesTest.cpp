// The QM_ file-system queries of the built module on real files, A and W forms.
#include "support/WinTestSupport.h"

#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Both forms of each query, called through the module's exports.
struct Queries {
    explicit Queries(HMODULE module)
        : checkFileA(Entry<int(WINAPI*)(const char*)>(module, "QM_CheckFileA")),
          checkFileW(Entry<int(WINAPI*)(const wchar_t*)>(module, "QM_CheckFileW")),
          checkDirectoryA(Entry<int(WINAPI*)(const char*)>(module, "QM_CheckDirectoryA")),
          checkDirectoryW(Entry<int(WINAPI*)(const wchar_t*)>(module, "QM_CheckDirectoryW")),
          createDirectoryA(Entry<int(WINAPI*)(const char*)>(module, "QM_CreateDirectoryA")),
          createDirectoryW(Entry<int(WINAPI*)(const wchar_t*)>(module, "QM_CreateDirectoryW")),
          fileSizeA(Entry<int(WINAPI*)(const char*, int64_t*)>(module, "QM_GetFileSizeA")),
          fileSizeW(Entry<int(WINAPI*)(const wchar_t*, int64_t*)>(module, "QM_GetFileSizeW")),
          fileTimeA(Entry<int(WINAPI*)(const char*, FILETIME*, FILETIME*, FILETIME*)>(module, "QM_GetFileTimeA")),
          fileTimeW(Entry<int(WINAPI*)(const wchar_t*, FILETIME*, FILETIME*, FILETIME*)>(module, "QM_GetFileTimeW")) {}

    int (WINAPI* checkFileA)(const char*);
    int (WINAPI* checkFileW)(const wchar_t*);
    int (WINAPI* checkDirectoryA)(const char*);
    int (WINAPI* checkDirectoryW)(const wchar_t*);
    int (WINAPI* createDirectoryA)(const char*);
    int (WINAPI* createDirectoryW)(const wchar_t*);
    int (WINAPI* fileSizeA)(const char*, int64_t*);
    int (WINAPI* fileSizeW)(const wchar_t*, int64_t*);
    int (WINAPI* fileTimeA)(const char*, FILETIME*, FILETIME*, FILETIME*);
    int (WINAPI* fileTimeW)(const wchar_t*, FILETIME*, FILETIME*, FILETIME*);
};

std::wstring CurrentDirectory() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring text(needed, L'\0');
    text.resize(::GetCurrentDirectoryW(needed, text.data()));
    return text;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

class FileSystemQueriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_);
        ASSERT_TRUE(WriteBytes(File(L"five.ini"), "12345"));
        ASSERT_TRUE(::CreateDirectoryW(File(L"sub").c_str(), nullptr));
        savedDirectory_ = CurrentDirectory();
    }
    void TearDown() override {
        ::SetCurrentDirectoryW(savedDirectory_.c_str());
        RemoveTree(folder_.File(L"sub"));
        RemoveTree(folder_.File(L"made"));
    }
    std::wstring File(const wchar_t* name) const { return folder_.File(name); }

    UniqueModule module_ = LoadTolltone();
    Queries q_{module_.Get()};
    TempFolder folder_{L"tolltone-fs"};
    std::wstring savedDirectory_;
};

} // namespace

TEST_F(FileSystemQueriesTest, CheckFileFindsFilesDirectoriesAndPatterns) {
    const struct { std::wstring path; int expected; } rows[] = {
        {File(L"five.ini"), 1}, {File(L"missing.ini"), 0}, {File(L"sub"), 1},
        {File(L"*.ini"), 1}, {File(L"f?ve.*"), 1}, {File(L"*.xyz"), 0},
        {File(L"sub") + L"\\", 0}, {L"C:\\", 0}, {L"", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.path));
        EXPECT_EQ(q_.checkFileW(row.path.c_str()), row.expected);
        EXPECT_EQ(q_.checkFileA(Narrow(row.path).c_str()), row.expected);
    }
}

TEST_F(FileSystemQueriesTest, CheckDirectoryEntersAndComesBack) {
    const struct { std::wstring path; int expected; } rows[] = {
        {File(L"sub"), 1}, {folder_.Path(), 1}, {L"C:\\", 1}, {File(L"five.ini"), 0}, {File(L"missing"), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.path));
        EXPECT_EQ(q_.checkDirectoryW(row.path.c_str()), row.expected);
        EXPECT_EQ(CurrentDirectory(), savedDirectory_);
        EXPECT_EQ(q_.checkDirectoryA(Narrow(row.path).c_str()), row.expected);
        EXPECT_EQ(CurrentDirectory(), savedDirectory_);
    }
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.Path().c_str()));
    EXPECT_EQ(q_.checkDirectoryW(L"sub"), 1) << "relative to the current directory";
    EXPECT_EQ(CurrentDirectory(), folder_.Path());
}

TEST_F(FileSystemQueriesTest, CheckDirectoryRestoresACurrentDirectoryLongerThanThePathLimit) {
    std::wstring deep = File(L"sub");
    while (deep.size() < 300) {
        deep += L"\\" + std::wstring(40, L'd');
        ::CreateDirectoryW(deep.c_str(), nullptr);
    }
    if (!::SetCurrentDirectoryW(deep.c_str()))
        GTEST_SKIP() << "the platform refuses a current directory of " << deep.size() << " characters";
    ASSERT_GT(CurrentDirectory().size(), 260u);
    EXPECT_EQ(q_.checkDirectoryW(folder_.Path().c_str()), 1);
    EXPECT_EQ(CurrentDirectory(), deep);
    EXPECT_EQ(q_.checkDirectoryA(Narrow(folder_.Path()).c_str()), 1);
    EXPECT_EQ(CurrentDirectory(), deep);
}

TEST_F(FileSystemQueriesTest, CreateDirectoryMakesEveryMissingLevel) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "W" : "A");
        const std::wstring top = File(L"made");
        const std::wstring path = top + L"\\a\\b\\c";
        auto create = [&](const std::wstring& p) {
            return wide ? q_.createDirectoryW(p.c_str()) : q_.createDirectoryA(Narrow(p).c_str());
        };
        EXPECT_EQ(create(path), 1);
        EXPECT_TRUE(IsDirectory(top + L"\\a\\b\\c"));
        EXPECT_EQ(create(path), 0) << "already there";

        EXPECT_EQ(create(top + L"\\x\\y\\"), 1) << "one trailing backslash";
        EXPECT_TRUE(IsDirectory(top + L"\\x\\y"));

        ASSERT_TRUE(::SetCurrentDirectoryW(top.c_str()));
        EXPECT_EQ(create(L"rel\\ative"), 1);
        EXPECT_TRUE(IsDirectory(top + L"\\rel\\ative"));
        ::SetCurrentDirectoryW(savedDirectory_.c_str());

        EXPECT_EQ(create(L""), 0);
        RemoveTree(top);
    }
}

TEST_F(FileSystemQueriesTest, CreateDirectoryRefusesPathsOfThePathLimitOrMore) {
    const std::wstring top = File(L"made");
    for (size_t length : {size_t(260), size_t(261), size_t(400)}) {
        std::wstring path = top + L"\\";
        path += std::wstring(length - path.size(), L'n');
        EXPECT_EQ(q_.createDirectoryW(path.c_str()), 0) << length;
        EXPECT_EQ(q_.createDirectoryA(Narrow(path).c_str()), 0) << length;
        EXPECT_FALSE(IsDirectory(top)) << "nothing is created, not even a parent";
    }
    std::wstring fits = top + L"\\";
    fits += std::wstring(259 - fits.size(), L'n');
    EXPECT_EQ(q_.createDirectoryW(fits.c_str()), 1) << "259 characters still fit";
}

TEST_F(FileSystemQueriesTest, FileSizeInBothWidths) {
    int64_t size = -7;
    EXPECT_EQ(q_.fileSizeW(File(L"five.ini").c_str(), &size), 5);
    EXPECT_EQ(size, 5);
    size = -7;
    EXPECT_EQ(q_.fileSizeA(Narrow(File(L"five.ini")).c_str(), &size), 5);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(q_.fileSizeW(File(L"five.ini").c_str(), nullptr), 5);

    for (const std::wstring& bad : {File(L"missing.ini"), File(L"sub")}) {
        size = -7;
        EXPECT_EQ(q_.fileSizeW(bad.c_str(), &size), -1);
        EXPECT_EQ(q_.fileSizeA(Narrow(bad).c_str(), &size), -1);
        EXPECT_EQ(q_.fileSizeW(bad.c_str(), nullptr), -1);
        EXPECT_EQ(size, -7) << "output untouched";
    }
}

TEST_F(FileSystemQueriesTest, FileOpenElsewhereFailsBothQueries) {
    for (DWORD access : {DWORD(GENERIC_READ), DWORD(GENERIC_WRITE)}) {
        UniqueKernelHandle other(::CreateFileW(File(L"five.ini").c_str(), access,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(other.Get(), INVALID_HANDLE_VALUE);
        int64_t size = -7;
        FILETIME written{};
        EXPECT_EQ(q_.fileSizeW(File(L"five.ini").c_str(), &size), -1);
        EXPECT_EQ(q_.fileSizeA(Narrow(File(L"five.ini")).c_str(), &size), -1);
        EXPECT_EQ(q_.fileTimeW(File(L"five.ini").c_str(), nullptr, nullptr, &written), 0);
        EXPECT_EQ(q_.fileTimeA(Narrow(File(L"five.ini")).c_str(), nullptr, nullptr, &written), 0);
        EXPECT_EQ(size, -7);
    }
}

TEST_F(FileSystemQueriesTest, SizeAboveFourGigabytesOfASparseFile) {
    const std::wstring path = File(L"sparse.bin");
    {
        UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, 0, nullptr));
        ASSERT_NE(file.Get(), INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        ::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = (int64_t(1) << 32) + 1;
        if (!::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
            GTEST_SKIP() << "no sparse 4 GiB file here";
    }
    int64_t size = 0;
    EXPECT_EQ(q_.fileSizeW(path.c_str(), &size), 1);
    EXPECT_EQ(size, (int64_t(1) << 32) + 1);
    EXPECT_EQ(q_.fileSizeA(Narrow(path).c_str(), nullptr), 1) << "the low 32 bits";
    ::DeleteFileW(path.c_str());
}

TEST_F(FileSystemQueriesTest, FileTimeFillsOnlyTheOutputsGiven) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(::GetFileAttributesExW(File(L"five.ini").c_str(), GetFileExInfoStandard, &data));
    const FILETIME poison{0xDEADBEEF, 0xDEADBEEF};
    FILETIME creation = poison, access = poison, written = poison;
    EXPECT_NE(q_.fileTimeW(File(L"five.ini").c_str(), nullptr, nullptr, &written), 0);
    EXPECT_EQ(written.dwLowDateTime, data.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(written.dwHighDateTime, data.ftLastWriteTime.dwHighDateTime);
    EXPECT_NE(q_.fileTimeA(Narrow(File(L"five.ini")).c_str(), &creation, &access, nullptr), 0);
    EXPECT_EQ(creation.dwLowDateTime, data.ftCreationTime.dwLowDateTime);

    written = poison;
    EXPECT_EQ(q_.fileTimeW(File(L"missing.ini").c_str(), &creation, &access, &written), 0);
    EXPECT_EQ(q_.fileTimeW(File(L"sub").c_str(), nullptr, nullptr, &written), 0) << "a directory";
    EXPECT_EQ(written.dwLowDateTime, poison.dwLowDateTime);
}

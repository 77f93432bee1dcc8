// Dialog resource 3000 of the built module, field by field against its table,
// and the manifest that binds it to common controls 6.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace tolltone;
using namespace tolltone::fakes;

namespace {

// Reads a classic dialog template.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : start_(data), p_(data) {}
    WORD Word() { WORD w; std::memcpy(&w, p_, 2); p_ += 2; return w; }
    DWORD Dword() { DWORD d; std::memcpy(&d, p_, 4); p_ += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    std::wstring Text() {
        std::wstring s;
        for (WORD w = Word(); w != 0; w = Word()) s.push_back(static_cast<wchar_t>(w));
        return s;
    }
    // A class or title: an ordinal (0xFFFF then the number) or a string.
    std::wstring TextOrOrdinal() {
        WORD first;
        std::memcpy(&first, p_, 2);
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return Text();
    }
    void AlignDword() { p_ = start_ + ((p_ - start_ + 3) & ~size_t(3)); }

private:
    const BYTE* start_;
    const BYTE* p_;
};

struct Item {
    int id;
    const wchar_t* cls;
    DWORD style;
    const wchar_t* text;
    short x, y, cx, cy;
};

const Item Items[] = {
    {100, L"BUTTON", 0x50000007, L"モジュール(&M)", 8, 6, 184, 30},
    {101, L"BUTTON", 0x50020009, L"モジュールを使用する", 16, 18, 78, 12},
    {102, L"BUTTON", 0x50000009, L"モジュールを使用しない", 102, 18, 82, 12},
    {103, L"BUTTON", 0x58000007, L"時報音の鳴らし方(&S)", 8, 44, 116, 44},
    {104, L"BUTTON", 0x58020009, L"指定間隔毎に\uFF11回ずつ鳴らす", 16, 56, 104, 12},
    {105, L"BUTTON", 0x58000009, L"時刻回数分鳴らす", 16, 70, 106, 12},
    {106, L"BUTTON", 0x58000007, L"時間制(&T)", 130, 44, 62, 44},
    {107, L"BUTTON", 0x58020009, L"12時間制", 138, 56, 48, 12},
    {108, L"BUTTON", 0x58000009, L"24時間制", 138, 70, 48, 12},
    {109, L"BUTTON", 0x58000007, L"時報サウンド(&S)", 8, 92, 184, 62},
    {110, L"STATIC", 0x58020000, L"時報間隔(&V):", 16, 105, 48, 10},
    {111, L"COMBOBOX", 0x58210003, L"", 64, 102, 48, 58},
    {112, L"STATIC", 0x58020000, L"分", 117, 104, 16, 8},
    {113, L"STATIC", 0x58020000, L"WAVファイル名(&F):", 16, 120, 58, 10},
    {114, L"EDIT", 0x58810080, L"", 16, 131, 156, 12},
    {115, L"BUTTON", 0x58010000, L"...", 172, 130, 12, 13},
    {116, L"BUTTON", 0x58010300, L"テスト(&T)", 129, 114, 43, 14},
    {1, L"BUTTON", 0x50010001, L"了解", 56, 162, 43, 14},
    {2, L"BUTTON", 0x50010000, L"取消", 102, 162, 43, 14},
    {117, L"BUTTON", 0x50010300, L"ヘルプ(&H)", 148, 162, 43, 14},
    {118, L"BUTTON", 0x50010000, L"詳細(&D)...", 8, 162, 44, 14},  // after the twenty, which keep their bytes
};

// A predefined class may be stored by name or by its ordinal; both are one class.
std::wstring ClassName(const std::wstring& stored) {
    if (stored == L"#128") return L"BUTTON";
    if (stored == L"#129") return L"EDIT";
    if (stored == L"#130") return L"STATIC";
    if (stored == L"#133") return L"COMBOBOX";
    return stored;
}

std::string Resource(HMODULE module, LPCWSTR type, int id) {
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return std::string(data, ::SizeofResource(module, found));
}

} // namespace

TEST(DialogTemplate, EveryFieldAsTheTableGivesIt) {
    const UniqueModule module = LoadTolltone();
    ASSERT_TRUE(module);
    const std::string bytes = Resource(module.Get(), RT_DIALOG, 3000);
    ASSERT_FALSE(bytes.empty());
    TemplateReader r(reinterpret_cast<const BYTE*>(bytes.data()));
    EXPECT_EQ(r.Dword(), 0x80C800C4u) << "style";
    EXPECT_EQ(r.Dword(), 0x00000001u) << "extended style";
    ASSERT_EQ(r.Word(), 21) << "controls";
    EXPECT_EQ(r.Short(), 32);
    EXPECT_EQ(r.Short(), 32);
    EXPECT_EQ(r.Short(), 200);
    EXPECT_EQ(r.Short(), 183);
    EXPECT_EQ(r.TextOrOrdinal(), L"") << "no menu";
    EXPECT_EQ(r.TextOrOrdinal(), L"") << "default class";
    EXPECT_EQ(r.Text(), L"時報モジュール");
    EXPECT_EQ(r.Word(), 10) << "point size";
    EXPECT_EQ(r.Text(), L"\uFF2D\uFF33 \uFF30ゴシック");
    for (const Item& item : Items) {
        SCOPED_TRACE(item.id);
        r.AlignDword();
        EXPECT_EQ(r.Dword(), item.style);
        EXPECT_EQ(r.Dword(), 0u) << "extended style";
        EXPECT_EQ(r.Short(), item.x);
        EXPECT_EQ(r.Short(), item.y);
        EXPECT_EQ(r.Short(), item.cx);
        EXPECT_EQ(r.Short(), item.cy);
        EXPECT_EQ(r.Word(), item.id);
        EXPECT_EQ(ClassName(r.TextOrOrdinal()), item.cls);
        EXPECT_EQ(r.TextOrOrdinal(), item.text);
        EXPECT_EQ(r.Word(), 0) << "no creation data";
    }
}

TEST(DialogTemplate, ManifestBindsCommonControlsSix) {
    const UniqueModule module = LoadTolltone();
    const std::string manifest = Resource(module.Get(), MAKEINTRESOURCEW(24), 2);
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "processorArchitecture=\"amd64\"",
                             "level=\"asInvoker\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

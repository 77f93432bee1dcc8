// Throughput of the QM_ string functions: natively on the core templates, and
// cross-built on the exports of Tolltone.dll under Wine. Prints figures and
// ratios measured in this one run; asserts nothing.
//   strings_bench            (natively: W = char16_t, A under a code page 932 rule)
//   strings_bench.exe        (Wine: the DLL's W exports; A in the active code page)
#include "strings/StringList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
using WideUnit = wchar_t;
#else
#include "CodePage932.h"
using WideUnit = char16_t;
#endif

using namespace tolltone;

namespace {

template <class Unit>
struct Functions {
    int (*codeCount)(const Unit*, Unit);
    int (*codeLength)(const Unit*, Unit);
    int (*split)(const Unit*, Unit, StrList<Unit>*);
    void (*release)(StrList<Unit>*);
    int (*copyUntil)(const Unit*, Unit, Unit*, int, int);
    int (*copyAfter)(const Unit*, Unit, Unit*, int, int);
    int (*trimLeft)(const Unit*, Unit*, int, Unit);
    int (*trimRight)(const Unit*, Unit*, int, Unit);
    int (*trim)(const Unit*, Unit*, int, Unit);
    int (*zeroSuppress)(const Unit*, Unit*, int);
    int (*isNumeric)(const Unit*);
    int (*setDelimiter)(const Unit*, Unit*, int, Unit, int);
};

#ifdef _WIN32
template <class F>
void Bind(HMODULE module, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (f == nullptr) std::printf("missing export %s\n", name);
}
template <class Unit>
Functions<Unit> Exports(HMODULE m, char suffix) {
    Functions<Unit> f{};
    auto name = [&](const char* base) {
        static char text[64];
        std::snprintf(text, sizeof text, "%s%c", base, suffix);
        return text;
    };
    Bind(m, name("QM_GetCodeCount"), f.codeCount);
    Bind(m, name("QM_GetCodeLength"), f.codeLength);
    Bind(m, name("QM_StringSplit"), f.split);
    Bind(m, name("QM_DeleteStrList"), f.release);
    Bind(m, name("QM_StringCopyEx"), f.copyUntil);
    Bind(m, name("QM_StringCopyExAfter"), f.copyAfter);
    Bind(m, name("QM_StringTrimLeft"), f.trimLeft);
    Bind(m, name("QM_StringTrimRight"), f.trimRight);
    Bind(m, name("QM_StringTrim"), f.trim);
    Bind(m, name("QM_StringZeroSuppress"), f.zeroSuppress);
    Bind(m, name("QM_IsNumeric"), f.isNumeric);
    Bind(m, name("QM_StringSetDelimiter"), f.setDelimiter);
    return f;
}
#else
template <class Rule>
const Rule& RuleOf() {
    if constexpr (std::is_same_v<Rule, NoDoubleByte>) {
        static const NoDoubleByte none;
        return none;
    } else {
        return fakes::CodePage932();
    }
}

template <class Unit, class Rule>
Functions<Unit> Core() {
    Functions<Unit> f{};
    f.codeCount = [](const Unit* t, Unit x) { return CodeCount(t, x, RuleOf<Rule>()); };
    f.codeLength = [](const Unit* t, Unit x) { return CodeLength(t, x); };
    f.split = [](const Unit* t, Unit d, StrList<Unit>* l) { return SplitList(t, d, *l, RuleOf<Rule>(), CrtAllocator{}); };
    f.release = [](StrList<Unit>* l) { DeleteList(*l, CrtAllocator{}); };
    f.copyUntil = [](const Unit* t, Unit x, Unit* o, int lim, int q) { return CopyUntil(t, x, o, lim, q != 0, RuleOf<Rule>()); };
    f.copyAfter = [](const Unit* t, Unit x, Unit* o, int c, int q) { return CopyAfter(t, x, o, c, q != 0, RuleOf<Rule>()); };
    f.trimLeft = [](const Unit* t, Unit* o, int c, Unit b) { return TrimLeft(t, o, c, b, RuleOf<Rule>()); };
    f.trimRight = [](const Unit* t, Unit* o, int c, Unit b) { return TrimRight(t, o, c, b, RuleOf<Rule>()); };
    f.trim = [](const Unit* t, Unit* o, int c, Unit b) { return Trim(t, o, c, b, RuleOf<Rule>()); };
    f.zeroSuppress = [](const Unit* t, Unit* o, int c) { return ZeroSuppress(t, o, c, RuleOf<Rule>()); };
    f.isNumeric = [](const Unit* t) { return IsNumeric(t); };
    f.setDelimiter = [](const Unit* t, Unit* o, int c, Unit s, int g) {
        return SetDelimiter(t, o, c, s, g, sizeof(Unit) == 1);
    };
    return f;
}
#endif

// Best time of one call, repeated for at least 0.3 s and at least minRuns times.
double SecondsPerCall(const std::function<void()>& call, int minRuns = 3) {
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    const auto start = Clock::now();
    int runs = 0;
    while (runs < minRuns || std::chrono::duration<double>(Clock::now() - start).count() < 0.3) {
        const auto t0 = Clock::now();
        call();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
        ++runs;
    }
    return best;
}

volatile long long sink;

template <class Unit>
std::basic_string<Unit> Repeat(const char* piece, size_t bytes) {
    std::basic_string<Unit> text;
    const size_t units = bytes;  // sizes count characters
    while (text.size() < units) for (const char* p = piece; *p && text.size() < units; ++p) text.push_back(Unit(static_cast<unsigned char>(*p)));
    return text;
}

// The per-function workloads at a size of `bytes`: each scans the whole text.
template <class Unit>
std::vector<std::pair<std::string, std::function<void()>>> Workloads(const Functions<Unit>& f, size_t bytes,
                                                                      std::vector<std::basic_string<Unit>>& keep,
                                                                      std::vector<Unit>& out) {
    keep.push_back(Repeat<Unit>("abcdefghi,", bytes));              // 0: csv
    keep.push_back(std::basic_string<Unit>(bytes / 2, Unit(' ')) + Repeat<Unit>("ab", bytes / 2));  // 1: blanks then text
    keep.push_back(Repeat<Unit>("0", bytes / 2) + Repeat<Unit>("12", bytes / 2));  // 2: zeros then digits
    keep.push_back(Repeat<Unit>("1234567890", bytes));              // 3: digits
    keep.push_back(Repeat<Unit>("ab  ", bytes));                    // 4: text ending in blanks
    out.assign(keep[3].size() * 2 + 16, Unit(0));
    const auto& csv = keep[0];
    const int n = static_cast<int>(csv.size());
    const int cap = static_cast<int>(out.size());
    Unit* o = out.data();
    const Unit* blanks = keep[1].c_str();
    const Unit* zeros = keep[2].c_str();
    const Unit* digits = keep[3].c_str();
    const Unit* trailing = keep[4].c_str();
    const Unit* text = csv.c_str();
    return {
        {"GetCodeCount", [=] { sink = f.codeCount(text, Unit(',')); }},
        {"GetCodeLength", [=] { sink = f.codeLength(text, Unit(';')); }},
        {"StringSplit", [=] { StrList<Unit> l{}; sink = f.split(text, Unit(','), &l); f.release(&l); }},
        {"StringCopyEx", [=] { sink = f.copyUntil(text, Unit(';'), o, n, 1); }},
        {"StringCopyExAfter", [=] { sink = f.copyAfter(text, Unit('a'), o, cap, 1); }},
        {"StringTrimLeft", [=] { sink = f.trimLeft(blanks, o, cap, Unit(' ')); }},
        {"StringTrimRight", [=] { sink = f.trimRight(trailing, o, cap, Unit(' ')); }},
        {"StringTrim", [=] { sink = f.trim(blanks, o, cap, Unit(' ')); }},
        {"StringZeroSuppress", [=] { sink = f.zeroSuppress(zeros, o, cap); }},
        {"IsNumeric", [=] { sink = f.isNumeric(digits); }},
        {"StringSetDelimiter", [=] { sink = f.setDelimiter(digits, o, cap, Unit(','), 3); }},
    };
}

template <class Unit>
void GrowthTable(const char* form, const Functions<Unit>& f) {
    constexpr size_t MiB = 1 << 20;
    std::vector<std::basic_string<Unit>> keepSmall, keepLarge;
    std::vector<Unit> outSmall, outLarge;
    auto small = Workloads(f, MiB, keepSmall, outSmall);
    auto large = Workloads(f, 8 * MiB, keepLarge, outLarge);
    std::printf("\n%-22s %12s %12s %12s %10s\n", form, "1 Mi (ms)", "8 Mi (ms)", "MB/s @8Mi", "8M / 1M");
    for (size_t i = 0; i < small.size(); ++i) {
        const double t1 = SecondsPerCall(small[i].second);
        const double t8 = SecondsPerCall(large[i].second);
        std::printf("%-22s %12.3f %12.3f %12.0f %9.2fx\n", small[i].first.c_str(), t1 * 1e3, t8 * 1e3,
                    8.0 * MiB * sizeof(Unit) / t8 / 1e6, t8 / t1);
    }
}

template <class Unit>
void ReferenceComparisons(const Functions<Unit>& wide, const Functions<char>& narrow, const char* narrowRule) {
    constexpr size_t MiB = 1 << 20;
    const std::basic_string<Unit> csv = Repeat<Unit>("abcdefghi,", MiB);
    const Unit* text = csv.c_str();

    const double ours = SecondsPerCall([&] { sink = wide.codeCount(text, Unit(',')); });
    const double stdCount = SecondsPerCall([&] { sink = std::count(csv.begin(), csv.end(), Unit(',')); });
    std::printf("%-44s %10.0f MB/s   std::count %8.0f MB/s   ratio %.2f\n", "GetCodeCountW, 1 Mi characters", MiB * sizeof(Unit) / ours / 1e6,
                MiB * sizeof(Unit) / stdCount / 1e6, stdCount / ours);

    const std::string mixed = Repeat<char>("ab\x82\xa0\x95\x5c,c\x81\x40", MiB);
    const double ansi = SecondsPerCall([&] { sink = narrow.codeCount(mixed.c_str(), ','); });
    std::printf("%-44s %10.2f GB/s   (%s)\n", "GetCodeCountA, 1 MiB of double-byte text", MiB / ansi / 1e9, narrowRule);

    // The split against a plain find-and-allocate split of the same text; 1 Mi
    // first, so that its figures are taken on the same heap as ever. At 8 Mi a
    // call's time is mostly page faults of a heap grown anew, so each side takes
    // the best of at least 10 calls.
    for (const size_t units : {MiB, size_t(64) << 10, 8 * MiB}) {
        const std::basic_string<Unit> sized = Repeat<Unit>("abcdefghi,", units);
        int fields = 0;
        const double split = SecondsPerCall([&] {
            StrList<Unit> list{};
            wide.split(sized.c_str(), Unit(','), &list);
            fields = list.Count;
            wide.release(&list);
        }, 10);
        const double reference = SecondsPerCall([&] {
            std::basic_string_view<Unit> rest(sized);
            std::vector<Unit*> items;
            for (;;) {
                const size_t comma = rest.find(Unit(','));
                const std::basic_string_view<Unit> field = rest.substr(0, comma);
                Unit* copy = new Unit[field.size() + 1];
                std::copy(field.begin(), field.end(), copy);
                copy[field.size()] = Unit(0);
                items.push_back(copy);
                if (comma == std::basic_string_view<Unit>::npos) break;
                rest.remove_prefix(comma + 1);
            }
            for (Unit* item : items) delete[] item;
            sink = static_cast<long long>(items.size());
        }, 10);
        char label[64];
        std::snprintf(label, sizeof label, "StringSplitW, %zu %s characters of CSV", units >= MiB ? units / MiB : units >> 10,
                      units >= MiB ? "Mi" : "Ki");
        std::printf("%-44s %10.2f ms     reference %8.2f ms      ratio %.2f (%d fields)\n", label, split * 1e3,
                    reference * 1e3, split / reference, fields);
    }
}

} // namespace

int main() {
#ifdef _WIN32
    HMODULE module = ::LoadLibraryW(L"Tolltone.dll");
    if (module == nullptr) {
        std::printf("Tolltone.dll not found beside the benchmark\n");
        return 1;
    }
    const auto wide = Exports<WideUnit>(module, 'W');
    const auto narrow = Exports<char>(module, 'A');
    char rule[64];
    std::snprintf(rule, sizeof rule, "the DLL under Wine, code page %u", ::GetACP());
    std::printf("Tolltone.dll exports under Wine\n");
#else
    const auto wide = Core<WideUnit, NoDoubleByte>();
    const auto narrow = Core<char, DoubleByteTable>();
    const char* rule = "native core, code page 932 rule";
    std::printf("Native core (clang, sanitizers off)\n");
#endif
    ReferenceComparisons(wide, narrow, rule);
    GrowthTable("W form", wide);
    GrowthTable("A form", narrow);
    return 0;
}

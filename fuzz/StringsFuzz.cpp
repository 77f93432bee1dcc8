// Every string function of the QM_ family on arbitrary input: the 8-bit forms
// under a code page 932 rule (FUZZ_UNIT char) or the 16-bit forms (char16_t).
#include "FuzzInput.h"
#include "paths/PathRules.h"
#include "strings/StringList.h"
#include "strings/StringRules.h"

#include <algorithm>
#include <string_view>

using namespace tolltone;
using namespace tolltone::fuzz;

using Unit = FUZZ_UNIT;


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const Unit x = static_cast<Unit>(input.Byte());
    const Unit blank = static_cast<Unit>(input.Byte());
    const int capacity = 1 + input.Byte();
    const int limit = static_cast<int>(input.Byte()) - 8;
    const bool quotes = input.Byte() & 1;
    const int group = static_cast<int>(input.Byte() % 8) - 2;
    const std::vector<Unit> buffer = input.Text<Unit>();
    const Unit* text = buffer.data();
    const int n = TextLength(text);
    const auto& rule = FuzzRule<Unit>();

    {
        Canaried<Unit> out(limit > 0 ? limit + 1 : 1);
        const int k = CopyUntil(text, x, out.Data(), limit, quotes, rule);
        Check(k >= 0 && k <= (limit > 0 ? limit : 0) && k == out.Length() && k <= n);
    }
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return CopyAfter(text, x, o, c, quotes, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return TrimLeft(text, o, c, blank, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return TrimRight(text, o, c, blank, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return Trim(text, o, c, blank, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return ZeroSuppress(text, o, c, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return DirectoryName(text, o, c, rule); });
    {
        Canaried<Unit> out(capacity);
        const int result = SetDelimiter(text, out.Data(), capacity, x, group, sizeof(Unit) == 1);
        // The separator may itself be NUL: look for the terminator at the result.
        Check(result == -1 || (result < capacity && out.Data()[result] == Unit(0)));
    }
    // A text is numeric exactly when no unit before its end is outside 0-9.
    const bool allDigits = std::none_of(text, text + n, [](Unit c) { return c < Unit('0') || c > Unit('9'); });
    Check(IsNumeric(text) == (allDigits ? 1 : 0));
    const int position = CodeLength(text, x);
    const int count = CodeCount(text, x, rule);
    Check(position >= 0 && position <= n && count >= 0 && count <= n);

    StrList<Unit> list{};
    const int split = SplitList(text, x, list, rule, CrtAllocator{});
    Check(split == (n > 0 ? 1 : 0));
    if (split == 1) {
        Check(list.Count == CodeCount(text, x, rule) + 1);
        for (int i = 0; i < list.Count; ++i) Check(TextLength(list.Items[i]) <= n);
    } else {
        Check(list.Count == 0 && list.Items == nullptr);
    }
    DeleteList(list, CrtAllocator{});
    DeleteList(list, CrtAllocator{});
    Check(list.Count == 0 && list.Items == nullptr);

    // The split gives the general walk's fields, whichever way it took.
    const auto sameAsGeneral = [&](const auto& anyRule) {
        StrList<Unit> split{}, general{};
        const int result = SplitList(text, x, split, anyRule, CrtAllocator{});
        Check(result == (n > 0 ? SplitFields(text, n, x, CodeCount(text, x, anyRule) + 1, general, anyRule, CrtAllocator{}) : 0));
        Check(split.Count == general.Count);
        for (int i = 0; i < split.Count; ++i)
            Check(std::basic_string_view<Unit>(split.Items[i]) == std::basic_string_view<Unit>(general.Items[i]));
        DeleteList(split, CrtAllocator{});
        DeleteList(general, CrtAllocator{});
    };
    sameAsGeneral(rule);
    sameAsGeneral(NoDoubleByte{});
    return 0;
}

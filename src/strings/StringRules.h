#pragma once
// The string algorithms of the QM_ family, one template per algorithm over the
// character unit. isDoubleByteStart is the 8-bit forms' double-byte rule (or
// NoDoubleByte); the string functions test positions one unit at a time, so
// after a double-byte start they move on by one unit only.
#include "strings/CopyOut.h"
#include "strings/DoubleByteRule.h"

#include <cstdint>

namespace tolltone {

template <class Unit>
inline constexpr Unit Quote = Unit('"');

// Four units a step: the loop's own branch is taken a quarter as often, which
// about doubles the speed on long texts. No unit after the terminator is read.
template <class Unit>
int TextLength(const Unit* text) {
    for (int n = 0;; n += 4) {
        if (text[n] == Unit(0)) return n;
        if (text[n + 1] == Unit(0)) return n + 1;
        if (text[n + 2] == Unit(0)) return n + 2;
        if (text[n + 3] == Unit(0)) return n + 3;
    }
}

// The copy-until scan: passes each unit that the copy keeps to keep(unit) and
// returns how many it kept. At most limit input positions begin an iteration.
template <class Unit, class DoubleByte, class Keep>
int ScanUntil(const Unit* text, Unit x, int limit, bool quotes, const DoubleByte& isDoubleByteStart, Keep keep) {
    int i = 0;
    int k = 0;
    bool inside = false;
    while (i < limit && text[i] != Unit(0)) {
        if (isDoubleByteStart(text + i)) {
            keep(text[i++]);
            ++k;
            continue;
        }
        if (quotes && text[i] == Quote<Unit>) {
            inside = !inside;
            ++i;  // the unit now at i is tested for neither a quote nor a double-byte start
        }
        if (text[i] == Unit(0)) break;
        if (!inside && text[i] == x) break;
        keep(text[i++]);
        ++k;
    }
    return k;
}

// Copy-until: the text before the first x outside double quotes; the quotes that
// switch the state are left out. The output must hold limit + 1 units.
template <class Unit, class DoubleByte>
int CopyUntil(const Unit* text, Unit x, Unit* output, int limit, bool quotes, const DoubleByte& isDoubleByteStart) {
    int k = 0;
    ScanUntil(text, x, limit, quotes, isDoubleByteStart, [&](Unit unit) { output[k++] = unit; });
    output[k] = Unit(0);
    return k;
}

// Copy-after: the text after the first x outside double quotes, whole or not at
// all. When there is no such x the output is empty.
template <class Unit, class DoubleByte>
int CopyAfter(const Unit* text, Unit x, Unit* output, int capacity, bool quotes, const DoubleByte& isDoubleByteStart) {
    if (capacity < 1) return 0;
    bool inside = false;
    for (int i = 0; text[i] != Unit(0); ++i) {
        if (isDoubleByteStart(text + i)) continue;
        if (quotes && text[i] == Quote<Unit>) {
            inside = !inside;
            ++i;
            if (text[i] == Unit(0)) break;
        }
        if (!inside && text[i] == x) {
            const Unit* rest = text + i + 1;
            return CopyOut(rest, TextLength(rest), output, capacity);
        }
    }
    output[0] = Unit(0);
    return 0;
}

// Left trim; a text of blanks only is copied unchanged.
template <class Unit, class DoubleByte>
int TrimLeft(const Unit* text, Unit* output, int capacity, Unit blank, const DoubleByte& isDoubleByteStart) {
    const int n = TextLength(text);
    int s = 0;
    while (s < n && text[s] == blank && !isDoubleByteStart(text + s)) ++s;
    if (s == n) s = 0;
    return CopyOut(text + s, n - s, output, capacity);
}

// Right trim; a text of blanks only leaves its first unit. A double-byte
// character whose second byte is the blank goes whole. output may be text.
template <class Unit, class DoubleByte>
int TrimRight(const Unit* text, Unit* output, int capacity, Unit blank, const DoubleByte& isDoubleByteStart) {
    const int n = TextLength(text);
    if (n == 0) return CopyOut(text, 0, output, capacity);
    int e = 0;
    for (int i = n - 1; i >= 0; --i) {
        if (text[i] != blank && !isDoubleByteStart(text + i)) {
            e = i;
            break;
        }
    }
    return CopyOut(text, e + 1, output, capacity);
}

template <class Unit, class DoubleByte>
int Trim(const Unit* text, Unit* output, int capacity, Unit blank, const DoubleByte& isDoubleByteStart) {
    TrimLeft(text, output, capacity, blank, isDoubleByteStart);
    return TrimRight(output, output, capacity, blank, isDoubleByteStart);
}

// Leading zeros removed; a text of zeros gives the empty string.
template <class Unit, class DoubleByte>
int ZeroSuppress(const Unit* text, Unit* output, int capacity, const DoubleByte& isDoubleByteStart) {
    const int n = TextLength(text);
    int s = 0;
    while (s < n && text[s] == Unit('0') && !isDoubleByteStart(text + s)) ++s;
    return CopyOut(text + s, n - s, output, capacity);
}

template <class Unit>
int IsNumeric(const Unit* text) {
    for (; *text != Unit(0); ++text)
        if (*text < Unit('0') || *text > Unit('9')) return 0;
    return 1;
}

// Inserts sep between groups of `group` units counted from the right. -1 (and the
// output untouched) for a group below 1 or, when requireDigits, a text that is
// not all digits; -1 and an empty output when the result does not fit.
template <class Unit>
int SetDelimiter(const Unit* text, Unit* output, int capacity, Unit sep, int group, bool requireDigits) {
    if (group < 1 || capacity < 1) return -1;
    if (requireDigits && !IsNumeric(text)) return -1;
    const int n = TextLength(text);
    const int64_t separators = n > 0 ? (n - 1) / group : 0;
    const int64_t total = n + separators;
    if (total + 1 > capacity) {
        output[0] = Unit(0);
        return -1;
    }
    const int first = n % group == 0 ? group : n % group;
    int k = 0;
    for (int i = 0; i < n; ++i) {
        if (i >= first && (i - first) % group == 0) output[k++] = sep;
        output[k++] = text[i];
    }
    output[k] = Unit(0);
    return k;
}

// Position of the first x, or the length of the text.
template <class Unit>
int CodeLength(const Unit* text, Unit x) {
    int i = 0;
    while (text[i] != Unit(0) && text[i] != x) ++i;
    return i;
}

// Occurrences of x; a double-byte start is not counted, its second byte is.
template <class Unit, class DoubleByte>
int CodeCount(const Unit* text, Unit x, const DoubleByte& isDoubleByteStart) {
    int count = 0;
    for (int i = 0; text[i] != Unit(0); ++i)
        if (text[i] == x && !isDoubleByteStart(text + i)) ++count;
    return count;
}

// Without a double-byte rule the count is branch-free and four units a step:
// long texts are counted at close to the speed of a counted loop.
template <class Unit>
int CodeCount(const Unit* text, Unit x, const NoDoubleByte&) {
    int count = 0;
    int i = 0;
    for (;;) {
        const Unit a = text[i];
        if (a == Unit(0)) return count;
        const Unit b = text[i + 1];
        if (b == Unit(0)) return count + (a == x);
        const Unit c = text[i + 2];
        if (c == Unit(0)) return count + (a == x) + (b == x);
        const Unit d = text[i + 3];
        if (d == Unit(0)) return count + (a == x) + (b == x) + (c == x);
        count += (a == x) + (b == x) + (c == x) + (d == x);
        i += 4;
    }
}

} // namespace tolltone

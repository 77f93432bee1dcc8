#pragma once
// The rules that every path function shares: the scan under the double-byte rule,
// the last-position search and the whole-or-nothing copy-out.
#include "strings/CopyOut.h"
#include "strings/DoubleByteRule.h"

namespace tolltone {

// Position of the last target character, or 0 when there is none. With a
// double-byte rule, both bytes of a double-byte character are passed over.
template <class Unit, class DoubleByte>
int LastPosition(const Unit* path, Unit target, const DoubleByte& isDoubleByteStart) {
    int last = 0;
    for (int i = 0; path[i] != Unit(0); ++i) {
        if (isDoubleByteStart(path + i)) {
            ++i;
            continue;
        }
        if (path[i] == target) last = i;
    }
    return last;
}

// Everything before the last backslash.
template <class Unit, class DoubleByte>
int DirectoryName(const Unit* path, Unit* output, int capacity, const DoubleByte& isDoubleByteStart) {
    const int last = LastPosition(path, Unit('\\'), isDoubleByteStart);
    return CopyOut(path, last, output, capacity);
}

} // namespace tolltone

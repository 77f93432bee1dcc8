#pragma once
// The string list that the splits and the multi-selection functions fill. The
// array and every string are allocated here and released only by DeleteList.
#include "strings/StringRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tolltone {

template <class Unit>
struct StrList {
    int32_t Count;
    Unit** Items;
};

struct CrtAllocator {
    void* Allocate(size_t bytes) const { return std::malloc(bytes); }
    void Free(void* block) const { std::free(block); }
};

template <class Unit, class Allocator>
void DeleteList(StrList<Unit>& list, const Allocator& allocator) {
    if (list.Items != nullptr) {
        for (int32_t i = 0; i < list.Count; ++i) allocator.Free(list.Items[i]);
        allocator.Free(list.Items);
    }
    list.Count = 0;
    list.Items = nullptr;
}

// Splits text at every d into Count fields; in quoted mode (first unit a quote)
// the enclosing quotes are dropped. 1 when filled, 0 for an empty text or when
// memory ran out (the list is then empty again). The start of a field never
// moves past the terminator, whatever the text's shape.
template <class Unit, class DoubleByte, class Allocator>
int SplitList(const Unit* text, Unit d, StrList<Unit>& list, const DoubleByte& isDoubleByteStart,
              const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    if (text[0] == Unit(0)) return 0;
    const bool quoted = text[0] == Quote<Unit>;
    const int n = TextLength(text);
    const int fields = CodeCount(text, d, isDoubleByteStart) + 1;

    Unit** items = static_cast<Unit**>(allocator.Allocate(sizeof(Unit*) * static_cast<size_t>(fields)));
    if (items == nullptr) return 0;
    list.Items = items;

    int p = 0;
    for (int k = 0; k < fields; ++k) {
        const int scan = CodeLength(text + p, d);
        Unit* field = static_cast<Unit*>(allocator.Allocate(sizeof(Unit) * (static_cast<size_t>(scan) + 2)));
        if (field == nullptr) {
            DeleteList(list, allocator);
            return 0;
        }
        const int m = CopyUntil(text + p, d, field, scan + 1, true, isDoubleByteStart);
        items[k] = field;
        list.Count = k + 1;
        p += quoted ? m + 3 : m + 1;
        if (p > n) p = n;
    }
    return 1;
}

} // namespace tolltone

#pragma once
// The string list that the splits and the multi-selection functions fill. The
// array and every string are allocated here and released only by DeleteList.
#include "strings/StringRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tolltone {

template <class Unit>
struct StrList {
    int32_t Count;
    Unit** Items;
};

// A list allocator gives blocks for the strings (Allocate, Free) and for the
// array (AllocateArray, FreeArray); the module's is the process heap
// (strings/ListHeap.h). This one, of the C runtime, is for the native builds:
// tests, fuzzing and benchmarks of the core.
struct CrtAllocator {
    void* Allocate(size_t bytes) const { return std::malloc(bytes); }
    void Free(void* block) const { std::free(block); }
    void* AllocateArray(size_t bytes) const { return Allocate(bytes); }
    void FreeArray(void* items) const { Free(items); }
};

template <class Unit, class Allocator>
void DeleteList(StrList<Unit>& list, const Allocator& allocator) {
    if (list.Items != nullptr) {
        for (int32_t i = 0; i < list.Count; ++i) allocator.Free(list.Items[i]);
        allocator.FreeArray(list.Items);
    }
    list.Count = 0;
    list.Items = nullptr;
}

// Splits text at every d into Count fields; in quoted mode (first unit a quote)
// the enclosing quotes are dropped. 1 when filled, 0 for an empty text or when
// memory ran out (the list is then empty again). The start of a field never
// moves past the terminator, whatever the text's shape.
//
// FillFields is the general way: each field from text position p on goes
// through the quote-aware copy under the double-byte rule, into the array that
// list holds (list.Count fields are already there).
template <class Unit, class DoubleByte, class Allocator>
int FillFields(const Unit* text, int n, Unit d, int fields, int p, StrList<Unit>& list,
               const DoubleByte& isDoubleByteStart, const Allocator& allocator) {
    const bool quoted = text[0] == Quote<Unit>;
    for (int k = list.Count; k < fields; ++k) {
        const int scan = CodeLength(text + p, d);
        Unit* field = static_cast<Unit*>(allocator.Allocate(sizeof(Unit) * (static_cast<size_t>(scan) + 2)));
        if (field == nullptr) {
            DeleteList(list, allocator);
            return 0;
        }
        const int m = CopyUntil(text + p, d, field, scan + 1, true, isDoubleByteStart);
        list.Items[k] = field;
        list.Count = k + 1;
        p += quoted ? m + 3 : m + 1;
        if (p > n) p = n;
    }
    return 1;
}

template <class Unit, class DoubleByte, class Allocator>
int SplitList(const Unit* text, Unit d, StrList<Unit>& list, const DoubleByte& isDoubleByteStart,
              const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    if (text[0] == Unit(0)) return 0;
    const int fields = CodeCount(text, d, isDoubleByteStart) + 1;
    list.Items = static_cast<Unit**>(allocator.AllocateArray(sizeof(Unit*) * static_cast<size_t>(fields)));
    if (list.Items == nullptr) return 0;
    return FillFields(text, TextLength(text), d, fields, 0, list, isDoubleByteStart, allocator);
}

// Copies count units. A split's fields are mostly a few units long, and a call
// to memcpy (an import from the C runtime DLL in the module) costs more than
// such a copy, so short ones go eight bytes a step and then unit by unit,
// never touching a unit past count.
template <class Unit>
void CopyUnits(Unit* output, const Unit* source, size_t count) {
    if (count > 32) {
        std::memcpy(output, source, sizeof(Unit) * count);
        return;
    }
    constexpr size_t step = 8 / sizeof(Unit);
    for (; count >= step; count -= step, output += step, source += step) std::memcpy(output, source, 8);
    for (; count > 0; --count) *output++ = *source++;
}

// Without a double-byte rule, a field without a quote is copied by the general
// way exactly as it stands, up to the next delimiter. So: the length, then the
// delimiters counted over that known length (a loop with no exit inside, which
// the compiler vectorizes), the array allocated once at its size, and each
// field found by one search and copied whole. The search needs no terminator
// test: the count says a delimiter is ahead, and the last field looks for the
// terminator instead. The first quote hands the rest to the general way.
template <class Unit, class Allocator>
int SplitList(const Unit* text, Unit d, StrList<Unit>& list, const NoDoubleByte& noDoubleByte,
              const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    if (text[0] == Unit(0)) return 0;
    const int n = TextLength(text);
    int delimiters = 0;
    for (int i = 0; i < n; ++i) delimiters += text[i] == d;
    list.Items =
        static_cast<Unit**>(allocator.AllocateArray(sizeof(Unit*) * (static_cast<size_t>(delimiters) + 1)));
    if (list.Items == nullptr) return 0;

    const Unit* start = text;
    for (int k = 0; k <= delimiters; ++k) {
        const Unit target = k < delimiters ? d : Unit(0);
        const Unit* stop = start;
        while (*stop != target && *stop != Quote<Unit>) ++stop;
        if (*stop == Quote<Unit>)
            return FillFields(text, n, d, delimiters + 1, static_cast<int>(start - text), list, noDoubleByte, allocator);
        const size_t length = static_cast<size_t>(stop - start);
        Unit* field = static_cast<Unit*>(allocator.Allocate(sizeof(Unit) * (length + 1)));
        if (field == nullptr) {
            DeleteList(list, allocator);
            return 0;
        }
        CopyUnits(field, start, length);
        field[length] = Unit(0);
        list.Items[k] = field;
        list.Count = k + 1;
        start = stop + 1;
    }
    return 1;
}

} // namespace tolltone

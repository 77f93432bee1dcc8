#pragma once
// The string list that the splits and the multi-selection functions fill. A
// list is one block: the array of Count pointers, then its strings one after
// another, each at its own length. DeleteList frees that block and nothing else,
// so a caller that reorders or shortens Items still releases the whole list,
// and a list kept past the unload costs one heap block of its own bytes.
#include "strings/StringRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace tolltone {

template <class Unit>
struct StrList {
    int32_t Count;
    Unit** Items;
};

// A list allocator gives and takes back blocks (Allocate, Free); the module's
// is the process heap (strings/ListHeap.h). This one, of the C runtime, is for
// the native builds: tests, fuzzing and benchmarks of the core.
struct CrtAllocator {
    void* Allocate(size_t bytes) const { return std::malloc(bytes); }
    void Free(void* block) const { std::free(block); }
};

// The block of a list of count strings that take units units in all: the array
// goes in list.Items (Count still 0), and the strings' room is returned. Null
// when memory ran out; the list is then still empty.
template <class Unit, class Allocator>
Unit* AllocateList(StrList<Unit>& list, size_t count, size_t units, const Allocator& allocator) {
    void* block = allocator.Allocate(sizeof(Unit*) * count + sizeof(Unit) * units);
    if (block == nullptr) return nullptr;
    list.Items = static_cast<Unit**>(block);
    return reinterpret_cast<Unit*>(list.Items + count);
}

template <class Unit, class Allocator>
void DeleteList(StrList<Unit>& list, const Allocator& allocator) {
    if (list.Items != nullptr) allocator.Free(list.Items);
    list.Count = 0;
    list.Items = nullptr;
}

// Walks the fields of a split from text position 0: visit(from, limit) copies
// or measures the field that begins at from through the quote-aware copy and
// returns its length m; the start of the next field moves by m + 3 in quoted
// mode (first unit a quote), by m + 1 otherwise, and never past the terminator,
// whatever the text's shape.
template <class Unit, class Visit>
void WalkFields(const Unit* text, int n, Unit d, int fields, Visit&& visit) {
    const bool quoted = text[0] == Quote<Unit>;
    int p = 0;
    for (int k = 0; k < fields; ++k) {
        const int m = visit(text + p, CodeLength(text + p, d) + 1);
        p += quoted ? m + 3 : m + 1;
        if (p > n) p = n;
    }
}

// The general split into fields fields: one walk measures every field, so
// that the block is allocated once at its size, and a second copies them.
template <class Unit, class DoubleByte, class Allocator>
int SplitFields(const Unit* text, int n, Unit d, int fields, StrList<Unit>& list,
                const DoubleByte& isDoubleByteStart, const Allocator& allocator) {
    size_t units = 0;
    WalkFields(text, n, d, fields, [&](const Unit* from, int limit) {
        const int m = ScanUntil(from, d, limit, true, isDoubleByteStart, [](Unit) {});
        units += static_cast<size_t>(m) + 1;
        return m;
    });
    Unit* room = AllocateList(list, static_cast<size_t>(fields), units, allocator);
    if (room == nullptr) return 0;
    WalkFields(text, n, d, fields, [&](const Unit* from, int limit) {
        const int m = CopyUntil(from, d, room, limit, true, isDoubleByteStart);
        list.Items[list.Count++] = room;
        room += m + 1;
        return m;
    });
    return 1;
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

// Without a quote, and without a delimiter unit that is a double-byte start
// (which the copy keeps, and whose trail the next field's start passes), field k is the text between the
// k-th and the next delimiter unit exactly as it stands: the fields take the
// text's own units. So the text is copied whole after the array, and each
// delimiter unit of the copy becomes a terminator and the start of the next
// field.
template <class Unit, class Allocator>
int SplitPlain(const Unit* text, int n, Unit d, int delimiters, StrList<Unit>& list, const Allocator& allocator) {
    Unit* room = AllocateList(list, static_cast<size_t>(delimiters) + 1, static_cast<size_t>(n) + 1, allocator);
    if (room == nullptr) return 0;
    CopyUnits(room, text, static_cast<size_t>(n) + 1);
    Unit** items = list.Items;
    *items++ = room;
    for (int i = 0; i < n; ++i) {
        if (room[i] != d) continue;
        room[i] = Unit(0);
        *items++ = room + i + 1;
    }
    list.Count = delimiters + 1;
    return 1;
}

// Splits text at every d into Count fields; in quoted mode (first unit a quote)
// the enclosing quotes are dropped. 1 when filled, 0 for an empty text or when
// memory ran out (the list is then empty). The length, the delimiter units and
// the quotes are counted in one loop with no exit inside, which the compiler
// vectorizes; a text that the plain way cannot split goes the general way.
template <class Unit, class DoubleByte, class Allocator>
int SplitList(const Unit* text, Unit d, StrList<Unit>& list, const DoubleByte& isDoubleByteStart,
              const Allocator& allocator) {
    list.Count = 0;
    list.Items = nullptr;
    if (text[0] == Unit(0)) return 0;
    const int n = TextLength(text);
    int delimiters = 0;
    int quotes = 0;
    for (int i = 0; i < n; ++i) {
        delimiters += text[i] == d;
        quotes += text[i] == Quote<Unit>;
    }
    int fields = delimiters + 1;
    if constexpr (!std::is_same_v<DoubleByte, NoDoubleByte>) fields = CodeCount(text, d, isDoubleByteStart) + 1;
    if (quotes != 0 || fields != delimiters + 1)
        return SplitFields(text, n, d, fields, list, isDoubleByteStart, allocator);
    return SplitPlain(text, n, d, delimiters, list, allocator);
}

} // namespace tolltone

#pragma once
// The heap that the QM_ lists (splits and multi-selections) come from: one of
// the module's own, made at the first list, that goes with the unload or, when
// a caller still holds lists then, with the last of them.
//
// It is made with its first MiB committed. A heap that gives the pages of a
// released list back makes the next list commit them again, and under Wine
// that is a large share of a split's time; the C runtime's heap does just that.
//
// Each list's array carries its heap's record in front of it, so a list is
// released into the heap it came from whichever load of the module releases
// it (a host that reloads the module may keep calling through one address).
#include <windows.h>

#include <cstddef>

namespace tolltone {

class ListHeap {
public:
    // This load's heap, made on first use; when it cannot be made, an
    // allocator that fails every allocation (the next list tries again).
    static ListHeap ForNewList();
    // The heap that the list with this array came from; for null, one that
    // frees nothing (an empty list holds no block).
    static ListHeap ForList(void* items);

    void* Allocate(size_t bytes) const;
    void Free(void* block) const;
    // A list's array: while one is out, its heap stays.
    void* AllocateArray(size_t bytes) const;
    void FreeArray(void* items) const;

    struct Record;  // the heap and its count of arrays out, kept in the heap itself

private:
    explicit ListHeap(Record* record) : record_(record) {}
    Record* record_;
};

// At unload (not at process end): the heap goes now if no list is out, or
// else with the release of the last one.
void AbandonListHeap();

} // namespace tolltone

#pragma once
// The heap that the QM_ lists (splits and multi-selections) come from: one of
// the module's own, made at the first list and destroyed at the unload.
//
// Its first MiB stays committed. A heap that gives the pages of a released
// list back makes the next list commit them again, and under Wine that is a
// large share of a split's time; the C runtime's heap does just that.
//
// Each list's array keeps the heap it came from in front of it, so a list is
// released into its own heap whichever load of the module releases it (a
// host that reloads the module may keep calling through the same address).
#include <windows.h>

#include <cstddef>

namespace tolltone {

class ListHeap {
public:
    // The heap for a new list, made on first use; an allocator that fails
    // every allocation when it cannot be made.
    static ListHeap ForNewList();
    // The heap that the list with this array came from; nothing for null.
    static ListHeap ForList(void* items);

    void* Allocate(size_t bytes) const { return heap_ != nullptr ? ::HeapAlloc(heap_, 0, bytes) : nullptr; }
    void Free(void* block) const { ::HeapFree(heap_, 0, block); }
    bool IsThisLoads() const;

    // The array of a list, with the heap in front of it.
    friend void* AllocateListArray(const ListHeap& heap, size_t bytes);
    friend void FreeListArray(const ListHeap& heap, void* items);

private:
    explicit ListHeap(HANDLE heap) : heap_(heap) {}
    HANDLE heap_;
};

// Lists of this load handed to callers and not yet released. A caller may
// still read a list after the unload, so the heap goes only when none is held.
void CountHeldList(const void* items);
void CountReleasedList(const ListHeap& heap, const void* items);

// At unload (not at process end): destroys the heap unless a list is held.
void DestroyListHeap();

} // namespace tolltone

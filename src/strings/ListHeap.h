#pragma once
// The heap that the QM_ lists (splits and multi-selections) come from: one of
// the module's own, made at the first list and destroyed at the unload.
//
// Its first MiB stays committed. A heap that gives the pages of a released
// list back makes the next list commit them again, and under Wine that is
// most of a split's time; the C runtime's heap does just that.
#include <windows.h>

#include <cstddef>

namespace tolltone {

class ListHeap {
public:
    // The heap for a new list, made on first use; an allocator that fails
    // every allocation when it cannot be made.
    static ListHeap ForNewList();
    // The heap that a list being released came from.
    static ListHeap ForRelease();

    void* Allocate(size_t bytes) const { return heap_ != nullptr ? ::HeapAlloc(heap_, 0, bytes) : nullptr; }
    void Free(void* block) const { ::HeapFree(heap_, 0, block); }

private:
    explicit ListHeap(HANDLE heap) : heap_(heap) {}
    HANDLE heap_;
};

// Lists handed to callers and not yet released. A caller may still read a list
// after the module's unload, so the heap goes only when none is held.
void CountHeldList(const void* items);
void CountReleasedList(const void* items);

// At unload (not at process end): destroys the heap unless a list is held.
void DestroyListHeap();

} // namespace tolltone

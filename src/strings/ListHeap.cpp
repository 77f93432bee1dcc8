#include "strings/ListHeap.h"

namespace tolltone {
namespace {

constexpr SIZE_T CommittedBytes = 1u << 20;

INIT_ONCE HeapMade = INIT_ONCE_STATIC_INIT;
HANDLE Heap = nullptr;
volatile LONG HeldLists = 0;

// A heap that could not be made is tried again at the next list.
BOOL CALLBACK MakeHeap(INIT_ONCE*, void*, void**) {
    Heap = ::HeapCreate(0, CommittedBytes, 0);
    return Heap != nullptr;
}

// In front of a list's array; its size keeps the array as aligned as the heap's blocks.
struct alignas(16) ArrayHeader {
    HANDLE heap;
};

ArrayHeader* HeaderOf(void* items) { return static_cast<ArrayHeader*>(items) - 1; }

} // namespace

ListHeap ListHeap::ForNewList() {
    return ListHeap(::InitOnceExecuteOnce(&HeapMade, MakeHeap, nullptr, nullptr) ? Heap : nullptr);
}

ListHeap ListHeap::ForList(void* items) { return ListHeap(items != nullptr ? HeaderOf(items)->heap : nullptr); }

bool ListHeap::IsThisLoads() const { return heap_ != nullptr && heap_ == Heap; }

void* AllocateListArray(const ListHeap& heap, size_t bytes) {
    auto* header = static_cast<ArrayHeader*>(heap.Allocate(sizeof(ArrayHeader) + bytes));
    if (header == nullptr) return nullptr;
    header->heap = heap.heap_;
    return header + 1;
}

void FreeListArray(const ListHeap& heap, void* items) { heap.Free(HeaderOf(items)); }

void CountHeldList(const void* items) {
    if (items != nullptr) ::InterlockedIncrement(&HeldLists);
}

// A list of an earlier load goes back to that load's heap, which stays: it was
// left because lists were held, and nothing counts them any more.
void CountReleasedList(const ListHeap& heap, const void* items) {
    if (items != nullptr && heap.IsThisLoads()) ::InterlockedDecrement(&HeldLists);
}

// No other thread runs our code at unload: the host stops calling before it
// frees the module, and the strike worker runs none of it.
void DestroyListHeap() {
    if (Heap != nullptr && HeldLists == 0) ::HeapDestroy(Heap);
}

} // namespace tolltone

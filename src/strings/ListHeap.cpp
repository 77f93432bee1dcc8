#include "strings/ListHeap.h"

namespace tolltone {
namespace {

constexpr SIZE_T CommittedBytes = 1u << 20;

INIT_ONCE HeapMade = INIT_ONCE_STATIC_INIT;
HANDLE Heap = nullptr;
volatile LONG HeldLists = 0;

BOOL CALLBACK MakeHeap(INIT_ONCE*, void*, void**) {
    Heap = ::HeapCreate(0, CommittedBytes, 0);
    return TRUE;
}

} // namespace

ListHeap ListHeap::ForNewList() {
    ::InitOnceExecuteOnce(&HeapMade, MakeHeap, nullptr, nullptr);
    return ListHeap(Heap);
}

// A list to release was made after the heap, on this thread or handed over by
// the caller, so the handle is seen as written.
ListHeap ListHeap::ForRelease() { return ListHeap(Heap); }

void CountHeldList(const void* items) {
    if (items != nullptr) ::InterlockedIncrement(&HeldLists);
}

void CountReleasedList(const void* items) {
    if (items != nullptr) ::InterlockedDecrement(&HeldLists);
}

// No other thread runs our code at unload: the host stops calling before it
// frees the module, and the strike worker runs none of it.
void DestroyListHeap() {
    if (Heap != nullptr && HeldLists == 0) ::HeapDestroy(Heap);
    Heap = nullptr;
}

} // namespace tolltone

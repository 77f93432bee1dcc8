#include "strings/ListHeap.h"

namespace tolltone {

// Kept inside the heap it describes. State: twice the number of arrays out,
// plus Abandoned once the load that made the heap is gone; one interlocked
// value, so that the last release and the unload cannot both miss the end.
struct ListHeap::Record {
    HANDLE heap;
    volatile LONG64 state;
};

namespace {

constexpr SIZE_T CommittedBytes = 1u << 20;
constexpr LONG64 Abandoned = 1;
constexpr LONG64 OneArray = 2;

INIT_ONCE HeapMade = INIT_ONCE_STATIC_INIT;
ListHeap::Record* ThisLoads = nullptr;

// In front of a list's array; its size keeps the array as aligned as the heap's blocks.
struct alignas(16) ArrayHeader {
    ListHeap::Record* record;
};

ArrayHeader* HeaderOf(void* items) { return static_cast<ArrayHeader*>(items) - 1; }

BOOL CALLBACK MakeHeap(INIT_ONCE*, void*, void**) {
    const HANDLE heap = ::HeapCreate(0, CommittedBytes, 0);
    if (heap == nullptr) return FALSE;
    auto* record = static_cast<ListHeap::Record*>(::HeapAlloc(heap, 0, sizeof(ListHeap::Record)));
    if (record == nullptr) {
        ::HeapDestroy(heap);
        return FALSE;
    }
    record->heap = heap;
    record->state = 0;
    ThisLoads = record;
    return TRUE;
}

} // namespace

ListHeap ListHeap::ForNewList() {
    return ListHeap(::InitOnceExecuteOnce(&HeapMade, MakeHeap, nullptr, nullptr) ? ThisLoads : nullptr);
}

ListHeap ListHeap::ForList(void* items) { return ListHeap(items != nullptr ? HeaderOf(items)->record : nullptr); }

void* ListHeap::Allocate(size_t bytes) const {
    return record_ != nullptr ? ::HeapAlloc(record_->heap, 0, bytes) : nullptr;
}

void ListHeap::Free(void* block) const { ::HeapFree(record_->heap, 0, block); }

void* ListHeap::AllocateArray(size_t bytes) const {
    auto* header = static_cast<ArrayHeader*>(Allocate(sizeof(ArrayHeader) + bytes));
    if (header == nullptr) return nullptr;
    header->record = record_;
    ::InterlockedExchangeAdd64(&record_->state, OneArray);
    return header + 1;
}

// The strings of the list went first; the record lives in the heap, so the
// handle is read before the count can let the heap go.
void ListHeap::FreeArray(void* items) const {
    const HANDLE heap = record_->heap;
    ::HeapFree(heap, 0, HeaderOf(items));
    if (::InterlockedExchangeAdd64(&record_->state, -OneArray) - OneArray == Abandoned) ::HeapDestroy(heap);
}

// No thread runs this load's code at unload (the host stops calling before it
// frees the module, the strike worker runs none of it), but a list may still
// be out and be released later through another load.
void AbandonListHeap() {
    ListHeap::Record* record = ThisLoads;
    if (record == nullptr) return;
    const HANDLE heap = record->heap;
    if (::InterlockedOr64(&record->state, Abandoned) == 0) ::HeapDestroy(heap);
}

} // namespace tolltone

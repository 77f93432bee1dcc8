#pragma once
// The module's memory: blocks of the process heap. The DLL carries no C++
// runtime, so objects are made and destroyed here instead of with new/delete,
// and every block goes back to the heap it came from.
#include <windows.h>

#include <new>  // placement new only: inline, nothing linked

namespace tolltone {

struct ModuleHeap {
    void* Allocate(size_t bytes) const { return ::HeapAlloc(::GetProcessHeap(), 0, bytes); }
    void Free(void* block) const {
        if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
    }
};

// Null when the heap has no room; the constructor must not fail.
template <class T, class... Args>
T* CreateObject(Args&&... args) {
    void* block = ModuleHeap{}.Allocate(sizeof(T));
    return block == nullptr ? nullptr : ::new (block) T(static_cast<Args&&>(args)...);
}

template <class T>
void DestroyObject(T* object) {
    if (object == nullptr) return;
    object->~T();
    ModuleHeap{}.Free(object);
}

// An owned array of plain units (characters, bytes) of a size known at run time.
template <class T>
class HeapArray {
public:
    explicit HeapArray(size_t count) : items_(static_cast<T*>(ModuleHeap{}.Allocate(count * sizeof(T)))) {}
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    ~HeapArray() { ModuleHeap{}.Free(items_); }

    explicit operator bool() const { return items_ != nullptr; }
    T* get() const { return items_; }

private:
    T* items_;
};

} // namespace tolltone

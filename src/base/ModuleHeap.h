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

// An owned array of plain units (characters, bytes) of a size known at run
// time. Release() hands the block on, for example to the strike worker, which
// frees it with HeapFree after its strokes.
template <class T>
class HeapArray {
public:
    HeapArray() = default;
    explicit HeapArray(size_t count)
        : items_(static_cast<T*>(ModuleHeap{}.Allocate(count > 0 ? count * sizeof(T) : 1))) {}
    // Takes over a block of the process heap.
    static HeapArray Adopt(T* items) {
        HeapArray array;
        array.items_ = items;
        return array;
    }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    HeapArray(HeapArray&& other) noexcept : items_(other.Release()) {}
    HeapArray& operator=(HeapArray&& other) noexcept {
        if (this != &other) {
            ModuleHeap{}.Free(items_);
            items_ = other.Release();
        }
        return *this;
    }
    ~HeapArray() { ModuleHeap{}.Free(items_); }

    explicit operator bool() const { return items_ != nullptr; }
    T* get() const { return items_; }
    T* Release() {
        T* items = items_;
        items_ = nullptr;
        return items;
    }

private:
    T* items_ = nullptr;
};

} // namespace tolltone

#pragma once
// One owner template for every kind of handle: the closer is a function object,
// the empty value is part of the traits.
#include <windows.h>

#include <utility>

namespace tolltone {

template <class Handle, class Closer, Handle Empty = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Empty)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, Empty));
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    Handle Release() { return std::exchange(handle_, Empty); }
    void Reset(Handle handle = Empty) {
        if (handle_ != Empty) Closer{}(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Empty;
};

struct CloseKernelHandle { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct FreeModule { void operator()(HMODULE h) const { ::FreeLibrary(h); } };
struct CloseRegistryKey { void operator()(HKEY h) const { ::RegCloseKey(h); } };
struct DestroyWindowHandle { void operator()(HWND h) const { ::DestroyWindow(h); } };

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseKernelHandle>;
using UniqueModule = UniqueHandle<HMODULE, FreeModule>;
using UniqueRegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;
using UniqueWindow = UniqueHandle<HWND, DestroyWindowHandle>;

// File functions report failure as INVALID_HANDLE_VALUE, not null.
inline UniqueKernelHandle AdoptFileHandle(HANDLE file) {
    return UniqueKernelHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

} // namespace tolltone

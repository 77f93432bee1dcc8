#pragma once
// A block of the process heap with one owner. Release() hands it on, for example
// to the strike worker, which frees it with HeapFree when its strokes have ended.
#include <windows.h>

#include <cstddef>
#include <utility>

namespace tolltone {

class HeapBlock {
public:
    HeapBlock() = default;
    explicit HeapBlock(size_t bytes) : block_(::HeapAlloc(::GetProcessHeap(), 0, bytes == 0 ? 1 : bytes)) {}
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    HeapBlock(HeapBlock&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    HeapBlock& operator=(HeapBlock&& other) noexcept {
        if (this != &other) {
            Free();
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    ~HeapBlock() { Free(); }

    void* Get() const { return block_; }
    explicit operator bool() const { return block_ != nullptr; }
    void* Release() { return std::exchange(block_, nullptr); }

private:
    void Free() {
        if (block_ != nullptr) ::HeapFree(::GetProcessHeap(), 0, block_);
    }
    void* block_ = nullptr;
};

} // namespace tolltone

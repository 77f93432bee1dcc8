#pragma once
// An allocator for the list tests: fails the allocation numbered failAt (from 0)
// and checks that every block is freed once, and only blocks it handed out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace tolltone::fakes {

struct CountingAllocator {
    mutable int allocations = 0;
    mutable std::set<void*> live;
    int failAt = -1;
    void* Allocate(size_t bytes) const {
        if (allocations++ == failAt) return nullptr;
        void* block = std::malloc(bytes);
        live.insert(block);
        return block;
    }
    void Free(void* block) const {
        EXPECT_EQ(live.erase(block), 1u) << "freed once, and only what was allocated";
        std::free(block);
    }
};

} // namespace tolltone::fakes

#pragma once
// Where the QM_ lists (splits and multi-selections) get their blocks: the
// process heap. A caller may keep a list past the unload of the module (a
// long-lived list, or one freed only at exit) and release it through a later
// load; on the process heap such a list costs only its own bytes, where a heap
// of the module's own would keep its whole first commit alive with it.
#include <windows.h>

#include <cstddef>

namespace tolltone {

struct ListHeap {
    void* Allocate(size_t bytes) const { return ::HeapAlloc(::GetProcessHeap(), 0, bytes); }
    void Free(void* block) const { ::HeapFree(::GetProcessHeap(), 0, block); }
};

} // namespace tolltone

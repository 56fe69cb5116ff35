#pragma once

// Makes memory run out on purpose, so a test can see what a reader does then. A test program
// that links allocation_limit.cpp has its global operator new and delete replaced by ones that
// honour the limit; nothing else changes for it.

#include <cstddef>

namespace kv::test {

// While it lives, operator new on this thread throws std::bad_alloc for any allocation that
// would take the bytes allocated since it began beyond the limit (what is freed meanwhile is
// not given back). It begins by freeing the count buffers the thread keeps for reuse.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t bytes);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};

} // namespace kv::test

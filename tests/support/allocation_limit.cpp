#include "support/allocation_limit.h"

#include "model/channel_counts.h"

#include <cstdlib>
#include <new>

namespace {

struct Budget {
    bool active = false;
    std::size_t left = 0;
};

thread_local Budget budget;

void* allocate(std::size_t size) {
    if (budget.active) {
        if (size > budget.left) {
            throw std::bad_alloc();
        }
        budget.left -= size;
    }
    // malloc(0) may return null; a zero-size new must not.
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

namespace kv::test {

AllocationLimit::AllocationLimit(std::size_t bytes) {
    // Count buffers kept from earlier histograms would let a reader go on without asking.
    count_buffers::releaseKept();
    budget = {true, bytes};
}

AllocationLimit::~AllocationLimit() {
    budget = {};
}

} // namespace kv::test

// Every form but the aligned ones, which keep the library's own pair, so that whatever one of
// these allocates one of these frees.
void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

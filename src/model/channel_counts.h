#pragma once

// The counts of one histogram. Two things make a file of thousands of histograms open at the
// speed of reading its bytes: the reader sizes a record's counts without zero-filling memory it
// overwrites at once, and the buffers of histograms that go away are kept, per thread and for
// one size at a time, for the next histograms of that size (opening a file after another of the
// same channel count, which is the laboratory's daily routine). Everything else behaves as a
// std::vector<std::int32_t>: new counts are zero unless asked otherwise.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace kv {

namespace count_buffers {

// A buffer of `bytes` bytes, a kept one when there is one of that size.
void* take(std::size_t bytes);
// Keeps the buffer for the next take of its size, or frees it.
void give(void* buffer, std::size_t bytes) noexcept;
// Frees the buffers this thread keeps: what a take does before it gives up for lack of memory.
void releaseKept() noexcept;

} // namespace count_buffers

// Allocates through the kept buffers and leaves elements default-initialised, which for counts
// means not written; ChannelCounts restores the zero-filling callers expect.
template <class T> struct CountBufferAllocator {
    using value_type = T;

    CountBufferAllocator() = default;
    template <class U> CountBufferAllocator(const CountBufferAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(count_buffers::take(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { count_buffers::give(p, n * sizeof(T)); }

    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    friend bool operator==(const CountBufferAllocator&, const CountBufferAllocator<U>&) {
        return true;
    }
};

class ChannelCounts : public std::vector<std::int32_t, CountBufferAllocator<std::int32_t>> {
    using Base = std::vector<std::int32_t, CountBufferAllocator<std::int32_t>>;

public:
    using Base::Base;
    ChannelCounts() = default;
    explicit ChannelCounts(size_type n) : Base(n, 0) {}
    // Counts worked out elsewhere, as a plain vector.
    ChannelCounts(const std::vector<std::int32_t>& counts) : Base(counts.begin(), counts.end()) {}

    friend bool operator==(const ChannelCounts& a, const std::vector<std::int32_t>& b) {
        return std::ranges::equal(a, b);
    }

    void resize(size_type n) { Base::resize(n, 0); }
    void resize(size_type n, std::int32_t value) { Base::resize(n, value); }

    // For counts the caller overwrites entirely before anyone reads them.
    void resizeForOverwrite(size_type n) { Base::resize(n); }
};

} // namespace kv

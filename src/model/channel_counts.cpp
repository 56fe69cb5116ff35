#include "model/channel_counts.h"

#include <cstring>
#include <new>

namespace kv::count_buffers {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define KV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef KV_ADDRESS_SANITIZER
// Every buffer goes back to the allocator, so the sanitizer sees a use after free.
constexpr bool kKeepBuffers = false;
#else
constexpr bool kKeepBuffers = true;
#endif

// Smaller buffers cost little to allocate; the limit bounds what a thread holds unused.
constexpr std::size_t kSmallestKept = 1024;
constexpr std::size_t kMostKeptBytes = std::size_t{64} << 20;

// The kept buffers of one thread, linked through their first bytes. Trivially destructible, so
// it stays usable to the thread's last moment, when histograms of static objects go away.
struct Kept {
    void* first = nullptr;
    std::size_t bytesEach = 0;
    std::size_t count = 0;
    bool threadEnding = false;
};

thread_local Kept t_kept;

void* unlinkFirst(Kept& kept) noexcept {
    void* buffer = kept.first;
    std::memcpy(&kept.first, buffer, sizeof kept.first);
    --kept.count;
    return buffer;
}

void freeAll(Kept& kept) noexcept {
    while (kept.first) {
        ::operator delete(unlinkFirst(kept));
    }
}

// Frees the kept buffers when the thread ends; armed by the first buffer kept.
struct FreeAtThreadEnd {
    bool armed = false;
    ~FreeAtThreadEnd() {
        freeAll(t_kept);
        t_kept.threadEnding = true;
    }
};

thread_local FreeAtThreadEnd t_freeAtThreadEnd;

} // namespace

void* take(std::size_t bytes) {
    Kept& kept = t_kept;
    if (kept.first && bytes == kept.bytesEach) {
        return unlinkFirst(kept);
    }
    try {
        return ::operator new(bytes);
    } catch (const std::bad_alloc&) {
        if (!kept.first) {
            throw;
        }
    }
    releaseKept();
    return ::operator new(bytes);
}

void releaseKept() noexcept {
    freeAll(t_kept);
}

void give(void* buffer, std::size_t bytes) noexcept {
    Kept& kept = t_kept;
    if (kKeepBuffers && buffer && !kept.threadEnding && bytes >= kSmallestKept) {
        // One size at a time: a list's histograms all have its channel count.
        if (bytes != kept.bytesEach) {
            freeAll(kept);
            kept.bytesEach = bytes;
        }
        if ((kept.count + 1) * bytes <= kMostKeptBytes) {
            if (kept.count == 0) {
                t_freeAtThreadEnd.armed = true;
            }
            std::memcpy(buffer, &kept.first, sizeof kept.first);
            kept.first = buffer;
            ++kept.count;
            return;
        }
    }
    ::operator delete(buffer);
}

} // namespace kv::count_buffers

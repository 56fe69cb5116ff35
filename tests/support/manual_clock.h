#pragma once

// A clock whose time moves only when told: by advance(), or by a wait, which moves it straight
// to the wait's deadline. Actions scheduled with after() run when the clock passes their time,
// in time order, on the thread that moves it, with the clock standing at their time; so a test
// sets an abort flag or a trigger line at an exact moment of a worker's run, and the worker's
// own waits carry the run from one moment to the next without any real time passing.

#include "platform/clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace kv::test {

class ManualClock final : public Clock {
public:
    explicit ManualClock(std::chrono::nanoseconds start = {}) : m_now(start) {}

    std::chrono::nanoseconds now() const override;
    void waitUntil(std::chrono::nanoseconds deadline) override;

    void advance(std::chrono::nanoseconds by) { waitUntil(now() + by); }
    // Runs action once the clock has moved by delay from now (at the next move when delay is 0).
    void after(std::chrono::nanoseconds delay, std::function<void()> action);

private:
    mutable std::mutex m_mutex;
    std::chrono::nanoseconds m_now;
    std::multimap<std::chrono::nanoseconds, std::function<void()>> m_actions;
};

// 2^32 ms less the given time: a run that starts there crosses the tick counter's wrap.
inline constexpr std::chrono::nanoseconds beforeTickWrap(std::chrono::milliseconds early) {
    return std::chrono::milliseconds(std::int64_t{1} << 32) - early;
}

// The processor time the calling thread has used; unlike the wall clock of a loaded machine, it
// leaves out the time other processes hold the processors.
std::chrono::nanoseconds threadCpuTime();

} // namespace kv::test

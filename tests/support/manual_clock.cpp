#include "support/manual_clock.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace kv::test {

std::chrono::nanoseconds threadCpuTime() {
    std::timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::chrono::nanoseconds ManualClock::now() const {
    const std::lock_guard lock(m_mutex);
    return m_now;
}

void ManualClock::waitUntil(std::chrono::nanoseconds deadline) {
    std::unique_lock lock(m_mutex);
    // An action may schedule further actions or read the clock, so it runs unlocked.
    while (!m_actions.empty() && m_actions.begin()->first <= deadline) {
        auto next = m_actions.begin();
        m_now = std::max(m_now, next->first);
        std::function<void()> action = std::move(next->second);
        m_actions.erase(next);
        lock.unlock();
        action();
        lock.lock();
    }
    m_now = std::max(m_now, deadline);
}

void ManualClock::after(std::chrono::nanoseconds delay, std::function<void()> action) {
    const std::lock_guard lock(m_mutex);
    m_actions.emplace(m_now + delay, std::move(action));
}

} // namespace kv::test

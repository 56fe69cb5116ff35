#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kv {

SystemTime localTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    SystemTime t;
    t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    t.day = static_cast<std::uint16_t>(local.tm_mday);
    t.hour = static_cast<std::uint16_t>(local.tm_hour);
    t.minute = static_cast<std::uint16_t>(local.tm_min);
    t.second = static_cast<std::uint16_t>(local.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(millis < 0 ? millis + 1000 : millis);
    return t;
}

std::chrono::nanoseconds RealClock::now() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void RealClock::waitUntil(std::chrono::nanoseconds deadline) {
    using std::chrono::steady_clock;
    // Rounded up, so the wait never ends before the deadline on a coarser clock.
    std::this_thread::sleep_until(
        steady_clock::time_point(std::chrono::ceil<steady_clock::duration>(deadline)));
}

Clock& realClock() {
    static RealClock clock;
    return clock;
}

std::uint32_t tickMilliseconds(const Clock& clock) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(clock.now());
    return static_cast<std::uint32_t>(milliseconds.count());
}

} // namespace kv

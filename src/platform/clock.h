#pragma once

// Time as the program reads it: the local calendar time stamped on new histograms, and the
// monotonic clock that acquisition times its exposures with and waits on. Workers take the
// clock by reference, so tests drive time instead of sleeping.

#include <chrono>
#include <cstdint>

namespace kv {

// Local date and time in the 16-byte layout the histogram record stores.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0; // 0 = Sunday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

SystemTime localTimeNow();

// A monotonic clock. Readings are times since the clock's own arbitrary start and never go
// back. Any thread may read it and wait on it.
class Clock {
public:
    virtual ~Clock() = default;

    virtual std::chrono::nanoseconds now() const = 0;
    // Returns once now() has reached deadline; at once when it already has.
    virtual void waitUntil(std::chrono::nanoseconds deadline) = 0;

    void waitFor(std::chrono::nanoseconds duration) { waitUntil(now() + duration); }
};

// std::chrono::steady_clock; a wait sleeps the calling thread.
class RealClock final : public Clock {
public:
    std::chrono::nanoseconds now() const override;
    void waitUntil(std::chrono::nanoseconds deadline) override;
};

// The program's real clock. It holds no state, so one serves every thread.
Clock& realClock();

// The clock in whole milliseconds, wrapping at 2^32 like the tick counter the acquisition
// timing was written for: a difference of two readings is right across the wrap as long as
// they lie less than 49.7 days apart.
std::uint32_t tickMilliseconds(const Clock& clock);

} // namespace kv

#pragma once

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

// Milliseconds from an arbitrary start, wrapping at 2^32 like the tick counter the acquisition
// timing was written for; differences of two readings stay right across the wrap.
std::uint32_t tickMilliseconds();

} // namespace kv

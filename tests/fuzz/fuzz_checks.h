#pragma once

// What the fuzz targets share: a check that stops the program naming the promise a reader
// broke (libFuzzer and the replay driver keep the input that broke it), and checks of the
// values a reader hands on to the rest of the program.

#include "analysis/isotope_database.h"
#include "model/energy_calibration.h"
#include "model/settings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::fuzz {

// Prints the promise to stderr and aborts.
[[noreturn]] void fail(const char* promise);

inline void require(bool holds, const char* promise) {
    if (!holds) {
        fail(promise);
    }
}

inline std::span<const std::uint8_t> bytesOf(const std::uint8_t* data, std::size_t size) {
    return {data, size};
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// True when bytes start with a complete histogram block: a channel count within
// 1..kMaxChannelCount and as many bytes as its record after it.
bool startsWithCompleteBlock(std::span<const std::uint8_t> bytes);

// The calibration conversions take whatever a file stored: every energy and channel they give
// is finite (a NaN channel's too), the iteration ends within its passes, and without a
// calibration in force the energy is the channel and every energy is channel 0.
void requireSaneConversions(const EnergyCalibration& calibration, std::int32_t channelCount);

// The visible range after clampVisibleRange lies within channelCount channels, first below
// last when there are two channels or more.
void requireVisibleRangeClamped(PlotSettings plot, std::int32_t channelCount);

// A record's lines in a fixed order (by the bits of energy and intensity, NaN as one value), so
// two records can be compared whatever order their lines came in.
std::vector<std::pair<std::uint64_t, std::uint64_t>> linesInFixedOrder(const IsotopeRecord& record);

// Lines in descending intensity, as the database file keeps them (unless a NaN is among them,
// which has no place in that order).
bool linesByIntensity(const IsotopeRecord& record);

// A database written as library text reads back as the same records: names, whether enabled,
// and lines (their order aside). Unless the writer names the first record the form cannot
// hold: a blank name, a name holding a line break, a record without lines, or a subnormal
// number.
void requireLibraryTextRoundTrip(const IsotopeDatabase& database);

} // namespace kv::fuzz

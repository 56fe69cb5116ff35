#include "fuzz_checks.h"

#include "analysis/isotope_text.h"
#include "model/byte_io.h"
#include "model/histogram.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kv::fuzz {

void fail(const char* promise) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

bool startsWithCompleteBlock(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) {
        return false;
    }
    const std::int32_t channels = ByteReader(bytes.first(4)).i32le();
    return channels >= 1 && channels <= kMaxChannelCount &&
           bytes.size() - 4 >= histogramRecordSize(channels);
}

void requireSaneConversions(const EnergyCalibration& calibration, std::int32_t channelCount) {
    const double last = channelCount - 1.0;
    const bool inForce = calibration.inForce();
    for (const double channel : {0.0, 0.5, last / 2.0, last, -1.0, 1e300}) {
        const double energy = calibration.channelToEnergy(channel, channelCount);
        require(std::isfinite(energy), "channelToEnergy gives a finite energy");
        require(inForce || energy == channel, "without a calibration the energy is the channel");
    }
    require(std::isfinite(calibration.channelToEnergy(std::numeric_limits<double>::quiet_NaN(),
                                                      channelCount)),
            "a NaN channel has a finite energy");
    for (const double energy :
         {0.0, 1.0, 661.66, 1e7, -5.0, calibration.channelToEnergy(last / 3.0, channelCount),
          std::numeric_limits<double>::infinity()}) {
        const EnergyToChannelResult found = calibration.energyToChannel(energy, channelCount);
        require(std::isfinite(found.channel), "energyToChannel gives a finite channel");
        require(found.passes >= 0 && found.passes <= kMaxEnergyToChannelPasses,
                "energyToChannel ends within its passes");
        require(inForce || (found.channel == 0.0 && found.converged),
                "without a calibration every energy is channel 0");
    }
}

void requireVisibleRangeClamped(PlotSettings plot, std::int32_t channelCount) {
    clampVisibleRange(plot, channelCount);
    require(plot.firstChannel >= 0 && plot.lastChannel < channelCount,
            "the visible range lies within the spectrum");
    require(channelCount < 2 || plot.firstChannel < plot.lastChannel,
            "the visible range starts below its end");
}

std::vector<std::pair<std::uint64_t, std::uint64_t>>
linesInFixedOrder(const IsotopeRecord& record) {
    const auto key = [](double value) {
        return std::bit_cast<std::uint64_t>(
            std::isnan(value) ? std::numeric_limits<double>::quiet_NaN() : value);
    };
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lines;
    lines.reserve(record.lines.size());
    for (const IsotopeLine& line : record.lines) {
        lines.emplace_back(key(line.energy), key(line.intensity));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool linesByIntensity(const IsotopeRecord& record) {
    const auto& lines = record.lines;
    if (std::any_of(lines.begin(), lines.end(),
                    [](const IsotopeLine& line) { return std::isnan(line.intensity); })) {
        return true;
    }
    return std::is_sorted(
        lines.begin(), lines.end(),
        [](const IsotopeLine& a, const IsotopeLine& b) { return a.intensity > b.intensity; });
}

void requireLibraryTextRoundTrip(const IsotopeDatabase& database) {
    const auto subnormal = [](const IsotopeLine& line) {
        return std::fpclassify(line.energy) == FP_SUBNORMAL ||
               std::fpclassify(line.intensity) == FP_SUBNORMAL;
    };
    const auto writable = [&subnormal](const IsotopeRecord& record) {
        return !record.lines.empty() && record.name.find_first_not_of(" \t") != std::string::npos &&
               record.name.find_first_of("\r\n") == std::string::npos &&
               std::none_of(record.lines.begin(), record.lines.end(), subnormal);
    };
    const LibraryText library = formatLibraryText(database);
    const auto& records = database.records();
    const auto firstUnwritable = std::find_if_not(records.begin(), records.end(), writable);
    if (library.unwritableRecord) {
        require(firstUnwritable != records.end() &&
                    *library.unwritableRecord ==
                        static_cast<std::size_t>(firstUnwritable - records.begin()),
                "the writer names the first record the library text cannot hold");
        return;
    }
    require(firstUnwritable == records.end(), "a record the library text cannot hold is named");
    const ParsedLibraryText parsed = parseLibraryText(library.text);
    require(parsed.error == LibraryTextError::None, "a written library text reads back");
    require(parsed.database.size() == database.size(),
            "a library text reads back as many records as were written");
    for (std::size_t i = 0; i < database.size(); ++i) {
        const IsotopeRecord& read = parsed.database[i];
        require(read.name == database[i].name && read.isEnabled() == database[i].isEnabled() &&
                    linesInFixedOrder(read) == linesInFixedOrder(database[i]),
                "a library text reads back as the records written");
    }
}

} // namespace kv::fuzz

// The configuration file (confadc.cnf), loaded as start-up and "restore configuration" load
// it: the file's bytes laid over the record in memory (a shorter file replaces only the bytes
// it holds, a longer one only its first 1901), then the older layout converted. The record must
// then store exactly those bytes, but for what the codec documents: text fields end at their
// first zero and keep their terminator, texts the file does not reach stay as they were, and an
// older layout's count-window coefficients move to their new place with the marker cleared.
// Loading the saved record again changes nothing, the values that start-up uses stay sane, and
// a histogram file saved under the configuration reads back whole with the same calibrations.

#include "analysis/efficiency.h"
#include "fuzz_checks.h"
#include "model/app_config.h"
#include "model/byte_io.h"
#include "model/histogram.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

using kv::fuzz::require;

using Record = std::array<std::uint8_t, kv::kAppConfigSize>;

// Offset and size of each text field, in the order textsOf lists them.
constexpr std::array<std::pair<std::size_t, std::size_t>, 4> kTextFields{
    {{0, kv::kPathFieldSize},
     {256, kv::kPathFieldSize},
     {649, kv::kLastNameFieldSize},
     {1300, kv::kPathFieldSize}}};

std::array<const std::string*, 4> textsOf(const kv::AppConfig& c) {
    return {&c.documentPath, &c.lastDirectory, &c.analyser.lastName, &c.textExport.exportPath};
}

// A record in use: every text longer than its field, as a path in memory may be.
kv::AppConfig longTexts() {
    kv::AppConfig config;
    config.documentPath = std::string(300, 'd');
    config.lastDirectory = std::string(400, 'l');
    config.analyser.lastName = std::string(200, 'n');
    config.textExport.exportPath = std::string(260, 'e');
    return config;
}

// What the codec writes for a text field holding these bytes: the bytes up to the first zero
// (all but the last when there is none), zero-filled.
void normaliseText(std::span<std::uint8_t> field) {
    const auto zero = std::find(field.begin(), field.end() - 1, std::uint8_t{0});
    std::fill(zero, field.end(), std::uint8_t{0});
}

// The older layout's conversion on the stored bytes: a nonzero first legacy coefficient moves
// the first three to calibrationCoefficients and the next three to countCoefficients, and is
// cleared itself.
void convertLegacyBytes(Record& record) {
    constexpr std::size_t kLegacy = kv::kLegacyCoefficientsOffset;
    constexpr std::size_t kCalibrationCoefficients = 1673;
    constexpr std::size_t kCountCoefficients = 1721;
    kv::ByteReader marker(std::span<const std::uint8_t>(record).subspan(kLegacy, 8));
    if (marker.f64le() == 0.0) {
        return;
    }
    std::copy_n(record.begin() + kLegacy, 24, record.begin() + kCalibrationCoefficients);
    std::copy_n(record.begin() + kLegacy + 24, 24, record.begin() + kCountCoefficients);
    std::fill_n(record.begin() + kLegacy, 8, std::uint8_t{0});
}

// Whatever the configuration holds, Save writes a trailer the reader accepts, and reading it
// back gives the conversions and the number of efficiency points the configuration had.
void checkSavedTrailer(const kv::AppConfig& config) {
    kv::DocumentState state;
    const kv::HistogramList list(state);
    const kv::ParsedHistogramFile saved =
        kv::parseHistogramFile(kv::encodeHistogramFile(list, config));
    require(saved.condition == kv::FileCondition::Complete && saved.trailer,
            "a file saved under any configuration reads back complete");
    kv::AppConfig reopened;
    kv::applyTrailer(reopened, *saved.trailer);
    for (const std::int32_t channels : {1, 2048}) {
        for (const double channel : {0.0, 1.0, 1000.5, 2047.0}) {
            require(reopened.energyCalibration.channelToEnergy(channel, channels) ==
                        config.energyCalibration.channelToEnergy(channel, channels),
                    "a saved calibration converts as the configuration's did");
        }
    }
    require(kv::efficiencyPointCount(reopened.efficiency) ==
                kv::efficiencyPointCount(config.efficiency),
            "a saved efficiency table keeps its number of points");
}

void checkLoadOver(const kv::AppConfig& base, std::span<const std::uint8_t> file) {
    kv::AppConfig config = base;
    kv::overlayAppConfig(config, file);
    kv::convertLegacyLayout(config);

    const std::size_t taken = std::min(file.size(), kv::kAppConfigSize);
    Record expected = kv::encodeAppConfig(base);
    std::copy_n(file.begin(), taken, expected.begin());
    for (std::size_t k = 0; k < kTextFields.size(); ++k) {
        const auto [offset, size] = kTextFields[k];
        if (offset < taken) {
            normaliseText(std::span(expected).subspan(offset, size));
        } else {
            require(*textsOf(config)[k] == *textsOf(base)[k],
                    "a text the file does not reach keeps its form in memory");
        }
    }
    convertLegacyBytes(expected);
    const Record stored = kv::encodeAppConfig(config);
    require(stored == expected, "the record stores the file's bytes as the codec documents");

    kv::AppConfig reloaded = base;
    kv::overlayAppConfig(reloaded, stored);
    kv::convertLegacyLayout(reloaded);
    require(kv::encodeAppConfig(reloaded) == stored, "loading the saved record changes nothing");

    for (const std::int32_t channels : {1, 2, 1024, kv::kMaxChannelCount}) {
        kv::fuzz::requireVisibleRangeClamped(config.plot, channels);
    }
    for (const std::int32_t channels : {1, 2048}) {
        kv::fuzz::requireSaneConversions(config.energyCalibration, channels);
    }
    require(kv::efficiencyPointCount(config.efficiency) <= kv::kMaxEfficiencyPoints,
            "no more efficiency points in use than the table holds");
    for (const double energy : {0.0, 100.0, 661.66, 1e4}) {
        (void)kv::efficiencyAt(config.efficiency, energy);
    }
    checkSavedTrailer(config);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = kv::fuzz::bytesOf(data, size);
    checkLoadOver(kv::AppConfig{}, file);
    static const kv::AppConfig inUse = longTexts();
    checkLoadOver(inUse, file);
    return 0;
}

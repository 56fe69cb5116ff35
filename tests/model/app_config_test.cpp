#include "model/app_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, kAppConfigSize>;

// The test's own little-endian serialisation, so expected bytes do not come from the codec.
template <class T> void append(Bytes& out, const T& v) {
    if constexpr (std::is_arithmetic_v<T>) {
        using U =
            std::conditional_t<sizeof(T) == 8, std::uint64_t,
                               std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint8_t>>;
        const std::uint64_t u = std::bit_cast<U>(v);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
        }
    } else {
        for (const auto& e : v) {
            append(out, e);
        }
    }
}

// Values unlike every default, different per field and per element, with nonzero first and
// last bytes, so a field stored at the wrong place or with the wrong width shows up.
template <class T> void setDistinctive(T& v, unsigned seed) {
    if constexpr (sizeof(T) == 1) {
        v = static_cast<T>(0x80 | seed);
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        v = static_cast<std::int32_t>(0x7100005Au | (seed & 0xFFFFu) << 8);
    } else if constexpr (std::is_same_v<T, double>) {
        v = std::bit_cast<double>(0x401200000000A55Aull | std::uint64_t{seed & 0xFFFFu} << 16);
    } else {
        for (std::size_t i = 0; i < v.size(); ++i) {
            setDistinctive(v[i], seed + 1 + static_cast<unsigned>(i));
        }
    }
}

// One stored field: where it must sit, and how to give it a distinctive value whose expected
// stored bytes are returned. Text fields have their stored size.
struct FieldPin {
    std::string name;
    std::size_t offset;
    std::function<Bytes(AppConfig&)> set;
};

template <class Access>
FieldPin pin(const char* name, Access field, std::size_t offset, std::size_t size = 0) {
    return {name, offset, [=](AppConfig& c) {
                Bytes bytes;
                const auto put = [&](auto& value, unsigned seed) {
                    setDistinctive(value, seed), append(bytes, value);
                };
                auto& member = field(c);
                using T = std::remove_reference_t<decltype(member)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    member = "text@" + std::to_string(offset);
                    bytes.assign(member.begin(), member.end());
                    bytes.resize(size, 0);
                } else if constexpr (std::is_same_v<T, WindowPlacement>) {
                    put(member.length, 1), put(member.flags, 2), put(member.showState, 3);
                    put(member.minPosition, 4), put(member.maxPosition, 6);
                    put(member.normalRect, 8);
                } else {
                    put(member, static_cast<unsigned>(offset));
                }
                return bytes;
            }};
}

// clang-format off
#define PIN(field, ...) pin(#field, [](AppConfig& c) -> auto& { return c.field; }, __VA_ARGS__)
// clang-format on

const std::vector<FieldPin>& fieldPins() {
    // clang-format off
    static const std::vector<FieldPin> pins = {
        PIN(documentPath, 0, 256), PIN(lastDirectory, 256, 256), PIN(plot.logScale, 512),
        PIN(plot.fromZero, 513), PIN(plot.xAxisMode, 514), PIN(plot.yAxisMode, 518),
        PIN(plot.showSelectedOnly, 522), PIN(energyCalibration.calibrationReserve0, 523),
        PIN(energyCalibration.calibrationReserve1, 531), PIN(energyCalibration.pointChannel, 539),
        PIN(energyCalibration.pointEnergy, 579), PIN(energyCalibration.pointCount, 619),
        PIN(filters.smoothRadius, 623), PIN(filters.smoothSigma, 627), PIN(filters.smoothKind, 635),
        PIN(filters.smoothDialogFlag, 639), PIN(lineSearch.rejectRadius, 640),
        PIN(lineSearch.continuumSmoothRadius, 644), PIN(singlePeakOption, 648),
        PIN(analyser.lastName, 649, 128), PIN(analyser.lastExposure, 777),
        PIN(analyser.portBaseIndex, 785), PIN(lineSearch.removeContinuum, 786),
        PIN(lineSearch.searchRadii, 787), PIN(lineSearch.levelFactor, 807),
        PIN(lineSearch.maxPeakWidth, 815), PIN(lineSearch.showOriginal, 823),
        PIN(lineSearch.showLevel, 824), PIN(lineSearch.showResult, 825),
        PIN(analyser.autoSave, 826), PIN(efficiency.efficiencyPointCount, 827),
        PIN(identification.efficiencyCorrection, 831), PIN(efficiency.efficiencyEnergy, 832),
        PIN(efficiency.efficiencyValue, 992), PIN(identification.lineTolerance, 1152),
        PIN(identification.lineThreshold, 1160), PIN(identification.checkLines, 1168),
        PIN(identification.linesNeeded, 1169), PIN(energyCalibration.termCount, 1173),
        PIN(energyCalibration.coefficients, 1177), PIN(energyCalibration.channelScale, 1217),
        PIN(lineSearch.searchTab, 1221), PIN(identification.energyFrom, 1225),
        PIN(identification.energyTo, 1233), PIN(restoreFromDataFile, 1241),
        PIN(analyser.threshold, 1242), PIN(analyser.coincidenceMode, 1246),
        PIN(analyser.gatingMode, 1250), PIN(analyser.internalGating, 1254),
        PIN(analyser.memoryMode, 1258), PIN(analyser.interruptMode, 1262),
        PIN(plot.firstChannel, 1266), PIN(plot.lastChannel, 1270), PIN(plot.roundRange, 1274),
        PIN(layout.windowRect, 1275), PIN(series.triggerPort, 1291), PIN(series.cycleCount, 1295),
        PIN(series.startOnHighLevel, 1299), PIN(textExport.exportPath, 1300, 256),
        PIN(textExport.exportOneFile, 1556), PIN(textExport.exportNames, 1557),
        PIN(countWindows.legacyWindowCoefficients, 1558), PIN(countWindows.windowLower, 1606),
        PIN(countWindows.windowUpper, 1618), PIN(series.xrayExposure, 1630),
        PIN(series.seriesInterval, 1638), PIN(series.seriesMaxCount, 1646), PIN(unused1650, 1650),
        PIN(countWindows.expandedResult, 1654), PIN(layout.reportWindowRect, 1655),
        PIN(textExport.textAutoSave, 1671), PIN(countWindows.autoShiftWindows, 1672),
        PIN(countWindows.calibrationCoefficients, 1673), PIN(countWindows.countCoefficients, 1721),
        PIN(countWindows.referenceChannel, 1793), PIN(countWindows.referenceWidth, 1797),
        PIN(unused1801, 1801), PIN(layout.windowPlacement, 1845), PIN(layout.listPaneWidth, 1889),
        PIN(layout.listPaneHeight, 1893), PIN(layout.listOrientation, 1897),
    };
    // clang-format on
    return pins;
}

#undef PIN

AppConfig allDistinctive() {
    AppConfig config;
    for (const FieldPin& p : fieldPins()) {
        p.set(config);
    }
    return config;
}

::testing::AssertionResult sameBytes(std::span<const std::uint8_t> actual,
                                     std::span<const std::uint8_t> expected) {
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "size " << actual.size() << " vs " << expected.size();
    }
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (a == actual.end()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "first difference at offset " << (a - actual.begin())
                                         << ": " << int{*a} << " instead of " << int{*e};
}

// Arbitrary bytes, except that text fields are zero after their first zero (the form our own
// encoder writes) and each ends with a zero.
Record arbitraryRecord(unsigned seed) {
    std::mt19937 random(seed);
    Record bytes;
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
    for (auto [offset, size] :
         {std::pair<long, long>{0, 256}, {256, 256}, {649, 128}, {1300, 256}}) {
        const auto text = bytes.begin() + offset;
        const long cut = std::uniform_int_distribution<long>(0, size - 1)(random);
        std::fill(std::find(text, text + cut, 0), text + size, 0);
    }
    return bytes;
}

// Stores the given values one after another from offset, in the test's own serialisation.
template <class... T> void put(std::span<std::uint8_t> into, std::size_t offset, T... values) {
    Bytes b;
    (append(b, values), ...);
    ASSERT_LE(offset + b.size(), into.size());
    std::copy(b.begin(), b.end(), into.begin() + static_cast<std::ptrdiff_t>(offset));
}

TEST(AppConfigCodec, EveryFieldIsStoredAtItsOffsetAndRoundTrips) {
    const Record defaults = encodeAppConfig(AppConfig{});
    std::size_t covered = 0;
    for (const FieldPin& p : fieldPins()) {
        SCOPED_TRACE(p.name);
        AppConfig config;
        const Bytes stored = p.set(config);
        Record expected = defaults;
        put(expected, p.offset, stored);
        EXPECT_TRUE(sameBytes(encodeAppConfig(config), expected));
        EXPECT_TRUE(decodeAppConfig(expected) == config);
        EXPECT_EQ(p.offset, covered) << "gap or overlap before this field";
        covered = p.offset + stored.size();
    }
    EXPECT_EQ(covered, kAppConfigSize);

    // Any bytes are a configuration: a file read and written back must not change, including
    // NaN payloads, negative int8 and flag bytes other than 0 and 1.
    for (unsigned seed : {1u, 2u, 3u}) {
        const Record bytes = arbitraryRecord(seed);
        EXPECT_TRUE(sameBytes(encodeAppConfig(decodeAppConfig(bytes)), bytes)) << seed;
    }
}

// Spot checks of the documented defaults: {offset, expected bytes}.
TEST(AppConfig, DefaultsEncodeToTheDocumentedBytes) {
    const Record d = encodeAppConfig(AppConfig{});
    const std::int32_t unset = std::numeric_limits<std::int32_t>::min();
    Record e = d;
    for (std::size_t flag : {513, 522, 786, 1168, 1241, 1274, 1299, 1556, 1654, 1672}) {
        EXPECT_EQ(d[flag], 1) << flag;
    }
    std::memcpy(&e[649], "Spectrum\0", 9), std::memcpy(&e[1300], "spectrum.dat\0", 13);
    put(e, 623, 1), put(e, 640, 15, 4), put(e, 787, 10, 10, 5, 1, 1), put(e, 1169, 3, 5);
    put(e, 1266, 1, 2047), put(e, 1295, 5), put(e, 1655, 0, 0, unset, unset);
    put(e, 1845, 44, 0, 1, 0, 0, 0, 0, 0, 0, 600, 400, 200, 200, 0);
    put(e, 523, 0.0, 1.0), put(e, 627, 2.0), put(e, 807, 3.0, 10.0), put(e, 1233, 2000.0);
    put(e, 1558, 1.0, 1.0, 1.0, 0.0, 1.0, 1.0), put(e, 1606, 0, 200, 600, 100, 300, 700);
    EXPECT_TRUE(sameBytes(d, e));
}

TEST(AppConfigCodec, TextFieldsAreCutAndZeroPadded) {
    AppConfig config;
    config.documentPath = std::string(300, 'p'), config.lastDirectory = std::string(255, 'd');
    const Record bytes = encodeAppConfig(config);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 256), std::string(255, 'p') + '\0');
    EXPECT_EQ(decodeAppConfig(bytes).lastDirectory, config.lastDirectory);

    // Bytes after a terminator are not kept: the record is written back in the padded form.
    Record withTail = bytes;
    std::memcpy(&withTail[649], "ab\0cd", 5);
    EXPECT_EQ(decodeAppConfig(withTail).analyser.lastName, "ab");
    EXPECT_EQ(encodeAppConfig(decodeAppConfig(withTail))[653], 0);
}

TEST(AppConfigOverlay, ReplacesOnlyTheBytesTheFileHolds) {
    const AppConfig before = allDistinctive();
    AppConfig config = before;
    overlayAppConfig(config, {});
    EXPECT_TRUE(config == before) << "an empty file changes nothing";
    Bytes file(512, 0);
    std::memcpy(&file[0], "C:/data/a.hst", 13), std::memcpy(&file[256], "C:/data/", 8);
    overlayAppConfig(config, file);
    AppConfig expected = before;
    expected.documentPath = "C:/data/a.hst", expected.lastDirectory = "C:/data/";
    EXPECT_TRUE(config == expected) << "a 512-byte file changes only the two paths";

    // A file ending inside a field mixes its bytes with the current ones.
    config = before;
    config.plot.xAxisMode = 0x11223344, config.lastDirectory = "/home/user/";
    const Record current = encodeAppConfig(config);
    Bytes partial(current.begin(), current.begin() + 515);
    partial[514] = 0xAA;
    std::memcpy(&partial[256], "abcd", 4);
    overlayAppConfig(config, partial);
    EXPECT_EQ(config.plot.xAxisMode, 0x112233AA);
    config.lastDirectory = "/home/user/";
    overlayAppConfig(config, Bytes(partial.begin(), partial.begin() + 260));
    EXPECT_EQ(config.lastDirectory, "abcde/user/");

    // A longer file contributes its first 1901 bytes only.
    const Record record = arbitraryRecord(7);
    Bytes longFile(record.begin(), record.end());
    longFile.resize(2000, 0xFF);
    overlayAppConfig(config, longFile);
    EXPECT_TRUE(sameBytes(encodeAppConfig(config), record));

    // A field without a terminator is taken whole, never read on into the next field.
    config.lastDirectory = std::string(400, 'd');
    overlayAppConfig(config, Bytes(256, 'x'));
    EXPECT_EQ(config.documentPath, std::string(256, 'x'));
    EXPECT_EQ(config.lastDirectory, std::string(400, 'd'));
}

TEST(AppConfigLegacy, MovesOldCoefficientsAndClearsOnlyTheMarker) {
    // A nonzero marker at 1558 means the old layout; 0.0 and -0.0 leave the record alone.
    for (double marker : {2.5, -1.0, 0.0, -0.0}) {
        Record file = encodeAppConfig(allDistinctive());
        put(file, 1558, marker, 3.5, 4.5, 5.5, 6.5, 7.5);
        AppConfig config;
        overlayAppConfig(config, file);
        convertLegacyLayout(config);
        if (marker != 0.0) {
            put(file, 1558, 0.0), put(file, 1673, marker, 3.5, 4.5); // K0..K2
            put(file, 1721, 5.5, 6.5, 7.5);                          // P0..P2
        }
        EXPECT_TRUE(sameBytes(encodeAppConfig(config), file)) << marker;
    }

    // Defaults carry the marker, so a record saved from them is converted on its next load.
    AppConfig defaults, expected;
    convertLegacyLayout(defaults);
    expected.countWindows.legacyWindowCoefficients[0] = 0.0;
    EXPECT_TRUE(defaults == expected);
}

// {config offset, size} in trailer order: pointChannel, pointEnergy, pointCount, the two
// reserves, termCount, coefficients, channelScale, efficiency count and values, firstChannel,
// lastChannel, roundRange.
constexpr std::size_t kTrailerSlices[][2] = {
    {539, 40}, {579, 40}, {619, 4},   {523, 8},   {531, 8},  {1173, 4}, {1177, 40},
    {1217, 4}, {827, 4},  {832, 160}, {992, 160}, {1266, 4}, {1270, 4}, {1274, 1},
};

TEST(HistogramTrailer, CopiesAndAppliesConfigFieldsInFileOrder) {
    const AppConfig source = allDistinctive();
    const Record record = encodeAppConfig(source);
    const auto trailer = encodeTrailer(trailerOf(source));
    AppConfig target;
    applyTrailer(target, decodeTrailer(trailer));
    Record expected = encodeAppConfig(AppConfig{});
    std::size_t covered = 0;
    for (const auto [from, size] : kTrailerSlices) {
        EXPECT_TRUE(sameBytes(std::span(trailer).subspan(covered, size),
                              std::span(record).subspan(from, size)))
            << covered;
        std::copy_n(&record[from], size, &expected[from]);
        covered += size;
    }
    EXPECT_EQ(covered, kTrailerSize);
    EXPECT_TRUE(sameBytes(encodeAppConfig(target), expected)) << "apply changes only these";

    // Trailers are taken unchecked and must be written back unchanged.
    const Record noise = arbitraryRecord(11);
    std::array<std::uint8_t, kTrailerSize> raw;
    std::copy_n(noise.begin(), kTrailerSize, raw.begin());
    applyTrailer(target, decodeTrailer(raw));
    EXPECT_TRUE(sameBytes(encodeTrailer(trailerOf(target)), raw));
}

} // namespace
} // namespace kv

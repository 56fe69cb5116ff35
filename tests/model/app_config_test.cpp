#include "model/app_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, kAppConfigSize>;

// The test's own little-endian serialisation, so expected bytes do not come from the codec.
void appendLe(Bytes& out, std::uint64_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}
void append(Bytes& out, std::uint8_t v) {
    out.push_back(v);
}
void append(Bytes& out, std::int8_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
}
void append(Bytes& out, std::int32_t v) {
    appendLe(out, static_cast<std::uint32_t>(v), 4);
}
void append(Bytes& out, double v) {
    appendLe(out, std::bit_cast<std::uint64_t>(v), 8);
}
template <class T, std::size_t N> void append(Bytes& out, const std::array<T, N>& values) {
    for (const T& v : values) {
        append(out, v);
    }
}

// Values unlike every default, different per field and per element, with nonzero first and
// last bytes, so a field stored at the wrong place or with the wrong width shows up.
void setDistinctive(std::uint8_t& v, unsigned seed) {
    v = 0x80 | (seed & 0x7F);
}
void setDistinctive(std::int8_t& v, unsigned seed) {
    v = static_cast<std::int8_t>(0x80 | (seed & 0x7F));
}
void setDistinctive(std::int32_t& v, unsigned seed) {
    v = static_cast<std::int32_t>(0x7100005Au | (seed & 0xFFFFu) << 8);
}
void setDistinctive(double& v, unsigned seed) {
    v = std::bit_cast<double>(0x401200000000A55Aull | std::uint64_t{seed & 0xFFFFu} << 16);
}
template <class T, std::size_t N> void setDistinctive(std::array<T, N>& values, unsigned seed) {
    for (std::size_t i = 0; i < N; ++i) {
        setDistinctive(values[i], seed + 1 + static_cast<unsigned>(i));
    }
}

// One stored field: where it must sit, and how to give it a distinctive value whose expected
// stored bytes are returned.
struct FieldPin {
    std::string name;
    std::size_t offset;
    std::function<Bytes(AppConfig&)> set;
};

template <class T> FieldPin pin(const char* name, T AppConfig::*member, std::size_t offset) {
    return {name, offset, [=](AppConfig& c) {
                setDistinctive(c.*member, static_cast<unsigned>(offset));
                Bytes bytes;
                append(bytes, c.*member);
                return bytes;
            }};
}

FieldPin pin(const char* name, std::string AppConfig::*member, std::size_t offset,
             std::size_t fieldSize) {
    return {name, offset, [=](AppConfig& c) {
                c.*member = "text@" + std::to_string(offset);
                Bytes bytes((c.*member).begin(), (c.*member).end());
                bytes.resize(fieldSize, 0);
                return bytes;
            }};
}

FieldPin placementPin() {
    return {"windowPlacement", 1845, [](AppConfig& c) {
                WindowPlacement& p = c.windowPlacement;
                setDistinctive(p.length, 1);
                setDistinctive(p.flags, 2);
                setDistinctive(p.showState, 3);
                setDistinctive(p.minPosition, 4);
                setDistinctive(p.maxPosition, 6);
                setDistinctive(p.normalRect, 8);
                Bytes bytes;
                for (std::int32_t v : {p.length, p.flags, p.showState}) {
                    append(bytes, v);
                }
                append(bytes, p.minPosition);
                append(bytes, p.maxPosition);
                append(bytes, p.normalRect);
                return bytes;
            }};
}

#define PIN(field, offset) pin(#field, &AppConfig::field, offset)
#define TEXT_PIN(field, offset, size) pin(#field, &AppConfig::field, offset, size)

const std::vector<FieldPin>& fieldPins() {
    // clang-format off
    static const std::vector<FieldPin> pins = {
        TEXT_PIN(documentPath, 0, 256), TEXT_PIN(lastDirectory, 256, 256),
        PIN(logScale, 512), PIN(fromZero, 513), PIN(xAxisMode, 514), PIN(yAxisMode, 518),
        PIN(showSelectedOnly, 522), PIN(calibrationReserve0, 523), PIN(calibrationReserve1, 531),
        PIN(pointChannel, 539), PIN(pointEnergy, 579), PIN(pointCount, 619),
        PIN(smoothRadius, 623), PIN(smoothSigma, 627), PIN(smoothKind, 635),
        PIN(smoothDialogFlag, 639), PIN(rejectRadius, 640), PIN(continuumSmoothRadius, 644),
        PIN(singlePeakOption, 648), TEXT_PIN(lastName, 649, 128), PIN(lastExposure, 777),
        PIN(portBaseIndex, 785), PIN(removeContinuum, 786), PIN(searchRadii, 787),
        PIN(levelFactor, 807), PIN(maxPeakWidth, 815), PIN(showOriginal, 823),
        PIN(showLevel, 824), PIN(showResult, 825), PIN(autoSave, 826),
        PIN(efficiencyPointCount, 827), PIN(efficiencyCorrection, 831),
        PIN(efficiencyEnergy, 832), PIN(efficiencyValue, 992), PIN(lineTolerance, 1152),
        PIN(lineThreshold, 1160), PIN(checkLines, 1168), PIN(linesNeeded, 1169),
        PIN(termCount, 1173), PIN(coefficients, 1177), PIN(channelScale, 1217),
        PIN(searchTab, 1221), PIN(energyFrom, 1225), PIN(energyTo, 1233),
        PIN(restoreFromDataFile, 1241), PIN(threshold, 1242), PIN(coincidenceMode, 1246),
        PIN(gatingMode, 1250), PIN(internalGating, 1254), PIN(memoryMode, 1258),
        PIN(interruptMode, 1262), PIN(firstChannel, 1266), PIN(lastChannel, 1270),
        PIN(roundRange, 1274), PIN(windowRect, 1275), PIN(triggerPort, 1291),
        PIN(cycleCount, 1295), PIN(startOnHighLevel, 1299), TEXT_PIN(exportPath, 1300, 256),
        PIN(exportOneFile, 1556), PIN(exportNames, 1557), PIN(legacyWindowCoefficients, 1558),
        PIN(windowLower, 1606), PIN(windowUpper, 1618), PIN(xrayExposure, 1630),
        PIN(seriesInterval, 1638), PIN(seriesMaxCount, 1646), PIN(unused1650, 1650),
        PIN(expandedResult, 1654), PIN(reportWindowRect, 1655), PIN(textAutoSave, 1671),
        PIN(autoShiftWindows, 1672), PIN(calibrationCoefficients, 1673),
        PIN(countCoefficients, 1721), PIN(referenceChannel, 1793), PIN(referenceWidth, 1797),
        PIN(unused1801, 1801), placementPin(), PIN(listPaneWidth, 1889),
        PIN(listPaneHeight, 1893), PIN(listOrientation, 1897),
    };
    // clang-format on
    return pins;
}

#undef PIN
#undef TEXT_PIN

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

void splice(std::span<std::uint8_t> into, std::size_t offset, const Bytes& bytes) {
    ASSERT_LE(offset + bytes.size(), into.size());
    std::copy(bytes.begin(), bytes.end(), into.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Arbitrary bytes, except that text fields are zero after their first zero (the form our own
// encoder writes) and each ends with a zero.
Record arbitraryRecord(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Record bytes;
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    for (auto [offset, size] :
         {std::pair<std::size_t, std::size_t>{0, 256}, {256, 256}, {649, 128}, {1300, 256}}) {
        const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
        bool ended = false;
        for (std::size_t i = 0; i < size; ++i) {
            std::uint8_t& b = bytes[offset + i];
            ended = ended || i == cut || b == 0;
            if (ended) {
                b = 0;
            }
        }
    }
    return bytes;
}

void putF64(std::span<std::uint8_t> bytes, std::size_t offset, double v) {
    Bytes b;
    append(b, v);
    splice(bytes, offset, b);
}

TEST(AppConfigCodec, EveryFieldIsStoredAtItsOffset) {
    const Record defaults = encodeAppConfig(AppConfig{});
    std::size_t covered = 0;
    for (const FieldPin& p : fieldPins()) {
        SCOPED_TRACE(p.name);
        AppConfig config;
        const Bytes stored = p.set(config);
        Record expected = defaults;
        splice(expected, p.offset, stored);

        EXPECT_TRUE(sameBytes(encodeAppConfig(config), expected));
        EXPECT_TRUE(decodeAppConfig(expected) == config);
        EXPECT_EQ(p.offset, covered) << "gap or overlap before this field";
        covered = p.offset + stored.size();
    }
    EXPECT_EQ(covered, kAppConfigSize);
}

TEST(AppConfig, DefaultsEncodeToTheDocumentedBytes) {
    Record expected{};
    const auto i32 = [&](std::size_t offset, std::initializer_list<std::int32_t> values) {
        Bytes b;
        for (std::int32_t v : values) {
            append(b, v);
        }
        splice(expected, offset, b);
    };
    const auto f64 = [&](std::size_t offset, std::initializer_list<double> values) {
        Bytes b;
        for (double v : values) {
            append(b, v);
        }
        splice(expected, offset, b);
    };
    for (std::size_t flagOffset :
         {513, 522, 786, 823, 824, 825, 826, 1168, 1241, 1274, 1299, 1556, 1557, 1654, 1672}) {
        expected[flagOffset] = 1;
    }
    std::memcpy(&expected[649], "Spectrum", 8);
    std::memcpy(&expected[1300], "spectrum.dat", 12);
    const std::int32_t useDefault = std::numeric_limits<std::int32_t>::min();
    i32(623, {1});
    i32(640, {15, 4});
    i32(787, {10, 10, 5, 1, 1});
    i32(1169, {3, 5});
    i32(1246, {1, 1});
    i32(1266, {1, 2047});
    i32(1295, {5});
    i32(1606, {0, 200, 600, 100, 300, 700});
    i32(1646, {200});
    i32(1655, {0, 0, useDefault, useDefault});
    i32(1793, {600, 200, 10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    i32(1845, {44, 0, 1, 0, 0, 0, 0, 0, 0, 600, 400, 200, 200, 0});
    f64(523, {0.0, 1.0});
    f64(627, {2.0});
    f64(777, {1.0});
    f64(807, {3.0, 10.0});
    f64(1152, {1.0, 0.01});
    f64(1233, {2000.0});
    f64(1558, {1.0, 1.0, 1.0, 0.0, 1.0, 1.0});
    f64(1630, {1.0, 0.1});
    f64(1673, {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 0.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0});

    const Record bytes = encodeAppConfig(AppConfig{});
    EXPECT_EQ(bytes.size(), 1901u);
    EXPECT_TRUE(sameBytes(bytes, expected));
    EXPECT_EQ(bytes[1666], 0x80); // -2147483648 little-endian: 00 00 00 80
}

TEST(AppConfigCodec, RoundTripsValuesAndBytes) {
    const AppConfig config = allDistinctive();
    EXPECT_TRUE(decodeAppConfig(encodeAppConfig(config)) == config);

    // Any bytes are a configuration: a file read and written back must not change, including
    // NaN payloads, negative int8 and flag bytes other than 0 and 1.
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const Record bytes = arbitraryRecord(seed);
        EXPECT_TRUE(sameBytes(encodeAppConfig(decodeAppConfig(bytes)), bytes));
    }

    Record signedByte = encodeAppConfig(AppConfig{});
    signedByte[785] = 0xFF;
    EXPECT_EQ(decodeAppConfig(signedByte).portBaseIndex, -1) << "portBaseIndex is signed";
}

TEST(AppConfigCodec, TextFieldsAreCutAndZeroPadded) {
    AppConfig config;
    config.documentPath = std::string(300, 'p');
    config.lastDirectory = std::string(255, 'd');
    config.exportPath.clear();
    const Record bytes = encodeAppConfig(config);

    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 255), std::string(255, 'p'));
    EXPECT_EQ(bytes[255], 0);
    EXPECT_EQ(config.documentPath.size(), 300u) << "the path in memory stays whole";
    const AppConfig decoded = decodeAppConfig(bytes);
    EXPECT_EQ(decoded.lastDirectory, config.lastDirectory);
    EXPECT_EQ(decoded.exportPath, "");
    EXPECT_TRUE(std::all_of(&bytes[1300], &bytes[1556], [](std::uint8_t b) { return b == 0; }));

    // Bytes after a terminator are not kept: the record is written back in the padded form.
    Record withTail = bytes;
    std::memcpy(&withTail[649], "ab\0cd", 5);
    const Record rewritten = encodeAppConfig(decodeAppConfig(withTail));
    EXPECT_EQ(decodeAppConfig(withTail).lastName, "ab");
    EXPECT_EQ(rewritten[652], 0);
    EXPECT_EQ(rewritten[653], 0);
}

TEST(AppConfigOverlay, ReplacesOnlyTheBytesTheFileHolds) {
    const AppConfig before = allDistinctive();

    AppConfig config = before;
    overlayAppConfig(config, {});
    EXPECT_TRUE(config == before) << "an empty file changes nothing";

    Bytes file(512, 0);
    std::memcpy(&file[0], "C:/data/a.hst", 13);
    std::memcpy(&file[256], "C:/data/", 8);
    overlayAppConfig(config, file);
    AppConfig expected = before;
    expected.documentPath = "C:/data/a.hst";
    expected.lastDirectory = "C:/data/";
    EXPECT_TRUE(config == expected) << "a 512-byte file changes only the two paths";

    // A file ending inside a field mixes its bytes with the current ones.
    config = before;
    config.xAxisMode = 0x11223344;
    const Record current = encodeAppConfig(config);
    Bytes endsInNumber(current.begin(), current.begin() + 515);
    endsInNumber[514] = 0xAA;
    overlayAppConfig(config, endsInNumber);
    EXPECT_EQ(config.xAxisMode, 0x112233AA);

    config.lastDirectory = "/home/user/";
    Bytes endsInText(260, 0);
    std::memcpy(&endsInText[256], "abcd", 4);
    overlayAppConfig(config, endsInText);
    EXPECT_EQ(config.lastDirectory, "abcde/user/");

    // A longer file contributes its first 1901 bytes only.
    const Record record = arbitraryRecord(7);
    Bytes longFile(record.begin(), record.end());
    longFile.resize(2000, 0xFF);
    overlayAppConfig(config, longFile);
    EXPECT_TRUE(sameBytes(encodeAppConfig(config), record));
}

TEST(AppConfigOverlay, KeepsLongPathsTheFileDoesNotReach) {
    AppConfig config;
    config.documentPath = std::string(300, 'p');
    config.lastDirectory = std::string(400, 'd');
    const Bytes file(256, 'x');
    overlayAppConfig(config, file);
    // A field without a terminator is taken whole, never read on into the next field.
    EXPECT_EQ(config.documentPath, std::string(256, 'x'));
    EXPECT_EQ(config.lastDirectory, std::string(400, 'd'));
}

TEST(AppConfigLegacy, MovesOldCoefficientsAndClearsOnlyTheMarker) {
    for (double marker : {2.5, -1.0}) {
        SCOPED_TRACE(marker);
        Record file = encodeAppConfig(allDistinctive());
        const double old[6] = {marker, 3.5, 4.5, 5.5, 6.5, 7.5};
        for (std::size_t i = 0; i < 6; ++i) {
            putF64(file, 1558 + 8 * i, old[i]);
        }
        AppConfig config;
        overlayAppConfig(config, file);
        convertLegacyLayout(config);

        Record expected = file;
        putF64(expected, 1558, 0.0);
        for (std::size_t i = 0; i < 3; ++i) {
            putF64(expected, 1673 + 8 * i, old[i]);     // K0..K2
            putF64(expected, 1721 + 8 * i, old[3 + i]); // P0..P2
        }
        EXPECT_TRUE(sameBytes(encodeAppConfig(config), expected));
    }

    // Defaults carry the marker, so a record saved from them is converted on its next load.
    AppConfig defaults;
    convertLegacyLayout(defaults);
    EXPECT_EQ(defaults.legacyWindowCoefficients[0], 0.0);
    defaults.legacyWindowCoefficients[0] = 1.0;
    EXPECT_TRUE(defaults == AppConfig{});
}

TEST(AppConfigLegacy, LeavesARecordWithoutMarkerAlone) {
    for (double marker : {0.0, -0.0}) {
        Record file = encodeAppConfig(allDistinctive());
        putF64(file, 1558, marker);
        AppConfig config;
        overlayAppConfig(config, file);
        convertLegacyLayout(config);
        EXPECT_TRUE(sameBytes(encodeAppConfig(config), file)) << "marker " << marker;
    }
}

struct TrailerSlice {
    std::size_t trailerOffset;
    std::size_t configOffset;
    std::size_t size;
};

// pointChannel, pointEnergy, pointCount, the two reserves, termCount, coefficients,
// channelScale, efficiency count and values, firstChannel, lastChannel, roundRange.
constexpr TrailerSlice kTrailerSlices[] = {
    {0, 539, 40},    {40, 579, 40},   {80, 619, 4},   {84, 523, 8},   {92, 531, 8},
    {100, 1173, 4},  {104, 1177, 40}, {144, 1217, 4}, {148, 827, 4},  {152, 832, 160},
    {312, 992, 160}, {472, 1266, 4},  {476, 1270, 4}, {480, 1274, 1},
};

TEST(HistogramTrailer, CopiesConfigFieldsInFileOrder) {
    const AppConfig config = allDistinctive();
    const Record record = encodeAppConfig(config);
    const auto trailer = encodeTrailer(config);
    std::size_t covered = 0;
    for (const TrailerSlice& s : kTrailerSlices) {
        SCOPED_TRACE(s.trailerOffset);
        EXPECT_EQ(s.trailerOffset, covered);
        EXPECT_TRUE(sameBytes(std::span(trailer).subspan(s.trailerOffset, s.size),
                              std::span(record).subspan(s.configOffset, s.size)));
        covered = s.trailerOffset + s.size;
    }
    EXPECT_EQ(covered, kTrailerSize);
}

TEST(HistogramTrailer, ApplyChangesExactlyTheTrailerFields) {
    const AppConfig source = allDistinctive();
    AppConfig target;
    applyTrailer(target, encodeTrailer(source));

    Record expected = encodeAppConfig(AppConfig{});
    const Record sourceRecord = encodeAppConfig(source);
    for (const TrailerSlice& s : kTrailerSlices) {
        std::copy_n(&sourceRecord[s.configOffset], s.size, &expected[s.configOffset]);
    }
    EXPECT_TRUE(sameBytes(encodeAppConfig(target), expected));

    // Trailers are taken unchecked and must be written back unchanged.
    const Record noise = arbitraryRecord(11);
    std::array<std::uint8_t, kTrailerSize> trailer;
    std::copy_n(noise.begin(), kTrailerSize, trailer.begin());
    AppConfig config;
    applyTrailer(config, trailer);
    EXPECT_TRUE(sameBytes(encodeTrailer(config), trailer));
}

} // namespace
} // namespace kv

#include "model/histogram_file.h"

#include "model/byte_io.h"
#include "model/histogram_list.h"
#include "support/allocation_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string_view>
#include <utility>

namespace kv {
namespace {

std::vector<std::uint8_t> twoHistogramFile(std::int32_t channels = 4) {
    DocumentState document;
    HistogramList list(document);
    list.setChannelCount(channels);
    for (const char* name : {"a", "b"}) {
        auto h = list.newHistogram();
        h->name.assign(name);
        h->channels.back() = 9;
        h->total = 9;
        list.addHistogram(std::move(h));
    }
    AppConfig config;
    config.plot.firstChannel = 1;
    config.plot.lastChannel = 3;
    config.energyCalibration.channelScale = 77;
    return encodeHistogramFile(list, config);
}

TEST(HistogramFileLayout, MagicCountBlocksAndTrailerInOrder) {
    const auto bytes = twoHistogramFile();
    const std::size_t block = 4 + 292 + 16;
    ASSERT_EQ(bytes.size(), 12 + 4 + 2 * block + kTrailerSize);
    EXPECT_EQ(std::memcmp(bytes.data(), "KVANTIRA1.0\0", 12), 0);
    ByteReader r(bytes);
    r.seek(12);
    EXPECT_EQ(r.i32le(), 2);
    EXPECT_EQ(r.i32le(), 4) << "each block starts with its channel count";
    r.seek(16 + 4 + 4);
    EXPECT_EQ(textOfField(r.view(128)), " 1. a");
    r.seek(16 + block + 4 + 4);
    EXPECT_EQ(textOfField(r.view(128)), " 2. b");
    r.seek(16 + block - 4);
    EXPECT_EQ(r.i32le(), 9) << "last channel of the first block";
    r.seek(16 + 2 * block + 144);
    EXPECT_EQ(r.i32le(), 77) << "channelScale in the trailer";
    r.seek(16 + 2 * block + 472);
    EXPECT_EQ(r.i32le(), 1);
    EXPECT_EQ(r.i32le(), 3);

    const auto parsed = parseHistogramFile(bytes);
    EXPECT_EQ(parsed.condition, FileCondition::Complete);
    ASSERT_EQ(parsed.histograms.size(), 2u);
    EXPECT_EQ(parsed.histograms[1]->channels, (std::vector<std::int32_t>{0, 0, 0, 9}));
    EXPECT_TRUE(parsed.trailer.has_value());
}

TEST(HistogramFileParsing, DamageKeepsTheCompleteBlocksBeforeIt) {
    const auto whole = twoHistogramFile();
    const std::size_t block = 4 + 292 + 16;
    struct Case {
        const char* what;
        std::size_t keep; // bytes kept of the file
        std::size_t histograms;
    };
    for (const Case c : {Case{"cut in the trailer", whole.size() - 1, 2},
                         Case{"cut in the second block's channels", 16 + block + 300, 1},
                         Case{"cut in the second block's header", 16 + block + 100, 1},
                         Case{"cut in the first channel count", 18, 0}, Case{"no count", 12, 0}}) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + c.keep);
        const auto parsed = parseHistogramFile(cut);
        EXPECT_EQ(parsed.condition, FileCondition::Damaged) << c.what;
        EXPECT_EQ(parsed.histograms.size(), c.histograms) << c.what;
        EXPECT_FALSE(parsed.trailer) << c.what;
    }
    auto wrongMagic = whole;
    wrongMagic[10] = '1';
    for (const auto& bytes : {wrongMagic, std::vector<std::uint8_t>{}}) {
        const auto parsed = parseHistogramFile(bytes);
        EXPECT_EQ(parsed.condition, FileCondition::WrongMagic);
        EXPECT_TRUE(parsed.histograms.empty());
    }
}

TEST(HistogramFileParsing, CountsOutOfRangeAreDamageNotAllocations) {
    const auto whole = twoHistogramFile();
    for (const std::int32_t bad : {0, -1, (1 << 20) + 1, 0x7FFFFFFF}) {
        auto bytes = whole;
        ByteWriter(std::span(bytes).subspan(16 + 4 + 292 + 16, 4)).i32le(bad);
        const auto parsed = parseHistogramFile(bytes);
        EXPECT_EQ(parsed.condition, FileCondition::Damaged) << bad;
        EXPECT_EQ(parsed.histograms.size(), 1u) << bad;
    }
    auto bytes = whole;
    ByteWriter(std::span(bytes).subspan(12, 4)).i32le(-3);
    EXPECT_EQ(parseHistogramFile(bytes).condition, FileCondition::Damaged);
    ByteWriter(std::span(bytes).subspan(12, 4)).i32le(0x7FFFFFFF);
    const auto huge = parseHistogramFile(bytes);
    EXPECT_EQ(huge.condition, FileCondition::Damaged);
    EXPECT_EQ(huge.histograms.size(), 2u);
}

TEST(HistogramFileParsing, ALoweredCountOrBytesAfterTheTrailerAreDamage) {
    const auto whole = twoHistogramFile(2048);
    auto lowered = whole;
    ByteWriter(std::span(lowered).subspan(12, 4)).i32le(1);
    auto extended = whole;
    extended.push_back(0);
    for (const auto& [what, bytes] : {std::pair{"count lowered from 2 to 1", lowered},
                                      std::pair{"a byte after the trailer", extended}}) {
        const auto parsed = parseHistogramFile(bytes);
        EXPECT_EQ(parsed.condition, FileCondition::Damaged) << what;
        EXPECT_FALSE(parsed.trailer) << what;
        EXPECT_EQ(parsed.histograms.size(), std::string_view(what).starts_with("count") ? 1u : 2u)
            << what;
    }
}

TEST(HistogramFileParsing, ATrailerNoFileHoldsIsDamage) {
    const auto whole = twoHistogramFile();
    const std::size_t trailer = whole.size() - kTrailerSize;
    const auto withInt = [&](std::size_t offset, std::int32_t value) {
        auto bytes = whole;
        ByteWriter(std::span(bytes).subspan(trailer + offset, 4)).i32le(value);
        return bytes;
    };
    const auto withDouble = [&](std::size_t offset, double value) {
        auto bytes = whole;
        ByteWriter(std::span(bytes).subspan(trailer + offset, 8)).f64le(value);
        return bytes;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool possible;
    } cases[] = {
        {"point count 5", withInt(80, 5), true},
        {"point count 6", withInt(80, 6), false},
        {"point count -1", withInt(80, -1), false},
        {"term count 0 (an empty fit)", withInt(100, 0), true},
        {"term count 6", withInt(100, 6), false},
        {"term count -1", withInt(100, -1), false},
        {"channel scale 0 (no calibration, as written by default)", withInt(144, 0), true},
        {"channel scale 1", withInt(144, 1), true},
        {"channel scale 1048576", withInt(144, 1 << 20), true},
        {"channel scale 1048577", withInt(144, (1 << 20) + 1), false},
        {"channel scale -1", withInt(144, -1), false},
        {"efficiency point count 20", withInt(148, 20), true},
        {"efficiency point count 21", withInt(148, 21), false},
        {"unused fifth coefficient NaN", withDouble(104 + 32, nan), false},
        {"first coefficient infinite", withDouble(104, -inf), false},
        {"a calibration point's channel NaN", withDouble(0 + 8, nan), false},
        {"a calibration point's energy infinite", withDouble(40 + 32, inf), false},
        {"an efficiency energy NaN", withDouble(152 + 8 * 19, nan), false},
        {"an efficiency value infinite", withDouble(312, inf), false},
        {"a reserve NaN (read by nothing)", withDouble(84, nan), true},
        {"a range no spectrum has (corrected on reading)", withInt(472, -7), true},
    };
    for (const auto& c : cases) {
        const auto parsed = parseHistogramFile(c.bytes);
        EXPECT_EQ(parsed.condition, c.possible ? FileCondition::Complete : FileCondition::Damaged)
            << c.what;
        EXPECT_EQ(parsed.histograms.size(), 2u) << c.what;
        EXPECT_EQ(parsed.trailer.has_value(), c.possible) << c.what;
    }
}

TEST(HistogramFileWriting, AnyConfigurationGivesAFileThatReadsBackWhole) {
    DocumentState document;
    HistogramList list(document);
    list.setChannelCount(4096);
    list.addHistogram(list.newHistogram());
    // Configuration files may hold anything; what the calibrations mean must survive.
    std::mt19937 random(14);
    for (int round = 0; round < 200; ++round) {
        std::array<std::uint8_t, kAppConfigSize> record;
        std::generate(record.begin(), record.end(),
                      [&] { return static_cast<std::uint8_t>(random()); });
        AppConfig config = decodeAppConfig(record);
        if (round % 2 == 0) {
            // Half of them with a calibration in force and a damaged unused term.
            config.energyCalibration.channelScale = 2048;
            config.energyCalibration.termCount = 2;
            config.energyCalibration.coefficients = {1.5, 0.25, std::nan(""), 1e300, 0.0};
        }
        const auto parsed = parseHistogramFile(encodeHistogramFile(list, config));
        ASSERT_EQ(parsed.condition, FileCondition::Complete) << round;
        const EnergyCalibration& written = parsed.trailer->energyCalibration;
        const EnergyCalibration& held = config.energyCalibration;
        EXPECT_EQ(written.inForce(), held.inForce()) << round;
        EXPECT_EQ(written.termsInUse(), held.termsInUse()) << round;
        for (const double channel : {0.0, 100.5, 4095.0}) {
            EXPECT_EQ(written.channelToEnergy(channel, 4096), held.channelToEnergy(channel, 4096))
                << round;
        }
    }

    // A possible trailer is stored as it is, so a file read is written back byte for byte.
    const auto real = test::readBytes(KV_TEST_DATA_DIR "/cs137_nai.hst");
    const auto parsed = parseHistogramFile(real);
    ASSERT_TRUE(parsed.trailer);
    EXPECT_EQ(encodeTrailer(storableTrailer(*parsed.trailer)), encodeTrailer(*parsed.trailer));
}

TEST(HistogramFileParsing, MemoryRunningOutKeepsWhatWasReadWholeAndThrowsNothing) {
    constexpr std::int32_t kChannels = 1 << 18; // 1 MiB of counts a histogram
    const auto bytes = twoHistogramFile(kChannels);
    {
        const test::AllocationLimit limit(std::size_t{3} << 19); // one and a half histograms
        const auto parsed = parseHistogramFile(bytes);
        EXPECT_EQ(parsed.condition, FileCondition::OutOfMemory);
        EXPECT_EQ(parsed.histograms.size(), 1u);
        EXPECT_FALSE(parsed.trailer);
    }
    SpanSource block(std::span<const std::uint8_t>(bytes).subspan(16));
    const test::AllocationLimit limit(1000);
    EXPECT_EQ(readHistogramBlock(block), nullptr);
}

TEST(HistogramFileParsing, RealSpectrumConvertedFromAnotherFormat) {
    const auto bytes = test::readBytes(KV_TEST_DATA_DIR "/cs137_nai.hst");
    const auto parsed = parseHistogramFile(bytes);
    ASSERT_EQ(parsed.condition, FileCondition::Complete);
    ASSERT_EQ(parsed.histograms.size(), 1u);
    const Histogram& h = *parsed.histograms[0];
    EXPECT_EQ(h.channels.size(), 1024u);
    EXPECT_EQ(h.name.view(), "Cs-137 NaI");
    EXPECT_EQ(sumChannels(h, 0, 1023), h.total);
    EXPECT_DOUBLE_EQ(h.exposure, 331.0);
}

} // namespace
} // namespace kv

#include "model/histogram_file.h"

#include "model/byte_io.h"
#include "model/histogram_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>

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

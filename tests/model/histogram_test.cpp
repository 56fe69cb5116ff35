#include "model/histogram.h"

#include "model/byte_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <tuple>
#include <vector>

namespace kv {
namespace {

Histogram sampleHistogram() {
    Histogram h;
    h.kind = 0x7FFFFF35; // high bits carried, marked, kind number 5
    h.name.assign(" 1. Co-60");
    h.comment.assign("\xCA\xEE\xEF\xE8\xFF"); // "Копия" in Windows-1251
    h.created = {2026, 12, 0, 6, 20, 13, 49, 123};
    h.reserved = {1, 2, 3, 4};
    h.total = 0xFFFFFFFE;
    h.exposure = 600.25;
    h.channels = {-1, 7, 0x12345678};
    return h;
}

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    ByteReader r(b);
    r.seek(at);
    return r.u32le();
}

TEST(HistogramRecord, FieldsStandAtTheirStoredOffsets) {
    const Histogram h = sampleHistogram();
    std::vector<std::uint8_t> bytes(histogramRecordSize(3));
    ASSERT_EQ(bytes.size(), 304u);
    encodeHistogram(h, bytes);

    EXPECT_EQ(u32At(bytes, 0), 0x7FFFFF35u);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, " 1. Co-60\0", 10), 0);
    EXPECT_EQ(bytes[4 + 127], 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 132, "\xCA\xEE\xEF\xE8\xFF\0", 6), 0);
    const std::uint8_t created[16] = {0xEA, 0x07, 12, 0, 0, 0, 6, 0, 20, 0, 13, 0, 49, 0, 123, 0};
    EXPECT_EQ(std::memcmp(bytes.data() + 260, created, 16), 0);
    const std::uint8_t reserved[4] = {1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(bytes.data() + 276, reserved, 4), 0);
    EXPECT_EQ(u32At(bytes, 280), 0xFFFFFFFEu);
    ByteReader r(bytes);
    r.seek(284);
    EXPECT_EQ(r.f64le(), 600.25);
    EXPECT_EQ(u32At(bytes, 292), 0xFFFFFFFFu);
    EXPECT_EQ(u32At(bytes, 296), 7u);
    EXPECT_EQ(u32At(bytes, 300), 0x12345678u);
}

TEST(HistogramRecord, DecodeRestoresEveryByteIncludingTextTailsOrFailsWhenCut) {
    std::vector<std::uint8_t> bytes(histogramRecordSize(3));
    encodeHistogram(sampleHistogram(), bytes);
    bytes[4 + 100] = 'x'; // left behind the terminator by another program
    Histogram back;
    SpanSource source(bytes);
    ASSERT_TRUE(readHistogram(source, 3, back));
    EXPECT_EQ(back.name.view(), " 1. Co-60");
    std::vector<std::uint8_t> again(bytes.size());
    encodeHistogram(back, again);
    EXPECT_EQ(again, bytes);

    // A source that ends early, in the channels or in the header, is a failure; one that ends
    // in the channels leaves no counts behind that were never read.
    for (const std::size_t size : {bytes.size() - 1, std::size_t{100}}) {
        SpanSource cut{std::span(bytes).first(size)};
        EXPECT_FALSE(readHistogram(cut, 3, back)) << size;
        if (size > kHistogramHeaderSize) {
            EXPECT_TRUE(back.channels.empty());
        }
    }
}

TEST(HistogramText, AssignCutsTo127BytesAndZeroFills) {
    FixedText<128> text;
    text.assign(std::string(300, 'a'));
    EXPECT_EQ(text.view().size(), 127u);
    text.assign("ab");
    EXPECT_EQ(text.view(), "ab");
    EXPECT_EQ(text.bytes()[2], 0);
    EXPECT_EQ(text.bytes()[126], 0);
}

TEST(ChannelSum, ClampsLimitsAndWrapsLikeThirtyTwoBitIntegers) {
    Histogram h;
    h.channels = {1, 2, 3, 4};
    EXPECT_EQ(sumChannels(h, 0, 3), 10u);
    EXPECT_EQ(sumChannels(h, 1, 4), 9u) << "b at the channel count sums to the last channel";
    EXPECT_EQ(sumChannels(h, 2, 1000), 7u);
    EXPECT_EQ(sumChannels(h, 3, 2), 0u);
    EXPECT_EQ(sumChannels(h, 7, 9), 4u) << "a beyond the end is the last channel";
    EXPECT_EQ(sumChannels(h, -5, 0), 1u);

    h.channels = {std::numeric_limits<std::int32_t>::max(), 2, -1};
    EXPECT_EQ(sumChannels(h, 0, 1), 0x80000001u);
    EXPECT_EQ(sumChannels(h, 0, 2), 0x80000000u);
}

TEST(RangeMoments, MeanAndVarianceOfChannelIndicesAndZerosWithoutCounts) {
    Histogram h;
    h.channels = {0, 0, 10, 0, 30, 0};
    const RangeMoments m = rangeMoments(h, 0, 5);
    EXPECT_EQ(m.sum, 40u);
    EXPECT_DOUBLE_EQ(m.mean, (2 * 10 + 4 * 30) / 40.0);
    EXPECT_DOUBLE_EQ(m.variance, (4 * 10 + 16 * 30) / 40.0 - 3.5 * 3.5);
    const RangeMoments part = rangeMoments(h, 3, 99);
    EXPECT_EQ(std::tuple(part.sum, part.mean, part.variance), std::tuple(30u, 4.0, 0.0));
    for (const auto& [first, last] : {std::pair{0, 1}, std::pair{3, 1}}) {
        const RangeMoments none = rangeMoments(h, first, last);
        EXPECT_EQ(std::tuple(none.sum, none.mean, none.variance), std::tuple(0u, 0.0, 0.0));
    }
}

TEST(ChannelCounts, NewCountsAreZeroEvenInABufferAnotherHistogramGaveBack) {
    for (int round = 0; round < 3; ++round) {
        {
            ChannelCounts used(4096);
            std::ranges::fill(used, -1);
        }
        const ChannelCounts sized(4096);
        EXPECT_EQ(std::ranges::count(sized, 0), 4096);
        ChannelCounts grown;
        grown.resize(4096);
        grown.resize(8192);
        EXPECT_EQ(std::ranges::count(grown, 0), 8192);
        grown.resize(9000, 7);
        EXPECT_EQ(std::ranges::count(grown, 7), 808);
    }
}

// Buffers go back and are handed out again in any order of sizes and from several threads: no
// two live histograms may ever share one, and none may lose its counts.
TEST(ChannelCounts, ReusedBuffersNeverMixTheCountsOfLiveHistograms) {
    const auto churn = [](int seed) {
        std::vector<ChannelCounts> live;
        for (int k = 0; k < 200; ++k) {
            const std::size_t size = (k % 3 == 0) ? 2048 : (k % 3 == 1) ? 1024 : 100;
            live.emplace_back(size);
            std::ranges::fill(live.back(), seed * 1000 + k);
            if (k % 4 == 3) {
                live.erase(live.begin() + k / 8); // gives a buffer back mid-list
            }
        }
        bool intact = true;
        for (const ChannelCounts& counts : live) {
            intact = intact && std::ranges::count(counts, counts.front()) == std::ssize(counts);
        }
        return intact && live.size() == 150;
    };
    bool otherThread = false;
    std::thread worker([&] { otherThread = churn(1); });
    const bool thisThread = churn(2);
    worker.join();
    EXPECT_TRUE(thisThread);
    EXPECT_TRUE(otherThread);
}

} // namespace
} // namespace kv

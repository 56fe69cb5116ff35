#include "model/histogram_file.h"

#include "model/byte_io.h"
#include "model/histogram_list.h"

#include <algorithm>

namespace kv {

ParsedHistogramFile parseHistogramFile(ByteSource& source) {
    ParsedHistogramFile parsed;
    std::array<std::uint8_t, kHistogramFileMagicSize> magic{};
    if (!source.read(magic) || textOfField(magic) != kHistogramFileMagic) {
        parsed.condition = FileCondition::WrongMagic;
        return parsed;
    }
    parsed.condition = FileCondition::Damaged;
    const auto nextInt32 = [&source](std::int32_t& value) {
        std::array<std::uint8_t, 4> bytes;
        const bool complete = source.read(bytes);
        value = ByteReader(bytes).i32le();
        return complete;
    };
    std::int32_t count = 0;
    if (!nextInt32(count) || count < 0) {
        return parsed;
    }
    // The smallest block is 300 bytes, so a damaged count cannot make us reserve much.
    parsed.histograms.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, source.remaining() / 300)));
    for (std::int32_t k = 0; k < count; ++k) {
        std::int32_t channels = 0;
        if (!nextInt32(channels) || channels < 1 || channels > kMaxChannelCount ||
            source.remaining() < histogramRecordSize(channels)) {
            return parsed;
        }
        auto h = std::make_unique<Histogram>();
        if (!readHistogram(source, channels, *h)) {
            return parsed;
        }
        parsed.histograms.push_back(std::move(h));
    }
    std::array<std::uint8_t, kTrailerSize> trailer;
    if (source.read(trailer)) {
        parsed.trailer = trailer;
        parsed.condition = FileCondition::Complete;
    }
    return parsed;
}

ParsedHistogramFile parseHistogramFile(std::span<const std::uint8_t> bytes) {
    SpanSource source(bytes);
    return parseHistogramFile(source);
}

std::vector<std::uint8_t> encodeHistogramFile(const HistogramList& list, const AppConfig& config) {
    const std::int32_t channels = list.channelCount();
    const std::size_t blockSize = 4 + histogramRecordSize(channels);
    const auto count = static_cast<std::size_t>(list.histogramCount());
    std::vector<std::uint8_t> bytes(kHistogramFileMagicSize + 4 + count * blockSize + kTrailerSize);

    ByteWriter writer(bytes);
    writer.text(kHistogramFileMagic, kHistogramFileMagicSize);
    writer.i32le(list.histogramCount());
    for (int k = 0; k < list.histogramCount(); ++k) {
        writer.i32le(channels);
        const std::size_t start = writer.position();
        encodeHistogram(*list.histogramAt(k),
                        std::span(bytes).subspan(start, histogramRecordSize(channels)));
        writer.seek(start + histogramRecordSize(channels));
    }
    writer.bytes(encodeTrailer(config));
    return bytes;
}

} // namespace kv

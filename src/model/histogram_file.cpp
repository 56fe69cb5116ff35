#include "model/histogram_file.h"

#include "model/byte_io.h"
#include "model/histogram_list.h"

#include <algorithm>
#include <new>

namespace kv {

static_assert(kMaxCalibrationChannelScale == kMaxChannelCount);

namespace {

bool readInt32(ByteSource& source, std::int32_t& value) {
    std::array<std::uint8_t, 4> bytes;
    const bool complete = source.read(bytes);
    value = ByteReader(bytes).i32le();
    return complete;
}

// The next block, or nothing at damage; throws std::bad_alloc when memory runs out.
std::unique_ptr<Histogram> nextBlock(ByteSource& source) {
    std::int32_t channels = 0;
    if (!readInt32(source, channels) || channels < 1 || channels > kMaxChannelCount ||
        source.remaining() < histogramRecordSize(channels)) {
        return nullptr;
    }
    auto h = std::make_unique<Histogram>();
    if (!readHistogram(source, channels, *h)) {
        return nullptr;
    }
    return h;
}

// Reads the blocks and the trailer into parsed, whose condition stays Damaged unless the
// whole file is read.
void readBlocksAndTrailer(ByteSource& source, ParsedHistogramFile& parsed) {
    std::int32_t count = 0;
    if (!readInt32(source, count) || count < 0) {
        return;
    }
    // The smallest block is 300 bytes, so a damaged count cannot make us reserve much.
    parsed.histograms.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, source.remaining() / 300)));
    for (std::int32_t k = 0; k < count; ++k) {
        auto h = nextBlock(source);
        if (!h) {
            return;
        }
        parsed.histograms.push_back(std::move(h));
    }
    std::array<std::uint8_t, kTrailerSize> bytes;
    if (!source.read(bytes)) {
        return;
    }
    // A count lowered by damage takes a block for the trailer and leaves bytes after it; a
    // count raised takes the trailer's bytes for a block and ends short.
    const FileTrailer trailer = decodeTrailer(bytes);
    if (source.remaining() == 0 && isPossibleTrailer(trailer)) {
        parsed.trailer = trailer;
        parsed.condition = FileCondition::Complete;
    }
}

} // namespace

std::unique_ptr<Histogram> readHistogramBlock(ByteSource& source) {
    try {
        return nextBlock(source);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::vector<std::uint8_t> encodeHistogramBlock(const Histogram& h) {
    const auto channels = static_cast<std::int32_t>(h.channels.size());
    std::vector<std::uint8_t> bytes(4 + histogramRecordSize(channels));
    ByteWriter(bytes).i32le(channels);
    encodeHistogram(h, std::span(bytes).subspan(4));
    return bytes;
}

ParsedHistogramFile parseHistogramFile(ByteSource& source) {
    ParsedHistogramFile parsed;
    std::array<std::uint8_t, kHistogramFileMagicSize> magic{};
    if (!source.read(magic) || textOfField(magic) != kHistogramFileMagic) {
        parsed.condition = FileCondition::WrongMagic;
        return parsed;
    }
    parsed.condition = FileCondition::Damaged;
    try {
        readBlocksAndTrailer(source, parsed);
    } catch (const std::bad_alloc&) {
        // What was read whole is kept, as at damage.
        parsed.condition = FileCondition::OutOfMemory;
        parsed.trailer.reset();
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
    writer.bytes(encodeTrailer(storableTrailer(trailerOf(config))));
    return bytes;
}

} // namespace kv

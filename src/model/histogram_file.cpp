#include "model/histogram_file.h"

#include "model/byte_io.h"
#include "model/histogram_list.h"

#include <algorithm>
#include <optional>
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

// Blocks are read some at a time with one call, their counts straight from the file into the
// records, on the guess that each block has the channel count of the one before, as every file
// the program writes has; a block with another count is given back to the source and read
// anew. Half a megabyte of records at a time stays in the processor's cache between their
// allocation and their filling, and holds at most one record more than memory may have room for.
constexpr std::uint64_t kBytesPerRead = std::uint64_t{1} << 19;
constexpr std::size_t kBlockHeadSize = 4 + kHistogramHeaderSize; // channel count and header

// The counts' own bytes, which the file fills in its order; fixed to the host's order after.
std::span<std::uint8_t> storageBytes(ChannelCounts& channels) {
    return {reinterpret_cast<std::uint8_t*>(channels.data()), 4 * channels.size()};
}

// What readBlocks works in, kept from one call to the next: a file's reading allocates little
// but its records.
struct BlockScratch {
    std::vector<std::array<std::uint8_t, kBlockHeadSize>> heads;
    std::vector<std::unique_ptr<Histogram>> read;
    std::vector<std::span<std::uint8_t>> parts;
};

// Reads up to `wanted` blocks of `channels` channels, the first block's count already read, and
// the count of the block after them when one is to follow. Returns the next block's channel
// count, or nothing at damage (the complete blocks before it are in parsed).
std::optional<std::int32_t> readBlocks(ByteSource& source, std::int32_t channels,
                                       std::size_t wanted, ParsedHistogramFile& parsed,
                                       BlockScratch& scratch) {
    if (channels < 1 || channels > kMaxChannelCount ||
        source.remaining() < histogramRecordSize(channels)) {
        return std::nullopt;
    }
    const std::uint64_t record = histogramRecordSize(channels);
    // Only as many records as the bytes left can hold are allocated.
    const std::size_t blocks = static_cast<std::size_t>(
        std::min<std::uint64_t>({wanted, std::max<std::uint64_t>(kBytesPerRead / record, 1),
                                 1 + (source.remaining() - record) / (4 + record)}));
    const bool countFollows = blocks < wanted;

    auto& heads = scratch.heads;
    auto& read = scratch.read;
    auto& parts = scratch.parts;
    heads.resize(blocks + 1);
    read.clear();
    read.resize(blocks);
    parts.clear();
    for (std::size_t j = 0; j < blocks; ++j) {
        read[j] = std::make_unique<Histogram>();
        read[j]->channels.resizeForOverwrite(static_cast<std::size_t>(channels));
        parts.push_back(std::span(heads[j]).subspan(j == 0 ? 4 : 0));
        parts.push_back(storageBytes(read[j]->channels));
    }
    if (countFollows) {
        parts.push_back(std::span(heads[blocks]).first(4));
    }
    const std::uint64_t filled = source.readScattered(parts);

    std::uint64_t end = 0; // of the block's bytes within what was filled
    for (std::size_t j = 0; j < blocks; ++j) {
        if (j > 0) {
            end += 4;
            if (filled < end) {
                return std::nullopt;
            }
            const std::int32_t count = ByteReader(heads[j]).i32le();
            if (count != channels) {
                source.unread(filled - end);
                return count;
            }
        }
        end += record;
        if (filled < end) {
            return std::nullopt;
        }
        fromLittleEndianInPlace(read[j]->channels);
        decodeHistogramHeader(std::span(heads[j]).subspan(4), *read[j]);
        parsed.histograms.push_back(std::move(read[j]));
    }
    if (countFollows && filled < end + 4) {
        return std::nullopt;
    }
    return countFollows ? ByteReader(heads[blocks]).i32le() : channels;
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
    std::int32_t channels = 0;
    if (count > 0 && !readInt32(source, channels)) {
        return;
    }
    BlockScratch scratch;
    while (std::ssize(parsed.histograms) < count) {
        const auto next = readBlocks(
            source, channels, static_cast<std::size_t>(count - std::ssize(parsed.histograms)),
            parsed, scratch);
        if (!next) {
            return;
        }
        channels = *next;
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

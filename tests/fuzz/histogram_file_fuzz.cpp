// Histogram files (.hst). The reader must tell our files from others by the magic alone, keep
// the complete histograms before any damage and hand on a trailer only with a complete file:
// every block the file counts, then a trailer a file can hold, then nothing. Whatever it keeps
// re-encodes to the bytes it came from, whether the source lends the channel bytes in place or
// copies them; and the trailer's calibrations leave the conversions and the visible range sane.

#include "fuzz_checks.h"
#include "model/byte_io.h"
#include "model/histogram_file.h"

#include <algorithm>
#include <cstring>

namespace {

using kv::fuzz::require;

// A source that never lends, so every channel is copied through read(), as from a file whose
// buffer cannot hold the whole record.
class CopyingSource : public kv::SpanSource {
public:
    using SpanSource::SpanSource;
    std::span<const std::uint8_t> borrow(std::size_t) override { return {}; }
};

std::vector<std::uint8_t> encodedParts(const kv::ParsedHistogramFile& parsed,
                                       std::span<const std::uint8_t> header) {
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (const auto& h : parsed.histograms) {
        const auto block = kv::encodeHistogramBlock(*h);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    if (parsed.trailer) {
        const auto trailer = kv::encodeTrailer(*parsed.trailer);
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = kv::fuzz::bytesOf(data, size);
    const kv::ParsedHistogramFile parsed = kv::parseHistogramFile(input);

    const bool ours =
        size >= kv::kHistogramFileMagicSize &&
        std::memcmp(data, kv::kHistogramFileMagic.data(), kv::kHistogramFileMagicSize) == 0;
    require(ours == (parsed.condition != kv::FileCondition::WrongMagic),
            "a file is ours exactly when it starts with the magic and its zero byte");
    if (!ours) {
        require(parsed.histograms.empty() && !parsed.trailer, "a foreign file yields nothing");
        return 0;
    }
    require(parsed.trailer.has_value() == (parsed.condition == kv::FileCondition::Complete),
            "a trailer comes with a complete file only");

    // The magic and the count, then every kept block and the trailer: the input's own bytes.
    const std::size_t headerSize = std::min<std::size_t>(size, kv::kHistogramFileMagicSize + 4);
    const std::vector<std::uint8_t> again = encodedParts(parsed, input.first(headerSize));
    require(again.size() <= size && std::equal(again.begin(), again.end(), data),
            "what was read re-encodes to the bytes it came from");

    const std::int32_t count = headerSize == 16 ? kv::ByteReader(input.subspan(12, 4)).i32le() : -1;
    const auto kept = static_cast<std::int64_t>(parsed.histograms.size());
    require(kept <= std::max(count, 0), "no more histograms than the file counts");
    require(parsed.condition != kv::FileCondition::OutOfMemory,
            "a file no larger than memory is read without running out of it");
    std::size_t offset = headerSize;
    for (const auto& h : parsed.histograms) {
        offset += 4 + kv::histogramRecordSize(static_cast<std::int32_t>(h->channels.size()));
    }
    if (count >= 0 && kept < count) {
        require(!kv::fuzz::startsWithCompleteBlock(input.subspan(offset)),
                "a damaged file stops at the first incomplete block");
    }
    // After the counted blocks, exactly one trailer that no damage shows.
    const bool trailerWhole = count >= 0 && kept == count && size - offset == kv::kTrailerSize;
    const bool complete =
        trailerWhole &&
        kv::isPossibleTrailer(kv::decodeTrailer(input.subspan(offset).first<kv::kTrailerSize>()));
    require(complete == (parsed.condition == kv::FileCondition::Complete),
            "a file is complete exactly when its counted blocks and a possible trailer fill it");
    require(!complete || again.size() == size, "a complete file re-encodes whole");
    for (const auto& h : parsed.histograms) {
        require(!h->channels.empty() && h->channels.size() <= kv::kMaxChannelCount,
                "every histogram has 1 to kMaxChannelCount channels");
    }

    CopyingSource copying(input);
    const kv::ParsedHistogramFile copied = kv::parseHistogramFile(copying);
    require(copied.condition == parsed.condition &&
                encodedParts(copied, input.first(headerSize)) == again,
            "a source that copies reads what a lending one reads");

    if (parsed.trailer) {
        const std::int32_t channels =
            parsed.histograms.empty()
                ? 2048
                : static_cast<std::int32_t>(parsed.histograms.front()->channels.size());
        kv::AppConfig config;
        kv::applyTrailer(config, *parsed.trailer);
        kv::fuzz::requireSaneConversions(config.energyCalibration, channels);
        kv::fuzz::requireVisibleRangeClamped(config.plot, channels);
    }
    return 0;
}

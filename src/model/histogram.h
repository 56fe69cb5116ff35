#pragma once

// One spectrum: a 292-byte header and one signed 32-bit count per channel.
//
// Stored layout (little-endian, no gaps); the same bytes form the file record and the record
// exchanged between running copies of the program:
//
//   offset size  field
//        0    4  kind       int32: bits 0-3 kind number 0-5 (the list icon), bit 4 marked,
//                           bits 5-31 carried unchanged until the entry is unmarked
//        4  128  name       zero-terminated Windows-1251 text, at most 127 bytes
//      132  128  comment    zero-terminated Windows-1251 text, at most 127 bytes
//      260   16  created    8 x uint16: year, month, day of week, day, hour, minute, second, ms
//      276    4  reserved   zero in new records, carried unchanged
//      280    4  total      uint32, sum of all counts
//      284    8  exposure   float64, seconds
//      292  4*n  channels   int32 counts, channel 0 first

#include "model/channel_counts.h"
#include "platform/byte_source.h"
#include "platform/clock.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::size_t kHistogramHeaderSize = 292;
inline constexpr std::size_t kHistogramTextSize = 128;
inline constexpr std::size_t kHistogramTextLimit = kHistogramTextSize - 1;
inline constexpr std::int32_t kMaxChannelCount = 1 << 20;

inline constexpr std::int32_t kMarkedBit = 16;
inline constexpr std::int32_t kKindNumberMask = 15;

// Kind words written by the program's creators of histograms.
inline constexpr std::int32_t kKindMeasured = 0;
inline constexpr std::int32_t kKindXray = 244;
inline constexpr std::int32_t kKindArithmetic = 17;
inline constexpr std::int32_t kKindPasted = 243;
inline constexpr std::int32_t kKindDuplicate = 245;

// A fixed text field kept as its stored bytes, so that what follows the terminating zero in a
// file read back is written back unchanged.
template <std::size_t N> class FixedText {
public:
    // The text up to the first zero byte.
    std::string_view view() const {
        std::size_t n = 0;
        while (n < N && m_bytes[n] != 0) {
            ++n;
        }
        return {reinterpret_cast<const char*>(m_bytes.data()), n};
    }
    std::string str() const { return std::string(view()); }

    // Stores text cut to N - 1 bytes, zero-filling the rest of the field.
    void assign(std::string_view text) {
        const std::size_t n = text.size() < N ? text.size() : N - 1;
        m_bytes.fill(0);
        for (std::size_t i = 0; i < n; ++i) {
            m_bytes[i] = static_cast<std::uint8_t>(text[i]);
        }
    }

    std::array<std::uint8_t, N>& bytes() { return m_bytes; }
    const std::array<std::uint8_t, N>& bytes() const { return m_bytes; }

    friend bool operator==(const FixedText&, const FixedText&) = default;

private:
    std::array<std::uint8_t, N> m_bytes{};
};

struct Histogram {
    std::int32_t kind = 0;
    FixedText<kHistogramTextSize> name;
    FixedText<kHistogramTextSize> comment;
    SystemTime created;
    std::array<std::uint8_t, 4> reserved{};
    std::uint32_t total = 0;
    double exposure = 0.0; // seconds
    ChannelCounts channels;

    bool isMarked() const { return (kind & kMarkedBit) != 0; }

    // The exposure to divide counts by for a rate: a record without a usable exposure (zero,
    // negative, not finite, or so small its inverse overflows) counts as one second, so its
    // rates equal its counts instead of being infinite.
    double rateExposure() const {
        return std::isfinite(exposure) && exposure > 0.0 && std::isfinite(1.0 / exposure) ? exposure
                                                                                          : 1.0;
    }
    int kindNumber() const { return kind & kKindNumberMask; }

    friend bool operator==(const Histogram&, const Histogram&) = default;
};

// Stored size of a record with channelCount channels.
constexpr std::size_t histogramRecordSize(std::int32_t channelCount) {
    return kHistogramHeaderSize + 4 * static_cast<std::size_t>(channelCount);
}

// Writes the header and channels into out, which holds exactly histogramRecordSize bytes.
void encodeHistogram(const Histogram& h, std::span<std::uint8_t> out);

// Decodes the 292-byte header (every field but the channels) into out.
void decodeHistogramHeader(std::span<const std::uint8_t> header, Histogram& out);

// Reads a record of channelCount channels (header first) into out. False when the source ends
// first; out is then partly overwritten, but never holds counts that were not read.
bool readHistogram(ByteSource& source, std::int32_t channelCount, Histogram& out);

// Sum of the counts of channels a to b inclusive in wrapping 32-bit arithmetic, read as
// unsigned. An a or b beyond the last channel is taken as the last channel, a negative a as
// channel 0; a > b yields 0.
std::uint32_t sumChannels(const Histogram& h, std::int32_t a, std::int32_t b);

// The header's total for h's counts: the sum of all of them, as sumChannels reads it.
std::uint32_t sumAllChannels(const Histogram& h);

struct RangeMoments {
    std::uint32_t sum = 0;
    double mean = 0.0;     // channel index, 0-based
    double variance = 0.0; // channels squared
};

// Sum, mean channel and variance of the counts between two boundaries (inclusive). An empty
// range or a zero sum gives all zeros.
RangeMoments rangeMoments(const Histogram& h, std::int32_t first, std::int32_t last);

} // namespace kv

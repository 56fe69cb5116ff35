#pragma once

// Histogram files (.hst): every listed histogram in list order, then a trailer with the
// calibrations and visible range in force when the file was written.
//
//   offset size     content
//        0   12     magic "KVANTIRA1.0" and a zero byte
//       12    4     int32 n, number of histograms
//       16   ...    n blocks: int32 channel count c, then the 292 + 4c byte histogram record
//      ...  481     trailer (see app_config.h)

#include "model/app_config.h"
#include "model/histogram.h"
#include "platform/byte_source.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kv {

class HistogramList;

inline constexpr std::string_view kHistogramFileMagic = "KVANTIRA1.0";
inline constexpr std::size_t kHistogramFileMagicSize = 12;

enum class FileCondition {
    Complete,   // every block and the trailer are there
    WrongMagic, // not a histogram file; nothing was read
    // A count out of range, a block or trailer cut short, a trailer no file holds (see
    // isPossibleTrailer) or bytes after the trailer.
    Damaged,
    OutOfMemory, // memory ran out before the whole file was read
};

// What a file holds, checked before anything is handed to the list. A damaged file keeps the
// complete histograms before the damage and no trailer; so does one that needs more memory
// than there is (nothing is thrown).
struct ParsedHistogramFile {
    FileCondition condition = FileCondition::Complete;
    std::vector<std::unique_ptr<Histogram>> histograms; // each with its stored channel count
    std::optional<FileTrailer> trailer;
};

ParsedHistogramFile parseHistogramFile(ByteSource& source);
ParsedHistogramFile parseHistogramFile(std::span<const std::uint8_t> bytes);

// One block on its own, as a histogram travels between running copies of the program: the
// channel count, then the record. Empty when the count is out of range, the block is cut short
// or memory runs out.
std::unique_ptr<Histogram> readHistogramBlock(ByteSource& source);
std::vector<std::uint8_t> encodeHistogramBlock(const Histogram& h);

// The whole file for the list's histograms and the configuration's trailer fields, as
// storableTrailer stores them.
std::vector<std::uint8_t> encodeHistogramFile(const HistogramList& list, const AppConfig& config);

} // namespace kv

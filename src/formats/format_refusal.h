#pragma once

// Why another analyser's file was refused, or a spectrum could not be written in a format, and
// where in the file that was found. The readers and writers return these; the interface makes
// the user's text of them from the string table (formats/spectrum_exchange.h).

#include "model/text_scan.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

enum class RefusalReason {
    // Reading
    FormatNotRead,           // a histogram file or a file of no known format
    SpeNoData,               // no $DATA section
    SpeBadChannelRange,      // $DATA does not begin with "first last"
    SpeCountsNotChannels,    // $DATA holds more or fewer counts than channels, or a non-count
    SpeBadTimes,             // $MEAS_TIM is not "live real" in seconds
    ChnNoHeader,             // too short for the header, or not file type -1
    ChnCountsCutShort,       // fewer counts than the header's channel count
    IecUnmarkedLine,         // a line without a record mark
    IecShortHeader,          // fewer lines than the header and one data line
    IecBadTimesOrChannels,   // the second line lacks the times or the channel count
    IecNoData,               // no data line numbered 0 or 1
    IecDataLineOutOfPlace,   // a data line not numbered as the next channel
    IecBadCount,             // a data line with a field that is not a count
    IecTooFewCounts,         // the data end before the channel count
    CsvNotTwoNumbers,        // a row that is not two numbers (beyond the header)
    CsvBadCount,             // a count outside int32, or more rows than channels can be
    CsvNoRows,               // no row of numbers
    CsvFirstColumnNotRising, // the first column neither numbers channels nor rises
    XmlError,                // the document is not well-formed XML
    N42NotDocument,          // the root element is not an N42 one
    N42BadChannelData,       // a spectrum's channel data are not counts
    N42BadTime,              // a live or real time that is not an ISO 8601 duration
    N42NoSpectrum,           // no spectrum with channel data
    TooManyChannelsInFile,   // the spectra would hold more than kMaxChannelsInFile channels
    OutOfMemory,             // memory ran out while the file was read
    // Writing
    FormatNotWritten,             // the program writes SPE, CHN and CSV only
    ChnTooManyChannels,           // CHN counts channels in 16 bits
    ChnCalibrationAboveQuadratic, // CHN holds three calibration coefficients
    TimesNotDurations,            // a live or real time negative or not finite
    CalibrationNotFinite,         // a coefficient beyond the range of a double once rescaled
    ChnTimeTooLong,               // CHN counts times in 32-bit 20 ms ticks
};

// Where a refusal was found: a line of a text format (1-based), a byte of a binary one
// (0-based offset), or the file as a whole.
struct FilePosition {
    enum class Unit { File, Line, Byte };
    Unit unit = Unit::File;
    std::size_t value = 0;

    static FilePosition line(std::size_t number) { return {Unit::Line, number}; }
    static FilePosition byte(std::size_t offset) { return {Unit::Byte, offset}; }
    // The line of text where part, a view into text, begins.
    static FilePosition lineOf(std::string_view text, std::string_view part) {
        return line(lineNumberAt(text, static_cast<std::size_t>(part.data() - text.data())));
    }
    bool operator==(const FilePosition&) const = default;
};

struct FormatRefusal {
    RefusalReason reason = RefusalReason::FormatNotRead;
    FilePosition at;
    std::string detail; // the XML parser's own words for an XmlError (English); else empty
};

} // namespace kv

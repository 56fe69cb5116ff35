#pragma once

// IEC 61455 (formerly IEC 1455) ASCII spectra: fixed lines, each beginning with a four-character
// record mark ("A004"). After the mark:
//   line 1   instrument and format information (passed over)
//   line 2   live time, real time (seconds) and channel count
//   line 3   start date and time "dd/mm/yy hh:mm:ss" (a date whose middle field cannot be a
//            month is read as mm/dd/yy, as some writers have it), then the reference date
//   line 4   energy calibration, up to four coefficients in keV
//   line 6-9 sample description; the first line that is not blank is the title
//   then     data lines: a channel number and the counts of that and the following channels
//
// Calibration convention: E(ch) with ch numbered as the data lines number the channels (from 0
// in the files seen so far; a file whose first data line is numbered 1 counts from 1), at the
// channel's centre.

#include "formats/imported_spectrum.h"

#include <string_view>

namespace kv {

ImportResult readIec(std::string_view text);

} // namespace kv

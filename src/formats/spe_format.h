#pragma once

// ASCII SPE spectra as multichannel analyser software writes them: "$SECTION:" lines, each
// followed by its content. Read: $SPEC_ID (title), $DATE_MEA ("mm/dd/yyyy hh:mm:ss"), $MEAS_TIM
// ("live real", seconds), $DATA ("first last", then one count per channel), $MCA_CAL (term
// count, then the coefficients in keV) or, without it, $ENER_FIT ("offset slope"). Other
// sections are passed over.
//
// Calibration convention: E(ch) with ch the channel number as $DATA counts it (0-based, the
// channel's centre), so with first = 0 it is the program's own.

#include "formats/imported_spectrum.h"

#include <string>
#include <string_view>

namespace kv {

ImportResult readSpe(std::string_view text);

// The file text, CR LF line ends, one count per line.
std::string writeSpe(const ImportedSpectrum& spectrum);

} // namespace kv

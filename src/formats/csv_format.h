#pragma once

// Two-column text spectra (CSV, TXT): one row per channel, separated by commas, semicolons,
// tabs or blanks. The first column is either the channel number (consecutive integers from any
// start, usually 0 or 1) or the energy of the channel in keV (rising numbers); the second is
// the count. A first row that is not numeric is a column header. Lines beginning with '#' are
// comments; the ones this program writes carry what a second column cannot:
//   # title: <text>
//   # live time s: <seconds>
//   # real time s: <seconds>
//   # start: yyyy-mm-dd hh:mm:ss
//   # energy calibration keV: c0 c1 ...
//
// Calibration convention: the coefficients of the comment line are for the channel numbers of
// the first column, at the channel's centre. An energy column gives the polynomial of degree
// two through its first, middle and last rows, exact for calibrations up to a quadratic.

#include "formats/imported_spectrum.h"

#include <string>
#include <string_view>

namespace kv {

ImportResult readCsv(std::string_view text);

// "channel,counts" with the 0-based channel and the comment lines above, LF line ends.
std::string writeCsv(const ImportedSpectrum& spectrum);

} // namespace kv

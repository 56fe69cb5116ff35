#pragma once

// ORTEC CHN binary spectra. Little-endian throughout:
//
//   offset size  field
//        0    2  int16 -1, the file type
//        2    2  MCA number
//        4    2  segment number
//        6    2  start second, two ASCII digits
//        8    4  uint32 real time in 20 ms ticks
//       12    4  uint32 live time in 20 ms ticks
//       16    8  start date "DDMmmYY" and a century mark ('1': 2000s)
//       24    4  start time "HHMM"
//       28    2  uint16 number of the first channel
//       30    2  uint16 channel count n
//       32  4*n  int32 counts
//
// and, optionally, a 512-byte trailer:
//
//        0    2  int16 -102 (or -101: no quadratic term)
//        2    2  reserved
//        4   12  float32 energy calibration: offset, slope, quadratic (keV)
//       16   12  float32 peak width calibration
//       28    4  energy unit text ("keV")
//      256   64  detector description: length byte, then up to 63 characters
//      320   64  sample description: length byte, then up to 63 characters
//
// Calibration convention: E(ch) with ch the channel number counted from the first channel's
// number in the header (0-based, the channel's centre). A trailer of 0, 1, 0 is the
// uncalibrated default and counts as no calibration. The sample description is the title.

#include "formats/imported_spectrum.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kv {

inline constexpr std::size_t kChnHeaderSize = 32;
inline constexpr std::size_t kChnTrailerSize = 512;
inline constexpr double kChnTickSeconds = 0.02;
// The longest time the 32-bit tick counts hold.
inline constexpr double kChnLongestSeconds = 4294967295.0 * kChnTickSeconds;

ImportResult readChn(std::span<const std::uint8_t> bytes);

// Header, counts and a -102 trailer. Times are rounded to 20 ms ticks and calibration
// coefficients to float32, the format's precision. The start time is written only within
// 1900-2099, the years the header's two digits and century mark can tell.
std::vector<std::uint8_t> writeChn(const ImportedSpectrum& spectrum);

} // namespace kv

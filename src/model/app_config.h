#pragma once

// The configuration record: every setting of the program in one fixed 1901-byte little-endian
// form, which is also the whole content of the configuration file (no header, no version).
// Any 1901 bytes are a valid file, so the codec takes values as they are; code that uses a
// field copes with values outside its range. Energies are in keV, exposures in seconds.
//
// Stored layout (packed, no alignment gaps):
//
//  offset size  field                        offset size  field
//     0   256  documentPath (text)           1169    4  linesNeeded
//   256   256  lastDirectory (text)          1173    4  termCount
//   512     1  logScale                      1177   40  coefficients (5 f64)
//   513     1  fromZero                      1217    4  channelScale
//   514     4  xAxisMode                     1221    4  searchTab
//   518     4  yAxisMode                     1225    8  energyFrom
//   522     1  showSelectedOnly              1233    8  energyTo
//   523     8  calibrationReserve0           1241    1  restoreFromDataFile
//   531     8  calibrationReserve1           1242    4  threshold
//   539    40  pointChannel (5 f64)          1246    4  coincidenceMode
//   579    40  pointEnergy (5 f64)           1250    4  gatingMode
//   619     4  pointCount                    1254    4  internalGating
//   623     4  smoothRadius                  1258    4  memoryMode
//   627     8  smoothSigma                   1262    4  interruptMode
//   635     4  smoothKind                    1266    4  firstChannel
//   639     1  smoothDialogFlag              1270    4  lastChannel
//   640     4  rejectRadius                  1274    1  roundRange
//   644     4  continuumSmoothRadius         1275   16  windowRect (4 i32)
//   648     1  singlePeakOption              1291    4  triggerPort
//   649   128  lastName (text)               1295    4  cycleCount
//   777     8  lastExposure                  1299    1  startOnHighLevel
//   785     1  portBaseIndex (int8)          1300  256  exportPath (text)
//   786     1  removeContinuum               1556    1  exportOneFile
//   787    20  searchRadii (5 i32)           1557    1  exportNames
//   807     8  levelFactor                   1558   48  legacyWindowCoefficients (6 f64)
//   815     8  maxPeakWidth                  1606   12  windowLower (3 i32)
//   823     1  showOriginal                  1618   12  windowUpper (3 i32)
//   824     1  showLevel                     1630    8  xrayExposure
//   825     1  showResult                    1638    8  seriesInterval
//   826     1  autoSave                      1646    4  seriesMaxCount
//   827     4  efficiencyPointCount          1650    4  unused1650 (raw bytes)
//   831     1  efficiencyCorrection          1654    1  expandedResult
//   832   160  efficiencyEnergy (20 f64)     1655   16  reportWindowRect (4 i32)
//   992   160  efficiencyValue (20 f64)      1671    1  textAutoSave
//  1152     8  lineTolerance                 1672    1  autoShiftWindows
//  1160     8  lineThreshold                 1673   48  calibrationCoefficients (6 f64)
//  1168     1  checkLines                    1721   72  countCoefficients (9 f64)
//                                            1793    4  referenceChannel
//                                            1797    4  referenceWidth
//                                            1801   44  unused1801 (11 i32)
//                                            1845   44  windowPlacement (11 i32)
//                                            1889    4  listPaneWidth
//                                            1893    4  listPaneHeight
//                                            1897    4  listOrientation
//
// Bytes are u8 unless noted; i32 little-endian, f64 IEEE 754 little-endian.

#include "model/energy_calibration.h"
#include "model/settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kv {

inline constexpr std::size_t kAppConfigSize = 1901;
inline constexpr std::size_t kPathFieldSize = 256;     // documentPath, lastDirectory, exportPath
inline constexpr std::size_t kLastNameFieldSize = 128; // lastName
// Where older versions kept the count-window coefficients; see convertLegacyLayout.
inline constexpr std::size_t kLegacyCoefficientsOffset = 1558;

// Single-byte fields stay std::uint8_t (flags too) so that every stored byte value survives a
// load and save unchanged. Text fields hold the bytes up to the first zero; the encoder writes
// them zero-padded, so a decoded record encodes back byte for byte only if its texts were
// zero-padded after the terminator (a field without any zero is taken whole and comes back with
// its last byte zeroed). A path in memory may be longer than its field: the encoder cuts it,
// while the program keeps using the whole path.
//
// The fields are grouped by the part of the program that owns them; each group is the settings
// record its functions take, so they never see the rest of the configuration.
struct AppConfig {
    // Document
    std::string documentPath;
    std::string lastDirectory;
    // 1: reading a histogram file takes the calibrations and channel range from its trailer.
    std::uint8_t restoreFromDataFile = 1;

    PlotSettings plot;
    EnergyCalibration energyCalibration;
    EfficiencyCalibration efficiency;
    FilterSettings filters;
    LineSearchSettings lineSearch;
    IdentificationSettings identification;
    AnalyserSettings analyser;
    SeriesSettings series;
    TextExportSettings textExport;
    CountWindowSettings countWindows;
    WindowLayout layout;

    // Single-peak approximation
    std::uint8_t singlePeakOption = 0;

    // Read by nothing, kept so a file is written back as it was read.
    std::array<std::uint8_t, 4> unused1650{};
    std::array<std::int32_t, 11> unused1801{10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

    bool operator==(const AppConfig&) const = default;
};

// The record's stored form.
std::array<std::uint8_t, kAppConfigSize> encodeAppConfig(const AppConfig& config);
AppConfig decodeAppConfig(std::span<const std::uint8_t, kAppConfigSize> bytes);

// Lays a file's bytes over the start of the record, as reading a configuration file does: the
// first min(bytes.size(), 1901) bytes are replaced and everything after them keeps its current
// value (a field cut by a short file gets the mixed bytes). Text fields the file does not reach
// keep their in-memory form, even when longer than the field.
void overlayAppConfig(AppConfig& config, std::span<const std::uint8_t> bytes);

// Older versions kept the count windows' K0..K2 and P0..P2 at kLegacyCoefficientsOffset. A
// nonzero first value there marks such a record: the six values are copied to
// calibrationCoefficients[0..2] and countCoefficients[0..2], and the marker is cleared. Only
// the marker is cleared, so the rest of the old block is written back as it was. Loading a file
// is overlayAppConfig followed by this.
void convertLegacyLayout(AppConfig& config);

// ---- Histogram file trailer -------------------------------------------------------------
// Every histogram file ends with copies of the calibrations and the displayed channel range:
//
//  offset size  field                        offset size  field
//     0    40  pointChannel (5 f64)           144    4  channelScale
//    40    40  pointEnergy (5 f64)            148    4  efficiencyPointCount
//    80     4  pointCount                     152  160  efficiencyEnergy (20 f64)
//    84     8  calibrationReserve0            312  160  efficiencyValue (20 f64)
//    92     8  calibrationReserve1            472    4  firstChannel
//   100     4  termCount                      476    4  lastChannel
//   104    40  coefficients (5 f64)           480    1  roundRange

inline constexpr std::size_t kTrailerSize = 481;

// The trailer's values.
struct FileTrailer {
    EnergyCalibration energyCalibration;
    EfficiencyCalibration efficiency;
    std::int32_t firstChannel = 1;
    std::int32_t lastChannel = 2047;
    std::uint8_t roundRange = 1;

    bool operator==(const FileTrailer&) const = default;
};

std::array<std::uint8_t, kTrailerSize> encodeTrailer(const FileTrailer& trailer);
FileTrailer decodeTrailer(std::span<const std::uint8_t, kTrailerSize> bytes);

// Whether a histogram file can hold this trailer. No file the program writes holds, and so a
// damaged file is known by:
//   - a calibration point count outside 0..5, a term count outside 0..5 or an efficiency point
//     count outside 0..20: the record has room for no more, and nothing counts below none;
//   - a channel scale below 0 or above 1,048,576: it is the channel count the calibration was
//     made at (0, what a file without a calibration holds, and 1 mean none);
//   - a coefficient, a calibration point or an efficiency point (any slot, in use or not) that is
//     not finite: no calibration the program makes, imports or writes holds one.
// The two reserves, the range and roundRange may hold anything: nothing reads the reserves, and
// reading a file corrects a range the spectra cannot show.
bool isPossibleTrailer(const FileTrailer& trailer);

// The trailer a histogram file stores, which isPossibleTrailer always accepts: every value it
// would refuse is replaced by what the program uses in its place, so the calibrations mean what
// they meant (a configuration file may hold anything). A count out of range counts as none and
// a term count as 5; a channel scale out of range, or a coefficient in use that is not finite,
// means no calibration (channel scale 0); any other value that is not finite becomes 0.
FileTrailer storableTrailer(FileTrailer trailer);

// The trailer a histogram file written now carries: the configuration's calibrations and
// displayed channel range.
FileTrailer trailerOf(const AppConfig& config);

// Takes a trailer's values into their configuration fields as they are; deciding whether a
// file's trailer is taken at all (restoreFromDataFile) is the reader's business.
void applyTrailer(AppConfig& config, const FileTrailer& trailer);

} // namespace kv

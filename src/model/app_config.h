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

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

namespace kv {

inline constexpr std::size_t kAppConfigSize = 1901;
inline constexpr std::size_t kPathFieldSize = 256;     // documentPath, lastDirectory, exportPath
inline constexpr std::size_t kLastNameFieldSize = 128; // lastName
// Where older versions kept the count-window coefficients; see convertLegacyLayout.
inline constexpr std::size_t kLegacyCoefficientsOffset = 1558;

// The main window's placement, in the layout of the Win32 WINDOWPLACEMENT record so files
// written by the Windows program keep their meaning. 11 x int32 = 44 bytes.
struct WindowPlacement {
    std::int32_t length = 44;
    std::int32_t flags = 0;
    std::int32_t showState = 1; // 1 = normal
    std::array<std::int32_t, 2> minPosition{};
    std::array<std::int32_t, 2> maxPosition{};
    std::array<std::int32_t, 4> normalRect{0, 0, 600, 400}; // left, top, right, bottom

    bool operator==(const WindowPlacement&) const = default;
};

// Single-byte fields stay std::uint8_t (flags too) so that every stored byte value survives a
// load and save unchanged. Text fields hold the bytes up to the first zero; the encoder writes
// them zero-padded, so a decoded record encodes back byte for byte only if its texts were
// zero-padded after the terminator (a field without any zero is taken whole and comes back with
// its last byte zeroed). A path in memory may be longer than its field: the encoder cuts it,
// while the program keeps using the whole path.
struct AppConfig {
    // Document
    std::string documentPath;
    std::string lastDirectory;

    // Plot view
    std::uint8_t logScale = 0;
    std::uint8_t fromZero = 1;
    std::int32_t xAxisMode = 0;
    std::int32_t yAxisMode = 0;
    std::uint8_t showSelectedOnly = 1;
    std::int32_t firstChannel = 1;
    std::int32_t lastChannel = 2047;
    std::uint8_t roundRange = 1;

    // Energy calibration
    std::array<double, 5> pointChannel{};
    std::array<double, 5> pointEnergy{}; // keV
    std::int32_t pointCount = 0;         // 0..5
    std::int32_t termCount = 5;
    std::array<double, 5> coefficients{};
    std::int32_t channelScale = 0; // below 2: no calibration
    // Carried in every histogram file's trailer, used by nothing.
    double calibrationReserve0 = 0.0;
    double calibrationReserve1 = 1.0;

    // Efficiency calibration
    std::int32_t efficiencyPointCount = 0; // 0..20
    std::array<double, 20> efficiencyEnergy{};
    std::array<double, 20> efficiencyValue{};

    // Smoothing
    std::int32_t smoothRadius = 1;
    double smoothSigma = 2.0;
    std::int32_t smoothKind = 0;
    std::uint8_t smoothDialogFlag = 0; // cleared by the smoothing dialog, read by nothing

    // Continuum removal and line search
    std::int32_t rejectRadius = 15;
    std::int32_t continuumSmoothRadius = 4;
    std::uint8_t removeContinuum = 1;
    std::array<std::int32_t, 5> searchRadii{10, 10, 5, 1, 1};
    double levelFactor = 3.0;
    double maxPeakWidth = 10.0;
    std::uint8_t showOriginal = 1;
    std::uint8_t showLevel = 1;
    std::uint8_t showResult = 1;
    std::int32_t searchTab = 0;
    // 1: reading a histogram file takes the calibrations and channel range from its trailer.
    std::uint8_t restoreFromDataFile = 1;

    // Single-peak approximation
    std::uint8_t singlePeakOption = 0;

    // Identification
    std::uint8_t efficiencyCorrection = 0;
    double lineTolerance = 1.0;
    double lineThreshold = 0.01;
    std::uint8_t checkLines = 1;
    std::int32_t linesNeeded = 3;
    double energyFrom = 0.0;
    double energyTo = 2000.0;

    // Analyser and measurement
    std::string lastName = "Spectrum";
    double lastExposure = 1.0;
    std::int8_t portBaseIndex = 0; // 0..7: base port 0x300 + 16 * index
    std::uint8_t autoSave = 1;
    std::int32_t threshold = 0;
    std::int32_t coincidenceMode = 1;
    std::int32_t gatingMode = 1;
    std::int32_t internalGating = 0;
    std::int32_t memoryMode = 0;
    std::int32_t interruptMode = 0;

    // Series and X-ray measurements, text export
    std::int32_t triggerPort = 0;
    std::int32_t cycleCount = 5;
    std::uint8_t startOnHighLevel = 1;
    std::string exportPath = "spectrum.dat";
    std::uint8_t exportOneFile = 1;
    std::uint8_t exportNames = 1;
    double xrayExposure = 1.0;
    double seriesInterval = 0.1; // pause added to the exposure
    std::int32_t seriesMaxCount = 200;
    std::uint8_t textAutoSave = 0;

    // Count windows
    std::array<double, 6> legacyWindowCoefficients{1.0, 1.0, 1.0, 0.0, 1.0, 1.0};
    std::array<std::int32_t, 3> windowLower{0, 200, 600};
    std::array<std::int32_t, 3> windowUpper{100, 300, 700};
    std::uint8_t expandedResult = 1;
    std::uint8_t autoShiftWindows = 1;
    std::array<double, 6> calibrationCoefficients{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};          // K0..K5
    std::array<double, 9> countCoefficients{0.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0}; // P0..P8
    std::int32_t referenceChannel = 600;
    std::int32_t referenceWidth = 200;

    // Windows; rectangles are left, top, right, bottom in screen pixels.
    std::array<std::int32_t, 4> windowRect{}; // written on every move, read by nothing
    std::array<std::int32_t, 4> reportWindowRect{0, 0, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::min()};
    WindowPlacement windowPlacement;
    std::int32_t listPaneWidth = 200;
    std::int32_t listPaneHeight = 200;
    std::int32_t listOrientation = 0;

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
// The calibrations: the trailer up to the channel range.
inline constexpr std::size_t kTrailerCalibrationsSize = 472;

std::array<std::uint8_t, kTrailerSize> encodeTrailer(const AppConfig& config);

// Copies a trailer's values into their configuration fields as they are; deciding whether a
// file's trailer is taken at all (restoreFromDataFile) is the reader's business.
void applyTrailer(AppConfig& config, std::span<const std::uint8_t, kTrailerSize> bytes);

} // namespace kv

#pragma once

// The settings records the configuration is made of, one per part of the program that owns
// them. Each algorithm takes its own record by const reference; the configuration's one field
// table maps every member to its place in the stored record (model/app_config.h). Values are
// kept as stored: code that uses a field copes with values outside its range. Energies are in
// keV, exposures and intervals in seconds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace kv {

inline constexpr std::size_t kMaxEfficiencyPoints = 20;
inline constexpr int kLineSearchRadii = 5;
inline constexpr int kCountWindows = 3;

// What the plot shows: axis modes, scales and the visible channel range.
struct PlotSettings {
    std::uint8_t logScale = 0;
    std::uint8_t fromZero = 1;
    std::int32_t xAxisMode = 0;
    std::int32_t yAxisMode = 0;
    std::uint8_t showSelectedOnly = 1;
    std::int32_t firstChannel = 1; // zero-based, inclusive
    std::int32_t lastChannel = 2047;
    std::uint8_t roundRange = 1;

    bool operator==(const PlotSettings&) const = default;
};

// Keeps the visible range within a spectrum of channelCount channels, wherever the range is set
// or loaded: a firstChannel or lastChannel outside 0..channelCount-1 becomes the first or the
// last channel, and a range whose first channel is not below its last (a damaged file, a
// configuration saved with another channel count) becomes the full range. A channel count
// below 1 is taken as 1.
void clampVisibleRange(PlotSettings& plot, std::int32_t channelCount);

// The efficiency calibration points, by ascending energy once sorted.
struct EfficiencyCalibration {
    std::int32_t efficiencyPointCount = 0; // 0..20
    std::array<double, kMaxEfficiencyPoints> efficiencyEnergy{};
    std::array<double, kMaxEfficiencyPoints> efficiencyValue{};

    bool operator==(const EfficiencyCalibration&) const = default;
};

// Smoothing of a histogram ("Сглаживание").
struct FilterSettings {
    std::int32_t smoothRadius = 1;
    double smoothSigma = 2.0;
    std::int32_t smoothKind = 0;
    std::uint8_t smoothDialogFlag = 0; // cleared by the smoothing dialog, read by nothing

    bool operator==(const FilterSettings&) const = default;
};

// Continuum removal and line search.
struct LineSearchSettings {
    std::int32_t rejectRadius = 15;
    std::int32_t continuumSmoothRadius = 4;
    std::uint8_t removeContinuum = 1;
    std::array<std::int32_t, kLineSearchRadii> searchRadii{10, 10, 5, 1, 1};
    double levelFactor = 3.0;
    double maxPeakWidth = 10.0;
    std::uint8_t showOriginal = 1;
    std::uint8_t showLevel = 1;
    std::uint8_t showResult = 1;
    std::int32_t searchTab = 0;

    bool operator==(const LineSearchSettings&) const = default;
};

// Identification of found lines against the isotope database.
struct IdentificationSettings {
    std::uint8_t efficiencyCorrection = 0;
    double lineTolerance = 1.0;
    double lineThreshold = 0.01;
    std::uint8_t checkLines = 1;
    std::int32_t linesNeeded = 3;
    double energyFrom = 0.0;
    double energyTo = 2000.0;

    bool operator==(const IdentificationSettings&) const = default;
};

// The analyser and its measurement runs.
struct AnalyserSettings {
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

    bool operator==(const AnalyserSettings&) const = default;
};

// Cyclic series and X-ray measurements.
struct SeriesSettings {
    std::int32_t triggerPort = 0;
    std::int32_t cycleCount = 5;
    std::uint8_t startOnHighLevel = 1;
    double xrayExposure = 1.0;
    double seriesInterval = 0.1; // pause added to the exposure
    std::int32_t seriesMaxCount = 200;

    bool operator==(const SeriesSettings&) const = default;
};

// Text export of histograms.
struct TextExportSettings {
    std::string exportPath = "spectrum.dat";
    std::uint8_t exportOneFile = 1;
    std::uint8_t exportNames = 1;
    std::uint8_t textAutoSave = 0;

    bool operator==(const TextExportSettings&) const = default;
};

// The three count windows of X-ray spectra and their evaluation.
struct CountWindowSettings {
    // Where older versions kept K0..K2 and P0..P2; see convertLegacyLayout.
    std::array<double, 6> legacyWindowCoefficients{1.0, 1.0, 1.0, 0.0, 1.0, 1.0};
    std::array<std::int32_t, kCountWindows> windowLower{0, 200, 600};
    std::array<std::int32_t, kCountWindows> windowUpper{100, 300, 700};
    std::uint8_t expandedResult = 1;
    std::uint8_t autoShiftWindows = 1;
    std::array<double, 6> calibrationCoefficients{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};          // K0..K5
    std::array<double, 9> countCoefficients{0.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0}; // P0..P8
    std::int32_t referenceChannel = 600;
    std::int32_t referenceWidth = 200;

    bool operator==(const CountWindowSettings&) const = default;
};

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

// Where the windows are; rectangles are left, top, right, bottom in screen pixels.
struct WindowLayout {
    std::array<std::int32_t, 4> windowRect{}; // written on every move, read by nothing
    std::array<std::int32_t, 4> reportWindowRect{0, 0, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::min()};
    WindowPlacement windowPlacement;
    std::int32_t listPaneWidth = 200;
    std::int32_t listPaneHeight = 200;
    std::int32_t listOrientation = 0; // 0: table at the bottom, 1: names at the left

    bool operator==(const WindowLayout&) const = default;
};

} // namespace kv

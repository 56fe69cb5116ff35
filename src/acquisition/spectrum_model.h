#pragma once

// The spectrum the simulated analyser accumulates: point sources in a room, seen by a 3"x3"
// NaI(Tl) scintillator or a coaxial HPGe detector. Each gamma and X-ray line gives a photopeak
// of the detector's resolution, a Compton continuum up to its edge with multiple-scatter fill
// toward the peak, and a backscatter peak; the lead shield adds its K X-rays, and radiation
// scattered in the room a continuum rising toward low energies.
//
// Energies in keV. Channel c is centred on kSimulatedKeVPerChannel x c keV: the calibration of
// every simulated spectrum, which the energy calibration of a simulated run should come out as.

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr double kSimulatedKeVPerChannel = 1.5; // 2048 channels: 0 to 3070.5 keV

// The most counts per second an analyser can record. Every event holds the front end for its
// shaped pulse and the ADC's conversion, together at least about 100 ns even in the fastest
// spectroscopy converters (a Wilkinson ADC of 2048 channels needs microseconds), so no board
// records more than 10^7 events a second. A higher rate would describe no real measurement, and
// it would also take the simulator's Poisson draws past the range where they are computable.
inline constexpr double kMaxCountsPerSecond = 1.0e7;

enum class Source { Cs137, Co60, K40, Th232, Am241, Eu152, Ba133 };
enum class Detector { NaI, HPGe };

// Option names: "cs137", "co60", "k40", "th232" (the chain in equilibrium), "am241", "eu152",
// "ba133"; "nai", "hpge". Lower case only.
std::optional<Source> sourceFromName(std::string_view name);
std::optional<Detector> detectorFromName(std::string_view name);

struct SimulationOptions {
    std::vector<Source> sources{Source::Cs137, Source::Co60}; // equal activities
    Detector detector = Detector::NaI;
    double countsPerSecond = 5000.0; // over all channels, at threshold 0; 0 to kMaxCountsPerSecond

    bool operator==(const SimulationOptions&) const = default;
};

// The share of the recorded counts that falls into each of the 2048 channels (together 1; all
// 0 without sources).
std::vector<double> spectrumShape(std::span<const Source> sources, Detector detector);

} // namespace kv

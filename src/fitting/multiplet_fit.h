#pragma once

// A local fit of one or more Gaussians of a common width on a straight line, by Poisson maximum
// likelihood on raw counts. Unlike the least-squares engines it weights each channel by its
// expected count, so areas are unbiased for weak lines on a low continuum and the errors are
// those of counting statistics (the inverse of the Fisher information).
//
// Channels are 0-based channels of the whole spectrum.

#include <cstdint>
#include <span>
#include <vector>

namespace kv {

struct MultipletPeak {
    double area = 0.0;   // counts
    double centre = 0.0; // channel
    // A neighbour reaching into the window from outside is fitted in area only: its centre,
    // outside or at the edge of the data, would not be held by them.
    bool centreFixed = false;
    double areaError = 0.0;
    double centreError = 0.0; // 0 for a fixed centre
};

struct Multiplet {
    std::vector<MultipletPeak> peaks;
    double sigma = 1.0; // channels, shared by the peaks
    double sigmaError = 0.0;
    // The straight line: level + slope * (x - middle), middle the window's middle channel.
    double level = 0.0;
    double slope = 0.0;
    std::int32_t first = 0; // the window, both ends included
    std::int32_t last = 0;
};

// Fits m over channels m.first..m.last of spectrum (held to the spectrum), starting from the
// areas, centres and width it holds; the line is started from the window's ends. True with the
// fitted values and their errors written; false, with m's values unspecified, when the window
// holds no more channels than parameters, the information matrix is singular, the width
// collapses or the iteration does not settle.
bool fitMultiplet(Multiplet& m, std::span<const std::int32_t> spectrum);

} // namespace kv

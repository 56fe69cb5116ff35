#pragma once

// The single-peak engine: one Gaussian, optionally on a constant level, fitted by unweighted
// least squares to a short stretch of counts. The single-peak window fits the peak it reaches
// by climbing from the cursor; the line search fits every candidate peak of a spectrum.
//
// Channels are 0-based; x = i is channel i of the window passed in.

#include <cstdint>
#include <span>

namespace kv {

// The last fit's parameters and standard errors. The parameters are written by every fit,
// also a failed one (they then hold where the iteration stopped); the errors only by a fit
// that converged. The single-peak window also keeps its start position in centre between fits.
struct PeakFit {
    double area = 0.0;   // counts
    double centre = 0.0; // channel
    double sigma = 0.0;  // channels
    double level = 0.0;  // counts per channel; 0 for a fit without a level
    double areaError = 0.0;
    double centreError = 0.0;
    double sigmaError = 0.0;
    double levelError = 0.0;
};

enum class PeakFitStatus {
    Converged,
    NoDegreesOfFreedom, // no more channels than parameters
    NoCounts,           // nothing above the level
    NoWidth,            // the width is not positive: from the moments, or after a step
    Singular,           // the normal matrix could not be inverted
    Diverged,           // the residual grew beyond recovery or became not a number
    TooManyIterations,  // more than 100 steps without settling
    WindowTooNarrow,    // fewer than 5 channels around the peak
    StartOutside,       // the start channel is not in the spectrum
};

struct PeakFitOutcome {
    PeakFitStatus status = PeakFitStatus::Converged;
    int iterations = 0;
    double residual = 0.0; // sum of squared residuals per degree of freedom at the end
    int windowFirst = 0;   // fitPeakAt: the window's first channel in the spectrum
    int windowSize = 0;    // channels fitted

    bool converged() const { return status == PeakFitStatus::Converged; }
};

// The model with fit's parameters at channel x: A / (sqrt(2 pi) sigma) exp(-t^2 / 2) + B with
// t = (x - centre) / sigma; B alone for t > 10, and 0 (level included) when sigma <= 1e-10.
double peakModelValue(const PeakFit& fit, int x);

// Fits the counts y (channel i at x = i) with n = 3 parameters (area, centre, sigma) or 4 (and
// the level). Starting values come from the moments of the counts above the smallest count (4) or
// zero (3); the Jacobian is taken once at the start; full Gauss-Newton steps follow until the
// relative change of the residual is at most 1e-5.
PeakFitOutcome fitPeakWindow(PeakFit& fit, std::span<const std::int32_t> y, int n);

// Finds the peak near channel start of a whole spectrum y (climbing uphill on both sides, taking
// the higher summit), fits the widest symmetric window over which the counts fall on both sides
// and stay non-negative with n parameters, and on success leaves centre as a channel of the
// whole spectrum.
PeakFitOutcome fitPeakAt(PeakFit& fit, std::span<const std::int32_t> y, int start, int n);

} // namespace kv

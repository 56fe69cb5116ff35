#pragma once

// The least-squares fit of all parameters of a component table together to the counts of a
// region: Gauss-Newton with the Jacobian evaluated at the current parameters in every
// iteration, full steps without damping or bounds, and the stopping rule on the relative change
// of the reduced sum of squares (Gauss-Newton: Nocedal and Wright, "Numerical Optimization",
// ch. 10). The errors come from the inverse normal matrix of the last iteration.

#include "fitting/component_model.h"

#include <vector>

namespace kv {

enum class ComponentFitStatus {
    Converged,
    EmptyTable,         // nothing to fit; nothing was changed
    NoHistogram,        // no current histogram; nothing was changed
    RegionOutside,      // the region is empty or not inside the spectrum; nothing was changed
    NoDegreesOfFreedom, // the region has no more than totalParameters + 1 channels
    Singular,           // the normal matrix could not be inverted
    NotANumber,         // the sum of squares or its change became not a number
    TooManyIterations,  // more than 100 iterations
    PeakLeftRegion,     // a Gaussian's or MCP's centre settled outside the fitted region
};

struct ComponentFitOutcome {
    ComponentFitStatus status = ComponentFitStatus::Converged;
    int iterations = 0;
    // The final sum of squared residuals divided by N - 1 - P (N channels, P parameters).
    double residual = 0.0;
    // The standard errors of the parameter vector (table order, P0 first in each component);
    // filled only on success.
    std::vector<double> errors;

    bool converged() const { return status == ComponentFitStatus::Converged; }
};

// Fits the table's parameters to the counts of current over the region. On success the adjusted
// parameters stay in the table; on any failure every parameter is back at its value before the
// call. The selection is never changed.
ComponentFitOutcome fitComponents(ComponentTable& table, const Histogram* current,
                                  FitRegion region);

} // namespace kv

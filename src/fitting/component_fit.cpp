#include "fitting/component_fit.h"

#include "fitting/least_squares.h"

#include <cmath>

namespace kv {

namespace {

constexpr double kConvergence = 1e-5;
constexpr int kMaxIterations = 100;

// The parameter vector: every component's parameters in table order.
std::vector<double> parameterVector(ComponentTable& table) {
    std::vector<double> values;
    for (int k = 0; k < table.componentCount(); ++k) {
        const auto p = table.parameters(k);
        values.insert(values.end(), p.begin(), p.end());
    }
    return values;
}

void setParameterVector(ComponentTable& table, const std::vector<double>& values) {
    auto next = values.begin();
    for (int k = 0; k < table.componentCount(); ++k) {
        for (double& p : table.parameters(k)) {
            p = *next++;
        }
    }
}

// Fills r with counts minus model over the region and returns the sum of the squares.
double residuals(const ComponentTable& table, const Histogram& h, FitRegion region,
                 std::vector<double>& r) {
    double sum = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        const int x = region.firstChannel + static_cast<int>(i);
        r[i] = h.channels[static_cast<std::size_t>(x)] - table.modelValue(x);
        sum += r[i] * r[i];
    }
    return sum;
}

// The Jacobian at the table's current parameters: row p (parameter p of the vector) holds
// d model / d P_p at the region's N channels.
void evaluateJacobian(const ComponentTable& table, FitRegion region,
                      std::vector<double>& jacobian) {
    const auto size = static_cast<std::size_t>(region.size());
    for (std::size_t i = 0; i < size; ++i) {
        const int x = region.firstChannel + static_cast<int>(i);
        std::size_t p = 0;
        for (int k = 0; k < table.componentCount(); ++k) {
            const FitComponent& c = table.component(k);
            const auto d = componentDerivatives(c, x);
            for (int j = 0; j < c.parameterCount(); ++j) {
                jacobian[p++ * size + i] = d[static_cast<std::size_t>(j)];
            }
        }
    }
}

} // namespace

ComponentFitOutcome fitComponents(ComponentTable& table, const Histogram* current,
                                  FitRegion region) {
    ComponentFitOutcome outcome;
    const auto fail = [&outcome](ComponentFitStatus status) {
        outcome.status = status;
        outcome.errors.clear();
        return outcome;
    };
    if (table.empty()) {
        return fail(ComponentFitStatus::EmptyTable);
    }
    if (!current) {
        return fail(ComponentFitStatus::NoHistogram);
    }
    if (!region.fits(current->channels.size())) {
        return fail(ComponentFitStatus::RegionOutside);
    }
    const int parameters = table.totalParameters();
    const auto size = static_cast<std::size_t>(region.size());
    // The divisor of the sum of squares is b - a - P; at zero or below, S would be infinite,
    // not a number or negative (and its square root in the errors undefined).
    const double freedom = region.size() - 1 - parameters;
    if (freedom <= 0) {
        return fail(ComponentFitStatus::NoDegreesOfFreedom);
    }
    const std::vector<double> saved = parameterVector(table);
    const auto restored = [&](ComponentFitStatus status) {
        setParameterVector(table, saved);
        return fail(status);
    };

    // The Jacobian, one row of N per parameter, evaluated afresh at the current parameters in
    // every iteration (Gauss-Newton). Held at the starting parameters instead, the iteration
    // would settle where the starting derivatives are orthogonal to the residuals: a point
    // that depends on the start and that the errors do not describe.
    std::vector<double> jacobian(static_cast<std::size_t>(parameters) * size);
    const auto row = [&](int p) {
        return std::span<const double>(jacobian).subspan(static_cast<std::size_t>(p) * size, size);
    };
    std::vector<double> r(size);
    residuals(table, *current, region, r);
    std::vector<double> values = saved;
    std::vector<double> gradient(static_cast<std::size_t>(parameters));
    // The inverse of the normal matrix; the last iteration's gives the errors.
    FitMatrix inverse;
    double previous = 0.0;
    for (;;) {
        evaluateJacobian(table, region, jacobian);
        for (int p = 0; p < parameters; ++p) {
            for (int q = 0; q < parameters; ++q) {
                double sum = 0.0;
                for (std::size_t i = 0; i < size; ++i) {
                    sum += row(p)[i] * row(q)[i];
                }
                inverse.at(p, q) = sum;
            }
        }
        if (!invertMatrix(inverse, parameters)) {
            return restored(ComponentFitStatus::Singular);
        }
        for (int p = 0; p < parameters; ++p) {
            double sum = 0.0;
            for (std::size_t i = 0; i < size; ++i) {
                sum += row(p)[i] * r[i];
            }
            gradient[static_cast<std::size_t>(p)] = sum;
        }
        for (int p = 0; p < parameters; ++p) {
            double step = 0.0;
            for (int q = 0; q < parameters; ++q) {
                step += inverse.at(p, q) * gradient[static_cast<std::size_t>(q)];
            }
            values[static_cast<std::size_t>(p)] += step;
        }
        setParameterVector(table, values);
        const double s = residuals(table, *current, region, r) / freedom;
        outcome.residual = s;
        // The first iteration always gives 1/2, so at least two are made.
        const double change = std::abs((previous - s) / (2.0 * s));
        if (std::isnan(change)) {
            return restored(ComponentFitStatus::NotANumber);
        }
        previous = s;
        if (++outcome.iterations > kMaxIterations) {
            return restored(ComponentFitStatus::TooManyIterations);
        }
        if (change <= kConvergence) {
            break;
        }
    }

    // Undamped full steps from a poor start (two peaks started alike, a peak started where
    // the counts hold none) can carry a peak off the data, where it describes nothing that
    // was fitted.
    for (int k = 0; k < table.componentCount(); ++k) {
        const FitComponent& c = table.component(k);
        const bool peak = c.kind == ComponentKind::Gaussian || c.kind == ComponentKind::Mcp;
        if (peak &&
            !(c.parameters[1] >= region.firstChannel && c.parameters[1] <= region.lastChannel)) {
            return restored(ComponentFitStatus::PeakLeftRegion);
        }
    }
    outcome.errors.resize(static_cast<std::size_t>(parameters));
    for (int p = 0; p < parameters; ++p) {
        outcome.errors[static_cast<std::size_t>(p)] =
            previous == 0.0 ? 0.0 : std::sqrt(std::abs(inverse.at(p, p)) * previous);
    }
    return outcome;
}

} // namespace kv

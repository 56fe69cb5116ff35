#include "fitting/peak_fit.h"

#include "fitting/least_squares.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kv {

namespace {

const double kSqrtTwoPi = std::sqrt(6.283185307179586);
constexpr double kSmallestSigma = 1e-10;
constexpr double kTailCut = 10.0;
constexpr double kConvergence = 1e-5;
constexpr int kMaxIterations = 100;
constexpr int kSmallestWindow = 4;

// The derivatives of the model by area, centre, sigma and level at channel x.
std::array<double, 4> modelDerivatives(const PeakFit& fit, int x) {
    const double d = x - fit.centre;
    const double s = fit.sigma;
    if (s <= kSmallestSigma || d / s > kTailCut) {
        return {0.0, 0.0, 0.0, 1.0};
    }
    const double t = d / s;
    const double e = std::exp(-t * t / 2.0);
    return {e / (kSqrtTwoPi * s), fit.area * d / (kSqrtTwoPi * s * s * s) * e,
            fit.area * (d * d - s * s) / (kSqrtTwoPi * s * s * s * s) * e, 1.0};
}

double residualSum(const PeakFit& fit, std::span<const std::int32_t> y, std::vector<double>& r) {
    double sum = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        r[i] = y[i] - peakModelValue(fit, static_cast<int>(i));
        sum += r[i] * r[i];
    }
    return sum;
}

double& parameter(PeakFit& fit, int j) {
    switch (j) {
    case 0:
        return fit.area;
    case 1:
        return fit.centre;
    case 2:
        return fit.sigma;
    default:
        return fit.level;
    }
}

double& error(PeakFit& fit, int j) {
    switch (j) {
    case 0:
        return fit.areaError;
    case 1:
        return fit.centreError;
    case 2:
        return fit.sigmaError;
    default:
        return fit.levelError;
    }
}

} // namespace

double peakModelValue(const PeakFit& fit, int x) {
    if (fit.sigma <= kSmallestSigma) {
        return 0.0;
    }
    const double t = (x - fit.centre) / fit.sigma;
    if (t > kTailCut) {
        return fit.level;
    }
    return fit.area / (kSqrtTwoPi * fit.sigma) * std::exp(-t * t / 2.0) + fit.level;
}

PeakFitOutcome fitPeakWindow(PeakFit& fit, std::span<const std::int32_t> y, int n) {
    PeakFitOutcome outcome;
    outcome.windowSize = static_cast<int>(y.size());
    const int m = outcome.windowSize;
    n = std::clamp(n, 3, 4);
    if (m <= n) {
        outcome.status = PeakFitStatus::NoDegreesOfFreedom;
        return outcome;
    }
    fit.area = fit.centre = fit.sigma = fit.level = 0.0;
    if (n == 4) {
        fit.level = *std::min_element(y.begin(), y.end());
    }

    // Starting values from the moments of the counts above the level.
    double sum = 0.0;
    double first = 0.0;
    double second = 0.0;
    for (int i = 0; i < m; ++i) {
        const double w = y[static_cast<std::size_t>(i)] - fit.level;
        sum += w;
        first += i * w;
        second += static_cast<double>(i) * i * w;
    }
    if (sum == 0.0) {
        outcome.status = PeakFitStatus::NoCounts;
        return outcome;
    }
    fit.area = sum;
    fit.centre = first / sum;
    const double variance = second / sum - fit.centre * fit.centre;
    if (!(variance > 0.0)) {
        outcome.status = PeakFitStatus::NoWidth;
        return outcome;
    }
    fit.sigma = std::sqrt(variance);

    // The Jacobian stays at the starting values for every step.
    const auto size = static_cast<std::size_t>(m);
    std::vector<double> jacobian(static_cast<std::size_t>(n) * size);
    for (int i = 0; i < m; ++i) {
        const auto d = modelDerivatives(fit, i);
        for (int j = 0; j < n; ++j) {
            jacobian[static_cast<std::size_t>(j) * size + static_cast<std::size_t>(i)] =
                d[static_cast<std::size_t>(j)];
        }
    }
    const auto column = [&](int j) {
        return std::span<const double>(jacobian).subspan(static_cast<std::size_t>(j) * size, size);
    };
    FitMatrix normal;
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
            double s = 0.0;
            for (std::size_t i = 0; i < size; ++i) {
                s += column(j)[i] * column(k)[i];
            }
            normal.at(j, k) = s;
        }
    }
    if (!invertMatrix(normal, n)) {
        outcome.status = PeakFitStatus::Singular;
        return outcome;
    }

    std::vector<double> r(size);
    const double freedom = m - n;
    double before = residualSum(fit, y, r) / freedom;
    double after = before;
    for (;;) {
        std::array<double, 4> g{};
        for (int j = 0; j < n; ++j) {
            const auto dj = column(j);
            for (std::size_t i = 0; i < size; ++i) {
                g[static_cast<std::size_t>(j)] += dj[i] * r[i];
            }
        }
        std::array<double, 4> step{};
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) {
                step[static_cast<std::size_t>(j)] +=
                    normal.at(j, k) * g[static_cast<std::size_t>(k)];
            }
        }
        for (int j = 0; j < n; ++j) {
            parameter(fit, j) += step[static_cast<std::size_t>(j)];
        }
        ++outcome.iterations;
        // A step to a width of zero or less leaves a model that is zero everywhere: the
        // residual would stop changing and the fit would look converged. It is lost instead.
        if (!(fit.sigma > kSmallestSigma)) {
            outcome.status = PeakFitStatus::NoWidth;
            return outcome;
        }
        after = residualSum(fit, y, r) / freedom;
        const double change = (before - after) / (before + after);
        outcome.residual = after;
        if (!(change >= -1.0)) {
            outcome.status = PeakFitStatus::Diverged;
            return outcome;
        }
        before = after;
        if (outcome.iterations > kMaxIterations) {
            outcome.status = PeakFitStatus::TooManyIterations;
            return outcome;
        }
        if (std::abs(change) <= kConvergence) {
            break;
        }
    }
    for (int j = 0; j < n; ++j) {
        error(fit, j) = after == 0.0 ? 0.0 : std::sqrt(std::abs(normal.at(j, j)) * after);
    }
    return outcome;
}

PeakFitOutcome fitPeakAt(PeakFit& fit, std::span<const std::int32_t> y, int start, int n) {
    const int m = static_cast<int>(y.size());
    PeakFitOutcome refused;
    if (m <= std::clamp(n, 3, 4)) {
        refused.status = PeakFitStatus::NoDegreesOfFreedom;
        return refused;
    }
    if (start < 0 || start >= m) {
        refused.status = PeakFitStatus::StartOutside;
        return refused;
    }
    const auto at = [&y](int i) { return y[static_cast<std::size_t>(i)]; };

    // Climb over rises and plateaus on both sides; the higher summit wins, a tie keeps start.
    int left = start;
    while (left > 0 && at(left - 1) >= at(left)) {
        --left;
    }
    int right = start;
    while (right < m - 1 && at(right + 1) >= at(right)) {
        ++right;
    }
    const int peak = at(left) > at(right) ? left : (at(right) > at(left) ? right : start);

    // Descend while the counts fall or stay level and remain non-negative.
    int low = peak;
    while (low > 0 && at(low - 1) >= 0 && at(low - 1) <= at(low)) {
        --low;
    }
    int high = peak;
    while (high < m - 1 && at(high + 1) >= 0 && at(high + 1) <= at(high)) {
        ++high;
    }
    const int halfWidth = std::min(peak - low, high - peak);
    const int first = peak - halfWidth;
    if (2 * halfWidth + 1 <= kSmallestWindow) {
        refused.status = PeakFitStatus::WindowTooNarrow;
        refused.windowFirst = first;
        refused.windowSize = 2 * halfWidth + 1;
        return refused;
    }
    PeakFitOutcome outcome = fitPeakWindow(
        fit,
        y.subspan(static_cast<std::size_t>(first), 2 * static_cast<std::size_t>(halfWidth) + 1), n);
    outcome.windowFirst = first;
    if (outcome.converged()) {
        fit.centre += first;
    }
    return outcome;
}

} // namespace kv

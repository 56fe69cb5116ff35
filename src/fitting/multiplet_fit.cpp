#include "fitting/multiplet_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kv {

namespace {

constexpr int kLineParameters = 3; // level, slope, sigma
constexpr int kMaxIterations = 200;
constexpr int kMaxHalvings = 40;
constexpr double kSettled = 1e-9;     // gain in log-likelihood that ends the iteration
constexpr double kNarrowest = 0.2;    // channels: a narrower width has collapsed
constexpr double kEndChannels = 3.0;  // averaged at each end to start the straight line
constexpr double kPivotLimit = 1e-13; // on the diagonal-scaled matrix

// Inverts the p x p symmetric positive definite matrix a (row-major) in place by Cholesky
// factors, after scaling it to a unit diagonal so that parameters of very different sizes
// (areas in thousands, widths near one) do not make it look singular. False when it is not
// positive definite.
bool invertPositiveDefinite(std::vector<double>& a, std::size_t p) {
    std::vector<double> scale(p);
    for (std::size_t i = 0; i < p; ++i) {
        if (!(a[i * p + i] > 0.0)) {
            return false;
        }
        scale[i] = 1.0 / std::sqrt(a[i * p + i]);
    }
    std::vector<double> l(p * p, 0.0);
    for (std::size_t j = 0; j < p; ++j) {
        double d = a[j * p + j] * scale[j] * scale[j];
        for (std::size_t k = 0; k < j; ++k) {
            d -= l[j * p + k] * l[j * p + k];
        }
        if (!(d > kPivotLimit)) {
            return false;
        }
        l[j * p + j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < p; ++i) {
            double s = a[i * p + j] * scale[i] * scale[j];
            for (std::size_t k = 0; k < j; ++k) {
                s -= l[i * p + k] * l[j * p + k];
            }
            l[i * p + j] = s / l[j * p + j];
        }
    }
    std::vector<double> x(p);
    for (std::size_t c = 0; c < p; ++c) {
        for (std::size_t i = 0; i < p; ++i) { // L z = e_c
            double s = i == c ? 1.0 : 0.0;
            for (std::size_t k = 0; k < i; ++k) {
                s -= l[i * p + k] * x[k];
            }
            x[i] = s / l[i * p + i];
        }
        for (std::size_t i = p; i-- > 0;) { // L^T x = z
            double s = x[i];
            for (std::size_t k = i + 1; k < p; ++k) {
                s -= l[k * p + i] * x[k];
            }
            x[i] = s / l[i * p + i];
        }
        for (std::size_t i = 0; i < p; ++i) {
            a[i * p + c] = x[i] * scale[i] * scale[c];
        }
    }
    return true;
}

// The model of a multiplet over a parameter vector: level, slope, sigma, then per peak its
// area and, unless fixed, its centre.
class MultipletModel {
public:
    MultipletModel(const Multiplet& m, double middle) : m_peaks(m.peaks), m_middle(middle) {
        std::size_t p = kLineParameters;
        for (const MultipletPeak& peak : m_peaks) {
            p += peak.centreFixed ? 1 : 2;
        }
        m_size = p;
    }

    std::size_t size() const { return m_size; }

    std::vector<double> parameters(const Multiplet& m) const {
        std::vector<double> theta{m.level, m.slope, m.sigma};
        for (const MultipletPeak& peak : m_peaks) {
            theta.push_back(peak.area);
            if (!peak.centreFixed) {
                theta.push_back(peak.centre);
            }
        }
        return theta;
    }

    // The expected count at channel x; with gradient non-empty also its derivatives.
    double value(const std::vector<double>& theta, double x, std::span<double> gradient) const {
        const double sigma = theta[2];
        double mu = theta[0] + theta[1] * (x - m_middle);
        if (!gradient.empty()) {
            gradient[0] = 1.0;
            gradient[1] = x - m_middle;
            gradient[2] = 0.0;
        }
        std::size_t k = kLineParameters;
        for (const MultipletPeak& peak : m_peaks) {
            const double area = theta[k];
            const double centre = peak.centreFixed ? peak.centre : theta[k + 1];
            const double t = (x - centre) / sigma;
            const double shape =
                std::exp(-0.5 * t * t) / (std::sqrt(2.0 * std::numbers::pi) * sigma);
            mu += area * shape;
            if (!gradient.empty()) {
                gradient[2] += area * shape * (t * t - 1.0) / sigma;
                gradient[k] = shape;
                if (!peak.centreFixed) {
                    gradient[k + 1] = area * shape * t / sigma;
                }
            }
            k += peak.centreFixed ? 1 : 2;
        }
        return mu;
    }

private:
    const std::vector<MultipletPeak>& m_peaks;
    double m_middle;
    std::size_t m_size = 0;
};

} // namespace

bool fitMultiplet(Multiplet& m, std::span<const std::int32_t> spectrum) {
    const auto n = static_cast<std::int32_t>(spectrum.size());
    m.first = std::max<std::int32_t>(m.first, 0);
    m.last = std::min<std::int32_t>(m.last, n - 1);
    const double middle = 0.5 * (m.first + m.last);
    const MultipletModel model(m, middle);
    const std::size_t p = model.size();
    if (m.last - m.first + 1 <= static_cast<std::int32_t>(p) || !(m.sigma > kNarrowest)) {
        return false;
    }
    const auto y = [&spectrum](std::int32_t i) {
        return static_cast<double>(spectrum[static_cast<std::size_t>(i)]);
    };

    double left = 0.0;
    double right = 0.0;
    for (int k = 0; k < static_cast<int>(kEndChannels); ++k) {
        left += y(m.first + k) / kEndChannels;
        right += y(m.last - k) / kEndChannels;
    }
    m.level = std::max(0.5 * (left + right), 1.0);
    m.slope = (right - left) / std::max(1.0, m.last - m.first - kEndChannels + 1.0);

    std::vector<double> theta = model.parameters(m);
    const auto logLikelihood = [&](const std::vector<double>& t) {
        if (!(t[2] > kNarrowest)) {
            return -std::numeric_limits<double>::infinity();
        }
        double sum = 0.0;
        for (std::int32_t i = m.first; i <= m.last; ++i) {
            const double mu = model.value(t, i, {});
            if (!(mu > 0.0)) {
                return -std::numeric_limits<double>::infinity();
            }
            sum += y(i) * std::log(mu) - mu;
        }
        return sum;
    };

    std::vector<double> information(p * p);
    std::vector<double> score(p);
    std::vector<double> gradient(p);
    // The Fisher information and the score at theta (Fisher scoring: for Poisson counts the
    // expected and the observed information agree at the optimum).
    const auto linearise = [&](const std::vector<double>& t) {
        std::fill(information.begin(), information.end(), 0.0);
        std::fill(score.begin(), score.end(), 0.0);
        for (std::int32_t i = m.first; i <= m.last; ++i) {
            const double mu = model.value(t, i, gradient);
            const double weight = 1.0 / mu;
            const double residual = (y(i) - mu) * weight;
            for (std::size_t a = 0; a < p; ++a) {
                score[a] += residual * gradient[a];
                for (std::size_t b = 0; b <= a; ++b) {
                    information[a * p + b] += weight * gradient[a] * gradient[b];
                }
            }
        }
        for (std::size_t a = 0; a < p; ++a) {
            for (std::size_t b = 0; b < a; ++b) {
                information[b * p + a] = information[a * p + b];
            }
        }
        return invertPositiveDefinite(information, p);
    };

    double current = logLikelihood(theta);
    if (!std::isfinite(current)) {
        return false;
    }
    bool settled = false;
    std::vector<double> trial(p);
    for (int iteration = 0; iteration < kMaxIterations && !settled; ++iteration) {
        if (!linearise(theta)) {
            return false;
        }
        double step = 1.0;
        double next = -std::numeric_limits<double>::infinity();
        for (int halving = 0; halving <= kMaxHalvings; ++halving, step *= 0.5) {
            for (std::size_t a = 0; a < p; ++a) {
                double change = 0.0;
                for (std::size_t b = 0; b < p; ++b) {
                    change += information[a * p + b] * score[b];
                }
                trial[a] = theta[a] + step * change;
            }
            next = logLikelihood(trial);
            if (next >= current) {
                break;
            }
        }
        if (!(next >= current)) {
            // No step along the scoring direction gains: the optimum is reached to rounding.
            settled = true;
            break;
        }
        settled = next - current <= kSettled * std::max(1.0, std::fabs(current));
        theta = trial;
        current = next;
    }
    if (!settled || !linearise(theta)) {
        return false;
    }

    m.level = theta[0];
    m.slope = theta[1];
    m.sigma = theta[2];
    m.sigmaError = std::sqrt(information[2 * p + 2]);
    std::size_t k = kLineParameters;
    for (MultipletPeak& peak : m.peaks) {
        peak.area = theta[k];
        peak.areaError = std::sqrt(information[k * p + k]);
        if (!peak.centreFixed) {
            peak.centre = theta[k + 1];
            peak.centreError = std::sqrt(information[(k + 1) * p + k + 1]);
        }
        k += peak.centreFixed ? 1 : 2;
    }
    return std::isfinite(m.sigmaError);
}

} // namespace kv

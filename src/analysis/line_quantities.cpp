#include "analysis/line_quantities.h"

#include "analysis/efficiency.h"
#include "fitting/least_squares.h"
#include "fitting/multiplet_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kv {

namespace {

const double kFwhmPerSigma = 2.0 * std::sqrt(2.0 * std::numbers::ln2);
constexpr double kMultipletSigmas = 3.0; // lines closer than this are fitted together
// The fit reaches this far beyond the outer lines, in the search's widths (a little wider than
// the lines' own): far enough that the straight line is held by the continuum on both sides
// rather than by the low-energy tails of germanium lines, which a Gaussian does not follow.
constexpr double kWindowSigmas = 8.0;
constexpr double kNeighbourSigmas = 3.0;   // a line this near the window takes part, area only
constexpr double kCentreDriftSigmas = 2.0; // a refit centre further off has lost its line
constexpr double kWidthChange = 3.0;       // a refit width this many times off has collapsed
constexpr double kRegionFwhm = 1.25;
// One-sided 5 % quantile of the normal distribution: both Currie's risks are 5 %.
constexpr double kRiskQuantile = 1.645;

// The fraction of a Gaussian's area between channel edges lo and hi (channels lo..hi - 1).
double gaussianFraction(double lo, double hi, double centre, double sigma) {
    const double s = sigma * std::numbers::sqrt2;
    return 0.5 * (std::erf((hi - centre) / s) - std::erf((lo - centre) / s));
}

double sum(std::span<const std::int32_t> spectrum, std::int64_t first, std::int64_t last) {
    double total = 0.0;
    for (std::int64_t i = first; i <= last; ++i) {
        total += spectrum[static_cast<std::size_t>(i)];
    }
    return total;
}

// Fits the lines first..last of the table (one multiplet) and writes what holds into out.
void refineGroup(std::span<const std::int32_t> counts, const FoundLines& found,
                 std::span<const double> sigmas, double exposure, std::size_t first,
                 std::size_t last, std::span<RefinedLine> out) {
    const std::vector<FoundLine>& lines = found.lines();
    double sigma = 0.0;
    for (std::size_t i = first; i <= last; ++i) {
        sigma += sigmas[i] / static_cast<double>(last - first + 1);
    }
    // Held to the spectrum before the conversion: a wide maximum peak width admits any sigma.
    const auto channel = [&counts](double x) {
        return static_cast<std::int32_t>(std::clamp(x, -1.0, static_cast<double>(counts.size())));
    };
    Multiplet m;
    m.sigma = sigma;
    m.first = channel(std::floor(lines[first].position - kWindowSigmas * sigma));
    m.last = channel(std::ceil(lines[last].position + kWindowSigmas * sigma));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double position = lines[i].position;
        const bool own = first <= i && i <= last;
        if (own || (m.first - kNeighbourSigmas * sigmas[i] < position &&
                    position < m.last + kNeighbourSigmas * sigmas[i])) {
            m.peaks.push_back(
                {.area = lines[i].rate * exposure, .centre = position, .centreFixed = !own});
        }
    }
    const Multiplet start = m;
    if (!fitMultiplet(m, counts) || !(m.sigma < kWidthChange * sigma) ||
        !(m.sigma > sigma / kWidthChange)) {
        return;
    }
    // The group's own peaks come in table order among the neighbours.
    std::size_t line = first;
    for (std::size_t k = 0; k < m.peaks.size(); ++k) {
        if (m.peaks[k].centreFixed) {
            continue;
        }
        if (!(std::fabs(m.peaks[k].centre - start.peaks[k].centre) < kCentreDriftSigmas * sigma)) {
            return;
        }
    }
    for (const MultipletPeak& peak : m.peaks) {
        if (peak.centreFixed) {
            continue;
        }
        out[line - first] = {.refined = true,
                             .area = peak.area,
                             .areaError = peak.areaError,
                             .position = peak.centre,
                             .centreError = peak.centreError,
                             .sigma = m.sigma};
        ++line;
    }
}

} // namespace

std::vector<RefinedLine> refineLines(const Histogram& spectrum, LineSearchResult& result,
                                     const EnergyCalibration& calibration) {
    const std::vector<FoundLine>& lines = result.lines.lines();
    const double exposure = spectrum.rateExposure();
    // A line without a width (a table edited after the search) cannot start a fit.
    std::vector<double> sigmas = result.sigmas;
    sigmas.resize(lines.size(), 0.0);
    std::vector<RefinedLine> refined(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        refined[i].area = lines[i].rate * exposure;
        refined[i].sigma = sigmas[i];
    }
    for (std::size_t first = 0; first < lines.size();) {
        std::size_t last = first;
        while (last + 1 < lines.size() &&
               lines[last + 1].position - lines[last].position <
                   kMultipletSigmas * std::max(sigmas[last], sigmas[last + 1])) {
            ++last;
        }
        refineGroup(spectrum.channels, result.lines, sigmas, exposure, first, last,
                    std::span(refined).subspan(first, last - first + 1));
        first = last + 1;
    }

    // Written back only now: every group starts from the search's values of its neighbours.
    FoundLines updated;
    const auto channels = static_cast<std::int32_t>(spectrum.channels.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FoundLine line = lines[i];
        if (refined[i].refined) {
            line.rate = refined[i].area / exposure;
            line.position = refined[i].position;
            line.energy = calibration.channelToEnergy(line.position, channels);
        }
        updated.append(line);
        if (refined[i].refined) {
            updated.setRateError(i, refined[i].areaError / exposure);
        }
    }
    result.lines = updated;
    return refined;
}

std::optional<double> proportionalError(const RefinedLine& line, double value) {
    if (!line.refined || !(line.area != 0.0)) {
        return std::nullopt;
    }
    const double error = std::fabs(value * line.areaError / line.area);
    return std::isfinite(error) ? std::optional(error) : std::nullopt;
}

std::optional<CurrieLimits> currieLimits(std::span<const std::int32_t> spectrum, double centre,
                                         double fwhm) {
    if (!(fwhm > 0.0) || !std::isfinite(centre)) {
        return std::nullopt;
    }
    const auto middle = static_cast<std::int64_t>(std::llround(std::clamp(centre, -1e15, 1e15)));
    const auto half = std::max<std::int64_t>(1, std::llround(std::min(kRegionFwhm * fwhm, 1e9)));
    const std::int64_t flank =
        half + 1; // each side: 2 * flank is the region's 2 * half + 1, nearly
    const std::int64_t lo = middle - half;
    const std::int64_t hi = middle + half;
    if (lo - flank < 0 || hi + flank >= static_cast<std::int64_t>(spectrum.size())) {
        return std::nullopt;
    }
    const double width = static_cast<double>(hi - lo + 1);
    const double ratio = width / static_cast<double>(2 * flank);
    CurrieLimits limits;
    limits.gross = sum(spectrum, lo, hi);
    limits.background =
        ratio * (sum(spectrum, lo - flank, lo - 1) + sum(spectrum, hi + 1, hi + flank));
    limits.net = limits.gross - limits.background;
    // The net count's spread with no line: the region's own counts and the scaled flanks'.
    const double spread = std::sqrt(limits.background * (1.0 + ratio));
    limits.decisionThreshold = kRiskQuantile * spread;
    // L_D = k^2 + 2 L_C in net counts; a line of area A adds A times the share of it that falls
    // in the region less the scaled share in the flanks.
    const double sigma = fwhm / kFwhmPerSigma;
    const double edgeLo = static_cast<double>(lo) - 0.5;
    const double edgeHi = static_cast<double>(hi) + 0.5;
    const double share = gaussianFraction(edgeLo, edgeHi, centre, sigma) -
                         ratio * (gaussianFraction(edgeLo - flank, edgeLo, centre, sigma) +
                                  gaussianFraction(edgeHi, edgeHi + flank, centre, sigma));
    limits.detectionLimit =
        (kRiskQuantile * kRiskQuantile + 2.0 * limits.decisionThreshold) / share;
    return limits;
}

std::optional<WidthCurve> WidthCurve::fit(const FoundLines& lines,
                                          std::span<const RefinedLine> refined) {
    std::vector<double> energies;
    std::vector<double> squares;
    for (std::size_t i = 0; i < refined.size() && i < lines.size(); ++i) {
        if (refined[i].refined) {
            const double fwhm = kFwhmPerSigma * refined[i].sigma;
            energies.push_back(lines.lines()[i].energy);
            squares.push_back(fwhm * fwhm);
        }
    }
    if (energies.empty()) {
        return std::nullopt;
    }
    WidthCurve curve;
    curve.m_narrowest = *std::min_element(squares.begin(), squares.end());
    std::array<double, 2> coefficients{};
    if (energies.size() > 1 && fitPolynomial(energies, squares, coefficients)) {
        curve.m_offset = coefficients[0];
        curve.m_perKeV = coefficients[1];
    } else {
        double mean = 0.0;
        for (const double square : squares) {
            mean += square / static_cast<double>(squares.size());
        }
        curve.m_offset = mean;
    }
    return curve;
}

double WidthCurve::fwhmAt(double energyKeV) const {
    return std::sqrt(std::max(m_offset + m_perKeV * energyKeV, m_narrowest));
}

std::vector<DetectionLimit> detectionLimits(const Histogram& spectrum,
                                            const LineIdentifier& identifier,
                                            const WidthCurve& widths,
                                            const EnergyCalibration& calibration) {
    const IsotopeDatabase& database = identifier.database();
    const IdentificationSettings& settings = identifier.settings();
    std::vector<bool> found(database.size(), false);
    for (const FoundLine& line : identifier.foundLines().lines()) {
        if (const auto match = identifier.identifyLine(line.energy, settings.lineTolerance)) {
            found[match->isotope] = true;
        }
    }
    const bool efficiencyKnown =
        settings.efficiencyCorrection != 0 && efficiencyPointCount(identifier.efficiency()) > 0;
    const auto channels = static_cast<std::int32_t>(spectrum.channels.size());
    std::vector<DetectionLimit> limits;
    for (std::size_t i = 0; i < database.size(); ++i) {
        if (found[i] || !database[i].isEnabled()) {
            continue;
        }
        const auto& lines = database[i].lines;
        std::optional<std::size_t> strongest;
        for (std::size_t j = 0; j < lines.size(); ++j) {
            if (identifier.lineEligible(lines[j], settings.lineThreshold) &&
                (!strongest || lines[j].intensity > lines[*strongest].intensity)) {
                strongest = j;
            }
        }
        if (!strongest) {
            continue;
        }
        const IsotopeLine& line = lines[*strongest];
        const auto region =
            currieLimits(spectrum.channels, channelOfEnergy(calibration, line.energy, channels),
                         widths.fwhmAt(line.energy));
        if (!region) {
            continue;
        }
        const double rate = region->detectionLimit / spectrum.rateExposure();
        const std::optional<double> activity =
            efficiencyKnown ? lineActivity(rate, efficiencyAt(identifier.efficiency(), line.energy),
                                           line.intensity)
                            : std::nullopt;
        if (efficiencyKnown && !activity) {
            continue;
        }
        limits.push_back({.isotope = i,
                          .line = *strongest,
                          .limit = activity ? *activity : rate,
                          .inBecquerel = efficiencyKnown});
    }
    return limits;
}

} // namespace kv

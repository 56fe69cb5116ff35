#include "analysis/line_quantities.h"

#include "fitting/synthetic_spectra.h"
#include "model/app_config.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv {
namespace {

using test::gauss;
using test::PoissonSource;

constexpr int kChannels = 512;

struct Line {
    double area;
    double centre;
    double sigma;
};

// Poisson counts about a sloping continuum and lines, exposure 100 s.
Histogram noisySpectrum(PoissonSource& noise, double continuum, const std::vector<Line>& lines) {
    Histogram h;
    h.channels.resize(kChannels);
    for (int i = 0; i < kChannels; ++i) {
        double mean = continuum * (1.0 + 0.3 * (kChannels - i) / kChannels);
        for (const Line& line : lines) {
            mean += gauss(i, line.area, line.centre, line.sigma);
        }
        h.channels[static_cast<std::size_t>(i)] = noise.next(mean);
    }
    h.exposure = 100.0;
    return h;
}

double uniform(PoissonSource& source, double lo, double hi) {
    return lo + (hi - lo) * source.uniform();
}

// The search and the refit on spectra of one known line each: the reported area error covers
// the truth at the normal rate (95.4 % within 2 sigma), and the rate follows the area.
TEST(RefinedLines, AreaErrorsCoverTheTruthAtTheNominalRate) {
    PoissonSource draw{2024};
    PoissonSource noise{77};
    const EnergyCalibration none;
    int covered = 0;
    int cases = 0;
    double pull = 0.0;
    for (; cases < 200; ++cases) {
        const Line truth{uniform(draw, 800, 2000), uniform(draw, 150, 350),
                         uniform(draw, 1.5, 2.5)};
        const Histogram h = noisySpectrum(noise, uniform(draw, 40, 160), {truth});
        LineSearchResult result = searchLines(h, LineSearchSettings{}, none);
        const std::vector<RefinedLine> refined = refineLines(h, result, none);
        ASSERT_EQ(refined.size(), result.lines.size());
        for (std::size_t i = 0; i < refined.size(); ++i) {
            const FoundLine& line = result.lines.lines()[i];
            if (std::fabs(line.position - truth.centre) < truth.sigma && refined[i].refined) {
                EXPECT_DOUBLE_EQ(line.rate, refined[i].area / 100.0);
                EXPECT_DOUBLE_EQ(line.position, refined[i].position);
                const double z = (refined[i].area - truth.area) / refined[i].areaError;
                covered += std::fabs(z) <= 2.0 ? 1 : 0;
                pull += z * z;
                break;
            }
        }
    }
    EXPECT_GE(covered, 190) << "of " << cases;
    EXPECT_NEAR(pull / cases, 1.0, 0.25) << "the errors are neither too small nor too large";
}

TEST(RefinedLines, CloseLinesAreFittedTogetherAndAFailedRefitKeepsTheSearchValues) {
    PoissonSource noise{5};
    const Histogram h =
        noisySpectrum(noise, 60, {{3000, 200.0, 2.0}, {1500, 205.0, 2.0}, {2000, 400, 2.0}});
    LineSearchResult result;
    result.lines.append({.energy = 199.5, .rate = 25.0, .position = 199.5});
    result.lines.append({.energy = 205.5, .rate = 12.0, .position = 205.5});
    result.lines.append({.energy = 400.2, .rate = 18.0, .position = 400.2});
    result.sigmas = {2.3, 2.3}; // the last line has none (added by hand): no fit can start
    const EnergyCalibration none;
    const std::vector<RefinedLine> refined = refineLines(h, result, none);
    ASSERT_EQ(refined.size(), 3u);
    EXPECT_TRUE(refined[0].refined);
    EXPECT_TRUE(refined[1].refined);
    EXPECT_NEAR(refined[0].area, 3000, 3 * refined[0].areaError);
    EXPECT_NEAR(refined[1].area, 1500, 3 * refined[1].areaError);
    EXPECT_NEAR(result.lines.lines()[1].position, 205.0, 3 * refined[1].centreError);
    EXPECT_NEAR(result.lines.lines()[1].energy, result.lines.lines()[1].position, 1e-9);

    EXPECT_FALSE(refined[2].refined);
    EXPECT_EQ(result.lines.lines()[2], (FoundLine{400.2, 18.0, 400.2}));
    EXPECT_FALSE(result.lines.rateError(2));
    EXPECT_DOUBLE_EQ(*result.lines.rateError(0), refined[0].areaError / 100.0);
    EXPECT_EQ(refined[2].area, 1800.0);
    EXPECT_FALSE(proportionalError(refined[2], 18.0)) << "no error for a failed refit";
    EXPECT_NEAR(*proportionalError(refined[0], 30.0) / 30.0, refined[0].areaError / refined[0].area,
                1e-12);
}

// Currie's risks over many seeds: with no line the net count passes the decision threshold in
// 5 % of spectra; a line of the detection limit's area passes it in 95 %.
TEST(DetectionLimits, FalseAndMissedDetectionsHappenAtFivePercent) {
    constexpr int kSeeds = 400;
    constexpr double kCentre = 256.3;
    constexpr double kSigma = 2.0;
    const double fwhm = 2.0 * std::sqrt(2.0 * std::log(2.0)) * kSigma;
    PoissonSource noise{99};
    int falseAlarms = 0;
    int detected = 0;
    for (int seed = 0; seed < kSeeds; ++seed) {
        const Histogram blank = noisySpectrum(noise, 150, {});
        const auto limits = currieLimits(blank.channels, kCentre, fwhm);
        ASSERT_TRUE(limits);
        falseAlarms += limits->net > limits->decisionThreshold ? 1 : 0;

        const Histogram withLine =
            noisySpectrum(noise, 150, {{limits->detectionLimit, kCentre, kSigma}});
        const auto seen = currieLimits(withLine.channels, kCentre, fwhm);
        ASSERT_TRUE(seen);
        detected += seen->net > seen->decisionThreshold ? 1 : 0;
    }
    EXPECT_NEAR(100.0 * falseAlarms / kSeeds, 5.0, 4.0);
    EXPECT_NEAR(100.0 * detected / kSeeds, 95.0, 4.0);
}

TEST(DetectionLimits, RegionNearTheEndsOrWithoutWidthHasNone) {
    const std::vector<std::int32_t> flat(100, 50);
    EXPECT_FALSE(currieLimits(flat, 3.0, 4.0));
    EXPECT_FALSE(currieLimits(flat, 96.0, 4.0));
    EXPECT_FALSE(currieLimits(flat, 50.0, 0.0));
    EXPECT_FALSE(currieLimits(flat, NAN, 4.0));
    const auto limits = currieLimits(flat, 50.0, 4.0); // 11 channels, flanks of 6 each side
    ASSERT_TRUE(limits);
    EXPECT_DOUBLE_EQ(limits->gross, 550.0);
    EXPECT_DOUBLE_EQ(limits->net, 0.0);
    EXPECT_NEAR(limits->decisionThreshold, 1.645 * std::sqrt(550.0 * (1 + 11.0 / 12)), 1e-9);
    EXPECT_GT(limits->detectionLimit, 2 * limits->decisionThreshold);
}

TEST(DetectionLimits, WidthCurveFollowsTheRefinedLinesOnly) {
    FoundLines lines;
    lines.append({.energy = 100, .rate = 1, .position = 100});
    lines.append({.energy = 500, .rate = 1, .position = 500});
    lines.append({.energy = 900, .rate = 1, .position = 900});
    const double k = 2.0 * std::sqrt(2.0 * std::log(2.0));
    // FWHM^2 = 4 + 0.01 E through the first and the last; the middle one failed.
    std::vector<RefinedLine> refined(3);
    refined[0] = {.refined = true, .sigma = std::sqrt(5.0) / k};
    refined[1] = {.refined = false, .sigma = 50.0};
    refined[2] = {.refined = true, .sigma = std::sqrt(13.0) / k};
    const auto curve = WidthCurve::fit(lines, refined);
    ASSERT_TRUE(curve);
    EXPECT_NEAR(curve->fwhmAt(500), 3.0, 1e-9);
    EXPECT_NEAR(curve->fwhmAt(-1000), std::sqrt(5.0), 1e-9) << "held at the narrowest line";

    refined.resize(1);
    EXPECT_NEAR(WidthCurve::fit(lines, refined)->fwhmAt(2000), std::sqrt(5.0), 1e-9);
    refined[0].refined = false;
    EXPECT_FALSE(WidthCurve::fit(lines, refined));
}

// No calibration: energies are channels. Isotope A is found, B is not and gets a limit at its
// strongest eligible line, C is disabled, D has no line above the threshold.
TEST(DetectionLimits, OnlyIsotopesNotFoundGetALimitInTheirUnit) {
    PoissonSource noise{3};
    const Histogram h = noisySpectrum(noise, 100, {{5000, 200.0, 2.0}});
    LineSearchResult result = searchLines(h, LineSearchSettings{}, EnergyCalibration{});
    const EnergyCalibration none;
    const std::vector<RefinedLine> refined = refineLines(h, result, none);
    const auto widths = WidthCurve::fit(result.lines, refined);
    ASSERT_TRUE(widths);

    IsotopeDatabase database;
    database.append({.name = "A", .enabled = 1, .lines = {{200.0, 0.9}}});
    database.append(
        {.name = "B", .enabled = 1, .lines = {{300.0, 0.4}, {350.0, 0.6}, {10.0, 0.9}}});
    database.append({.name = "C", .enabled = 0, .lines = {{300.0, 0.5}}});
    database.append({.name = "D", .enabled = 1, .lines = {{300.0, 0.001}}});
    AppConfig config;
    config.identification.checkLines = 0;
    config.identification.energyFrom = 50.0;
    const LineIdentifier identifier(database, result.lines, config.identification,
                                    config.efficiency, none, kChannels);
    const std::vector<DetectionLimit> rates = detectionLimits(h, identifier, *widths, none);
    ASSERT_EQ(rates.size(), 1u);
    EXPECT_EQ(rates[0].isotope, 1u);
    EXPECT_EQ(rates[0].line, 1u) << "10 keV lies below energyFrom";
    EXPECT_FALSE(rates[0].inBecquerel);
    const auto region = currieLimits(h.channels, 350.0, widths->fwhmAt(350.0));
    EXPECT_DOUBLE_EQ(rates[0].limit, region->detectionLimit / 100.0);

    config.identification.efficiencyCorrection = 1;
    config.efficiency.efficiencyPointCount = 1;
    config.efficiency.efficiencyEnergy[0] = 1000.0;
    config.efficiency.efficiencyValue[0] = 0.1; // one point: 0.1 at every energy
    const LineIdentifier corrected(database, result.lines, config.identification, config.efficiency,
                                   none, kChannels);
    const std::vector<DetectionLimit> activities = detectionLimits(h, corrected, *widths, none);
    ASSERT_EQ(activities.size(), 1u);
    EXPECT_TRUE(activities[0].inBecquerel);
    EXPECT_NEAR(activities[0].limit, rates[0].limit / 0.1 / 0.6, 1e-9 * activities[0].limit);
}

// The found-lines texts with the refit's errors: a "±" column after each value derived from the
// rate, the same relative error, and "?" for a line without one.
TEST(FoundLinesTextWithErrors, ListCopyAndPrintShowTheErrorColumns) {
    IsotopeDatabase database;
    database.append({.name = "Cs-137", .enabled = 1, .lines = {{661.7, 0.85}}});
    FoundLines found;
    found.append({.energy = 100.0, .rate = 4.0, .position = 100.0});
    found.append({.energy = 661.9, .rate = 10.0, .position = 661.9});
    found.setRateError(1, 0.5);
    AppConfig config;
    config.identification.checkLines = 0;
    const LineIdentifier identifier(database, found, config.identification, config.efficiency,
                                    EnergyCalibration{}, 2048);
    const FoundLine& unknown = found.lines()[0];
    const FoundLine& cesium = found.lines()[1];

    EXPECT_EQ(foundLinesListHeader(false, true), "  E(кэВ)  C(имп/с)         ± Изотоп");
    EXPECT_EQ(foundLineListRow(identifier, cesium, RateError{0.5}),
              "  661.90     10.00      0.50 Cs-137");
    EXPECT_EQ(foundLineListRow(identifier, unknown, RateError{}), "  100.00      4.00         ?");
    EXPECT_EQ(foundLinesCopyText(identifier, true), "Эн.(кэВ)\tСчет(ч/с)\t±\tЛиния(кэВ)\tИзотоп\r\n"
                                                    "100.00\t4.00\t?\t\r\n"
                                                    "661.90\t10.00\t0.50\t661.70\tCs-137\r\n");
    EXPECT_EQ(foundLinePrintRow(identifier, cesium, RateError{0.5}),
              "  661.90 |     10.00 ±    0.50 (Cs-137)");
    EXPECT_EQ(foundLineListRow(identifier, cesium), "  661.90     10.00 Cs-137") << "errors off";

    config.identification.efficiencyCorrection = 1;
    EXPECT_EQ(foundLinesListHeader(true, true),
              "  E(кэВ)    I(ч/с)         ±    A(р/с)         ± Изотоп");
    EXPECT_EQ(foundLineListRow(identifier, cesium, RateError{0.5}),
              "  661.90     10.00      0.50     11.76      0.59 Cs-137");
    EXPECT_EQ(
        foundLinesCopyText(identifier, true),
        "Энергия,кэВ\tСчет, ч/сек\t±\tИнтеграл,ч/сек\t±\tАктивность,Бк\t±\tЛиния,кэВ\tИзотоп\r\n"
        "100.00\t4.00\t?\t4.00\t?\t\r\n"
        "661.90\t10.00\t0.50\t10.00\t0.50\t11.76\t0.59\t661.70\tCs-137\r\n");
}

} // namespace
} // namespace kv

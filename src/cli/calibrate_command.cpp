// The verb calibrate: the energy calibration window's "Калибровать" on points given on the
// command line, the result written into the file's trailer.

#include "analysis/energy_calibration_fit.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "fitting/peak_fit.h"
#include "model/append_format.h"
#include "model/number_text.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kCalibrateHelp =
    "usage: kvantira-cli calibrate FILE --point CH:KEV [--point CH:KEV ...]\n"
    "                              [--peak CH:KEV ...] [--histogram N] [--level]\n"
    "                              [--degree D] [--json] OUT.hst\n"
    "\n"
    "Builds the energy calibration as the program's \"Калибровка\" window does and saves the\n"
    "file's histograms with it as OUT.hst. Each --point gives a one-based channel (fractions\n"
    "allowed) and its energy in keV; each --peak fits the peak near the one-based channel CH\n"
    "of the N-th histogram (--histogram, default 1; --level fits a constant level too) as the\n"
    "single-peak window does and takes its centre, to five decimals, as the point of energy\n"
    "KEV. From one to five points replace the file's points. The polynomial has D + 1 terms\n"
    "(D from 1 to 4, default the degree of the file's calibration, 4 in a new one), at most\n"
    "as many as there are points. One point switches the calibration off (unless it is on\n"
    "channel 1). Prints the coefficients, lowest power first, and per point the zero-based\n"
    "channel, the energy and the calibration's energy there less it; --json prints\n"
    "{\"coefficients\", \"channelScale\", \"points\": [{\"channel\", \"energy\", \"delta\"}]}.\n"
    "A peak that cannot be fitted, or points that do not fix the polynomial (two on one\n"
    "channel), exit with 3 and write nothing.\n";

struct CalibrationPoint {
    double channel = 0.0; // one-based
    double energy = 0.0;  // keV
    bool fitted = false;  // the channel is a peak's neighbourhood, its centre the point's
};

struct CalibrateArguments {
    std::string path;
    std::string outPath;
    std::vector<CalibrationPoint> points;
    std::optional<int> degree;
    int histogram = 1; // 1-based
    bool level = false;
    bool json = false;
};

std::optional<CalibrationPoint> parsePoint(std::string_view text, bool fitted) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto channel = parseNumber<double>(text.substr(0, colon));
    const auto energy = parseNumber<double>(text.substr(colon + 1));
    if (!channel || !energy || !std::isfinite(*channel) || !std::isfinite(*energy)) {
        return std::nullopt;
    }
    return CalibrationPoint{*channel, *energy, fitted};
}

std::optional<CalibrateArguments> parseArguments(std::span<const std::string_view> args) {
    CalibrateArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((arg == "--point" || arg == "--peak") && hasValue) {
            const auto point = parsePoint(args[++i], arg == "--peak");
            if (!point) {
                return std::nullopt;
            }
            parsed.points.push_back(*point);
        } else if (arg == "--degree" && hasValue) {
            parsed.degree = parseNumber<int>(args[++i]);
            if (!parsed.degree || *parsed.degree < 1 || *parsed.degree > kMaxCalibrationDegree) {
                return std::nullopt;
            }
        } else if (arg == "--histogram" && hasValue) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram) {
                return std::nullopt;
            }
            parsed.histogram = *histogram;
        } else if (arg == "--level") {
            parsed.level = true;
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (arg.starts_with("-")) {
            return std::nullopt;
        } else if (parsed.path.empty()) {
            parsed.path = arg;
        } else if (parsed.outPath.empty()) {
            parsed.outPath = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty() || parsed.outPath.empty() || parsed.points.empty() ||
        parsed.points.size() > kMaxCalibrationPoints) {
        return std::nullopt;
    }
    return parsed;
}

// The one-based channel of a point: as given, or the centre of the peak fitted near it, written
// as the single-peak window writes it into the calibration window's field ("%0.5f"), so both
// make the same calibration. Nothing after saying why when the fit fails.
std::optional<double> pointChannel(const CalibrationPoint& point, const Histogram& h, bool level) {
    if (!point.fitted) {
        return point.channel;
    }
    const auto channels = static_cast<std::int32_t>(h.channels.size());
    const double start = roundHalfDown(point.channel - 1.0);
    if (!(start >= 0.0 && start < channels)) {
        std::cerr << "kvantira-cli: channel " << point.channel << " is not among 1.." << channels
                  << '\n';
        return std::nullopt;
    }
    PeakFit fit;
    if (!fitPeakAt(fit, h.channels, static_cast<int>(start), level ? 4 : 3).converged()) {
        std::cerr << "kvantira-cli: no peak could be fitted near channel " << point.channel << '\n';
        return std::nullopt;
    }
    return numberFromFieldText(fieldTextFromNumber("%0.5f", fit.centre + 1.0));
}

void printCalibration(const EnergyCalibration& calibration, std::int32_t channelCount, bool json) {
    const std::size_t n = calibrationPointCount(calibration);
    const bool inForce = calibration.inForce();
    const std::size_t terms = inForce ? static_cast<std::size_t>(calibration.termsInUse()) : 0;
    if (json) {
        nlohmann::json result = {{"channelScale", calibration.channelScale},
                                 {"coefficients", nlohmann::json::array()},
                                 {"points", nlohmann::json::array()}};
        for (std::size_t i = 0; i < terms; ++i) {
            result["coefficients"].push_back(calibration.coefficients[i]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const double channel = calibration.pointChannel[i];
            const double energy = calibration.pointEnergy[i];
            result["points"].push_back(
                {{"channel", channel},
                 {"energy", energy},
                 {"delta", calibration.channelToEnergy(channel, channelCount) - energy}});
        }
        std::cout << result.dump(1) << '\n';
        return;
    }
    if (!inForce) {
        std::cout << "no calibration in force\n";
    }
    for (std::size_t i = 0; i < terms; ++i) {
        std::cout << formatText("c%zu = %.12g\n", i, calibration.coefficients[i]);
    }
    std::cout << calibrationCopyText(calibration, channelCount).value_or("");
}

} // namespace

int runCalibrate(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kCalibrateHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    const Histogram* h = w.openHistogram(parsed->path, parsed->histogram, status);
    if (!h) {
        return status;
    }
    EnergyCalibration calibration = w.config.energyCalibration;
    calibration.pointCount = 0;
    for (const CalibrationPoint& point : parsed->points) {
        const auto channel = pointChannel(point, *h, parsed->level);
        if (!channel) {
            return kExitFitFailed;
        }
        addCalibrationPoint(calibration, *channel, point.energy);
    }
    const int degree = parsed->degree.value_or(calibration.termsInUse() - 1);
    const std::int32_t channelCount = w.list.channelCount();
    if (calibrate(calibration, degree, channelCount) == CalibrateOutcome::Singular) {
        std::cerr << "kvantira-cli: the points do not fix a polynomial of degree " << degree
                  << '\n';
        return kExitFitFailed;
    }
    w.config.energyCalibration = calibration;
    w.list.markChanged();
    w.ui.setSaveFile(parsed->outPath);
    if (w.document.saveAs() != SaveOutcome::Written) {
        std::cerr << "kvantira-cli: " << parsed->outPath << " was not written\n";
        return kExitUsage;
    }
    printCalibration(calibration, channelCount, parsed->json);
    return kExitOk;
}

} // namespace kv::cli

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "analysis/single_peak.h"
#include "fitting/peak_fit.h"
#include "model/append_format.h"
#include "model/energy_calibration.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kPeakHelp =
    "usage: kvantira-cli peak FILE.hst --histogram N --at CHANNEL [--level] [--json]\n"
    "\n"
    "Fits one Gaussian peak near CHANNEL (1-based, as the program shows channels) of the N-th\n"
    "histogram of the file (1-based list position), climbing from the channel to the nearest\n"
    "summit, as the single-peak approximation window does. --level fits a constant level too.\n"
    "Prints the intensity (counts per second), the position in channels and keV, and the full\n"
    "width at half maximum (2.36 sigma) in channels and keV, each with its standard error; keV\n"
    "use the file's energy calibration. A failed fit prints \"?\" and exits with 3.\n"
    "--json prints {\"ok\", \"area\", \"areaError\", \"centre\" (0-based), \"centreError\",\n"
    "\"sigma\", \"sigmaError\", \"level\", \"levelError\", \"energy\", \"fwhm\", \"fwhmKeV\"}.\n";

struct PeakArguments {
    std::string path;
    int histogram = 0; // 1-based
    int channel = 0;   // 1-based
    bool level = false;
    bool json = false;
};

std::optional<PeakArguments> parseArguments(std::span<const std::string_view> args) {
    PeakArguments parsed;
    std::optional<int> histogram;
    std::optional<int> channel;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--histogram" && hasValue) {
            histogram = parseNumber<int>(args[++i]);
        } else if (arg == "--at" && hasValue) {
            channel = parseNumber<int>(args[++i]);
        } else if (arg == "--level") {
            parsed.level = true;
        } else if (arg == "--json") {
            parsed.json = true;
        } else if (parsed.path.empty() && !arg.starts_with("-")) {
            parsed.path = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.path.empty() || !histogram || !channel) {
        return std::nullopt;
    }
    parsed.histogram = *histogram;
    parsed.channel = *channel;
    return parsed;
}

std::string describe(const PeakFitOutcome& outcome) {
    const std::string window = " (channels " + std::to_string(outcome.windowFirst + 1) + " to " +
                               std::to_string(outcome.windowFirst + outcome.windowSize) + ")";
    switch (outcome.status) {
    case PeakFitStatus::Converged:
        return "converged";
    case PeakFitStatus::NoDegreesOfFreedom:
        return "no more channels than parameters";
    case PeakFitStatus::NoCounts:
        return "no counts above the level" + window;
    case PeakFitStatus::NoWidth:
        return "the peak has no width" + window;
    case PeakFitStatus::Singular:
        return "singular normal matrix" + window;
    case PeakFitStatus::Diverged:
        return "the iteration diverged" + window;
    case PeakFitStatus::TooManyIterations:
        return "no convergence in 100 steps" + window;
    case PeakFitStatus::WindowTooNarrow:
        return "fewer than 5 channels around the summit" + window;
    case PeakFitStatus::StartOutside:
        return "the channel is outside the spectrum";
    }
    return {};
}

std::string fixed2(double value) {
    return formatText("%0.2f", value);
}

} // namespace

int runPeak(std::span<const std::string_view> args) {
    const auto parsed = parseArguments(args);
    if (const auto status = helpOrUsageStatus(args, kPeakHelp, parsed.has_value())) {
        return *status;
    }
    CliWorkspace w;
    int status = kExitOk;
    const Histogram* h = w.openHistogram(parsed->path, parsed->histogram, status);
    if (!h) {
        return status;
    }
    const std::int32_t channels = w.list.channelCount();
    if (parsed->channel < 1 || parsed->channel > channels) {
        std::cerr << "kvantira-cli: channel " << parsed->channel << " is not among 1.." << channels
                  << '\n';
        return kExitUsage;
    }

    PeakFit fit;
    const int start = parsed->channel - 1;
    const PeakFitOutcome outcome = fitPeakAt(fit, h->channels, start, parsed->level ? 4 : 3);
    const bool ok = outcome.converged();
    if (!ok) {
        std::cerr << "kvantira-cli: the fit failed: " << describe(outcome) << '\n';
    }
    const EnergyCalibration& calibration = w.config.energyCalibration;
    const SinglePeakReadout shown =
        singlePeakReadout(fit, calibration, channels, h->rateExposure());
    const double centre = ok ? fit.centre : start;
    const double energy = calibration.channelToEnergy(centre, channels);

    if (parsed->json) {
        nlohmann::json result = {{"ok", ok}};
        if (ok) {
            result.update({{"area", fit.area},
                           {"areaError", fit.areaError},
                           {"centre", fit.centre},
                           {"centreError", fit.centreError},
                           {"sigma", fit.sigma},
                           {"sigmaError", fit.sigmaError},
                           {"level", fit.level},
                           {"levelError", fit.levelError},
                           {"energy", energy},
                           {"fwhm", shown.fwhm},
                           {"fwhmKeV", shown.fwhmKeV}});
        }
        std::cout << result.dump(1) << '\n';
    } else {
        const auto value = [ok](double v) { return ok ? fixed2(v) : std::string("?"); };
        std::cout << "Интенсивность: " << value(shown.intensity) << " ± "
                  << value(shown.intensityError) << " имп/с\n"
                  << "Положение:     " << fixed2(centre + 1) << " ± " << value(shown.channelError)
                  << " канал\n"
                  << "Положение:     " << fixed2(energy) << " ± " << value(shown.energyError)
                  << " кэВ\n"
                  << "ПШПМ:          " << value(shown.fwhm) << " ± " << value(shown.fwhmError)
                  << " канал\n"
                  << "ПШПМ:          " << value(shown.fwhmKeV) << " ± " << value(shown.fwhmKeVError)
                  << " кэВ\n";
    }
    return ok ? kExitOk : kExitFitFailed;
}

} // namespace kv::cli

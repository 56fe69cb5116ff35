#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "formats/spectrum_exchange.h"
#include "formats/spectrum_formats.h"

#include <iostream>
#include <string>

namespace kv::cli {

namespace {

constexpr std::string_view kConvertHelp =
    "usage: kvantira-cli convert IN OUT [--histogram N]\n"
    "\n"
    "Reads IN and writes OUT, each in the format its extension names: .hst (histogram files),\n"
    ".spe (ASCII SPE), .chn (ORTEC CHN), .csv (channel,counts); IN may also be .iec (IEC 61455),\n"
    ".txt (two columns) or .n42/.xml (N42.42). A histogram file holds every spectrum of IN and\n"
    "the energy calibration of its first; the other formats hold one spectrum, number N of IN\n"
    "(default 1), with the calibration in force. Exit status 1 when OUT's format cannot be\n"
    "written, IN holds no spectra, the spectrum cannot be written in OUT's format so that it\n"
    "reads back (a time that is negative or not a number...) or a file cannot be read or\n"
    "written, 2 when IN is damaged.\n";

struct ConvertArguments {
    std::string in;
    std::string out;
    int histogram = 1;
};

std::optional<ConvertArguments> parse(std::span<const std::string_view> args) {
    ConvertArguments parsed;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--histogram" && i + 1 < args.size()) {
            const auto histogram = parseNumber<int>(args[++i]);
            if (!histogram || *histogram < 1) {
                return std::nullopt;
            }
            parsed.histogram = *histogram;
        } else if (args[i].starts_with("-")) {
            return std::nullopt;
        } else {
            paths.emplace_back(args[i]);
        }
    }
    if (paths.size() != 2) {
        return std::nullopt;
    }
    parsed.in = paths[0];
    parsed.out = paths[1];
    return parsed;
}

} // namespace

int runConvert(std::span<const std::string_view> args) {
    const auto parsed = parse(args);
    if (const auto status = helpOrUsageStatus(args, kConvertHelp, parsed.has_value())) {
        return *status;
    }
    const SpectrumFormat outFormat = formatFromExtension(parsed->out);
    if (outFormat != SpectrumFormat::Hst && !canWrite(outFormat)) {
        std::cerr << "kvantira-cli: cannot write spectra as " << parsed->out << '\n';
        return kExitUsage;
    }
    CliWorkspace w;
    if (const int status = exitStatusOf(w.openAny(parsed->in))) {
        return status;
    }
    if (w.list.empty()) {
        std::cerr << "kvantira-cli: " << parsed->in << " holds no spectra; nothing written\n";
        return kExitUsage;
    }
    if (outFormat == SpectrumFormat::Hst) {
        w.ui.setSaveFile(parsed->out);
        return w.document.saveAs() == SaveOutcome::Written ? kExitOk : kExitUsage;
    }
    const Histogram* h = w.histogramAt(parsed->histogram);
    if (!h) {
        return kExitUsage;
    }
    return exportHistogram(*h, w.config.energyCalibration, w.list.channelCount(), parsed->out,
                           w.ui) == SaveOutcome::Written
               ? kExitOk
               : kExitUsage;
}

} // namespace kv::cli

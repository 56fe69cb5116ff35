#include "acquisition/memory_test.h"
#include "acquisition/simulated_analyser.h"
#include "cli/cli_run.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kMemtestHelp =
    "usage: kvantira-cli memtest 0|1|random [--fault FAULT]... [--ports=direct]\n"
    "\n"
    "Runs the analyser memory test of the mode dialog: every channel's\n"
    "word is written as 0, as 0xFFFFFFFF or as a random pattern seeded with the time, read back\n"
    "and compared. The message goes to standard error; standard output gets\n"
    "\"errors E of N\" (words that differ, words tested).\n"
    "--fault injects a fault into the simulated memory (repeatable; channels 1-2048 or 'all',\n"
    "bits 0-31 of the channel's word):\n"
    "  dead:CHANNEL          the channel's cells hold nothing and read as 0xFF bytes\n"
    "  stuck0:CHANNEL:BIT    the bit reads as 0\n"
    "  stuck1:CHANNEL:BIT    the bit reads as 1\n"
    "--ports=direct tests the real analyser through the x86 ports (also KVANTIRA_PORTS); faults\n"
    "can be injected only into the simulated one.\n"
    "Exit status: 0 the test passed, 2 errors were found, 1 usage error.\n";

constexpr int kExitMemoryErrors = 2;

struct Fault {
    enum class Kind { Dead, StuckAtZero, StuckAtOne } kind = Kind::Dead;
    std::optional<int> channel; // 0-based; none for every channel
    int bit = 0;
};

struct MemtestArguments {
    MemoryPattern pattern = MemoryPattern::Zeros;
    std::vector<Fault> faults;
};

std::optional<int> numberIn(std::string_view text, int first, int last) {
    const auto value = parseNumber<int>(text);
    if (!value || *value < first || *value > last) {
        return std::nullopt;
    }
    return value;
}

// "dead:CHANNEL", "stuck0:CHANNEL:BIT" or "stuck1:CHANNEL:BIT"; CHANNEL 1-based or "all".
std::optional<Fault> parseFault(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t colon = text.find(':', at);
        parts.push_back(text.substr(at, colon - at));
        if (colon == std::string_view::npos) {
            break;
        }
        at = colon + 1;
    }
    Fault fault;
    if (parts[0] == "dead" && parts.size() == 2) {
        fault.kind = Fault::Kind::Dead;
    } else if ((parts[0] == "stuck0" || parts[0] == "stuck1") && parts.size() == 3) {
        fault.kind = parts[0] == "stuck0" ? Fault::Kind::StuckAtZero : Fault::Kind::StuckAtOne;
        const auto bit = numberIn(parts[2], 0, 31);
        if (!bit) {
            return std::nullopt;
        }
        fault.bit = *bit;
    } else {
        return std::nullopt;
    }
    if (parts[1] != "all") {
        const auto channel = numberIn(parts[1], 1, kAnalyserChannels);
        if (!channel) {
            return std::nullopt;
        }
        fault.channel = *channel - 1;
    }
    return fault;
}

// The arguments the analyser's choice leaves.
std::optional<MemtestArguments> parseArguments(const std::vector<std::string>& args) {
    MemtestArguments parsed;
    bool havePattern = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--fault" && i + 1 < args.size()) {
            const auto fault = parseFault(args[++i]);
            if (!fault) {
                return std::nullopt;
            }
            parsed.faults.push_back(*fault);
        } else if (!havePattern && (arg == "0" || arg == "1" || arg == "random")) {
            parsed.pattern = arg == "0"   ? MemoryPattern::Zeros
                             : arg == "1" ? MemoryPattern::Ones
                                          : MemoryPattern::Random;
            havePattern = true;
        } else {
            return std::nullopt;
        }
    }
    if (!havePattern) {
        return std::nullopt;
    }
    return parsed;
}

void inject(SimulatedAnalyser& analyser, const Fault& fault) {
    const int first = fault.channel.value_or(0);
    const int last = fault.channel.value_or(kAnalyserChannels - 1);
    const auto mask = static_cast<std::uint8_t>(1u << (fault.bit % 8));
    for (int channel = first; channel <= last; ++channel) {
        const int byteAddress = 4 * channel + fault.bit / 8;
        switch (fault.kind) {
        case Fault::Kind::Dead:
            analyser.injectDeadChannel(channel);
            break;
        case Fault::Kind::StuckAtZero:
            analyser.injectStuckBits(byteAddress, mask, 0);
            break;
        case Fault::Kind::StuckAtOne:
            analyser.injectStuckBits(byteAddress, 0, mask);
            break;
        }
    }
}

} // namespace

int runMemtest(std::span<const std::string_view> args) {
    Clock& clock = realClock();
    PortChoice ports;
    std::optional<MemtestArguments> parsed;
    if (const auto status =
            analyserVerbStatus(args, kMemtestHelp, clock, parseArguments, ports, parsed)) {
        return *status;
    }
    if (!parsed->faults.empty()) {
        if (ports.analyser.kind != AnalyserKind::Simulated) {
            std::cerr << "kvantira-cli: faults can be injected only into the simulated analyser\n";
            return kExitUsage;
        }
        auto& simulated = static_cast<SimulatedAnalyser&>(*ports.analyser.ports);
        for (const Fault& fault : parsed->faults) {
            inject(simulated, fault);
        }
    }
    CliWorkspace w;
    const MemoryTestResult result =
        memoryTest(*ports.analyser.ports, clock, w.config.analyser, w.list, w.ui, parsed->pattern);
    std::cout << "errors " << result.errors << " of " << result.channels << '\n';
    return result.passed() ? kExitOk : kExitMemoryErrors;
}

} // namespace kv::cli

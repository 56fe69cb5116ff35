#include "acquisition/simulated_analyser.h"

#include "acquisition/analyser_port.h"
#include "acquisition/port_selection.h"
#include "fitting/peak_fit.h"
#include "support/fake_ui_services.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <map>
#include <numeric>
#include <thread>

namespace kv {
namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kBase = 0x300;

SimulationOptions options(std::vector<Source> sources, double rate,
                          Detector detector = Detector::NaI) {
    return {std::move(sources), detector, rate};
}

// The simulator and the clock it counts on, which only the test moves.
struct Simulation {
    test::ManualClock clock;
    SimulatedAnalyser analyser;

    explicit Simulation(const SimulationOptions& options = {}) : analyser(clock, options) {}

    std::vector<std::int32_t> readOut() {
        freezeCounting(analyser, clock, kBase);
        std::vector<std::int32_t> counts(kAnalyserChannels);
        readSpectrum(analyser, kBase, counts);
        return counts;
    }

    // Counts for duration after S1 with command, pulsing the software gate every pulseEvery
    // (never when zero).
    std::vector<std::int32_t> measure(std::uint8_t command, std::chrono::milliseconds duration,
                                      std::chrono::milliseconds pulseEvery = 0ms,
                                      std::uint8_t threshold = 0) {
        startCounting(analyser, kBase, threshold, command);
        const auto end = clock.now() + duration;
        while (clock.now() < end) {
            if (pulseEvery > 0ms) {
                softwareGatePulse(analyser, kBase);
            }
            clock.waitUntil(
                std::min(end, clock.now() + (pulseEvery > 0ms ? pulseEvery : duration)));
        }
        return readOut();
    }
};

// The memory tests show that words written read back; here, where reading starts.
TEST(SimulatedAnalyser, MemoryReadsBackFromByteZeroAfterEveryStop) {
    Simulation simulation;
    SimulatedAnalyser& analyser = simulation.analyser;
    const std::vector<std::uint32_t> words(kAnalyserChannels, 0x12345678u);
    ASSERT_EQ(writeAndReadMemory(analyser, kBase, words), words);
    // Three bytes into the memory, a stop puts the next access back at byte 0.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 8; ++i) {
        if (i == 3) {
            analyser.writePort(0x371, 0);
        }
        bytes.push_back(analyser.readPort(0x370));
    }
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x78, 0x56, 0x34, 0x12, 0x78}));
    EXPECT_EQ(analyser.readPort(0x301), 0xFF); // write-only registers read as the open bus
    EXPECT_EQ(analyser.readPort(0x303), 0xFF);
}

TEST(SimulatedAnalyser, CountsOnlyWhileACommandStandsAndTheSoftwareGateIsFed) {
    constexpr double kRate = 100'000.0;
    const struct {
        const char* what;
        std::uint8_t command;
        std::chrono::milliseconds pulseEvery;
        std::int64_t atLeast, atMost; // counts in 60 ms (6000 expected when counting throughout)
    } cases[] = {
        {"stopped", 0x00, 0ms, 0, 0},
        {"internal gating", 0x2B, 0ms, 3000, 20000},
        {"software gating without pulses", 0x15, 0ms, 0, 0},
        {"software gating fed every 2 ms", 0x15, 2ms, 3000, 20000},
        {"one pulse holds the gate 10 ms", 0x15, 100ms, 300, 3000},
    };
    for (const auto& c : cases) {
        Simulation simulation(options({Source::Cs137}, kRate));
        const std::vector<std::int32_t> counts = simulation.measure(c.command, 60ms, c.pulseEvery);
        const auto total = std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
        EXPECT_TRUE(total >= c.atLeast && total <= c.atMost) << c.what << ": " << total;
        // Stopped, the memory holds still.
        simulation.clock.advance(5ms);
        EXPECT_EQ(simulation.readOut(), counts) << c.what;
    }
}

// A rate set in code beyond what an analyser records counts at that limit, and a run ends.
TEST(SimulatedAnalyser, RatesBeyondTheAnalysersLimitCountAtTheLimit) {
    for (const double rate : {kMaxCountsPerSecond, 1e24, HUGE_VAL}) {
        Simulation simulation(options({Source::Cs137}, rate));
        const std::vector<std::int32_t> counts = simulation.measure(0x01, 10ms);
        const auto total = std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
        EXPECT_NEAR(static_cast<double>(total), 1e5, 2e3) << rate;
    }
}

TEST(SimulatedAnalyser, ThresholdSuppressesChannelsBelowEightTimesIt) {
    Simulation simulation(options({Source::Cs137}, 1e6));
    const std::vector<std::int32_t> counts = simulation.measure(0x01, 30ms, 0ms, 50);
    EXPECT_EQ(std::count(counts.begin(), counts.begin() + 400, 0), 400);
    EXPECT_GT(std::accumulate(counts.begin() + 400, counts.begin() + 480, 0), 1000);
}

// A running mean over 2 x radius + 1 channels: it keeps a symmetric peak's centre and takes out
// the channel-to-channel noise that would end the fit's window early.
std::vector<std::int32_t> smoothed(const std::vector<std::int32_t>& counts, int radius) {
    std::vector<std::int32_t> out(counts.size());
    for (int c = radius; c + radius < static_cast<int>(counts.size()); ++c) {
        const auto first = counts.begin() + (c - radius);
        out[static_cast<std::size_t>(c)] =
            std::accumulate(first, first + 2 * radius + 1, 0) / (2 * radius + 1);
    }
    return out;
}

TEST(SimulatedAnalyser, PhotopeaksLieWhereTheCalibrationPutsThem) {
    // Tolerances in channels: the broad NaI peaks sit on a continuum that steps down under them,
    // which pulls a fitted centre low by a channel or so.
    const struct {
        Source source;
        Detector detector;
        double energyKeV, tolerance;
    } cases[] = {
        {Source::Cs137, Detector::NaI, 661.657, 2.0},
        {Source::Co60, Detector::NaI, 1332.492, 2.0},
        {Source::Am241, Detector::NaI, 59.541, 0.5},
        {Source::Cs137, Detector::HPGe, 661.657, 0.1},
        {Source::Co60, Detector::HPGe, 1332.492, 0.1},
    };
    for (const auto& c : cases) {
        Simulation simulation(options({c.source}, kMaxCountsPerSecond, c.detector));
        const std::vector<std::int32_t> counts =
            smoothed(simulation.measure(0x01, 1000ms), c.detector == Detector::NaI ? 8 : 0);
        const double channel = c.energyKeV / kSimulatedKeVPerChannel;
        PeakFit fit;
        EXPECT_TRUE(fitPeakAt(fit, counts, static_cast<int>(std::lround(channel)), 4).converged())
            << c.energyKeV;
        EXPECT_NEAR(fit.centre, channel, c.tolerance) << c.energyKeV;
    }
}

TEST(SimulatedAnalyser, TriggerLinesFollowTheirLevelOrPatternOnItsClock) {
    Simulation simulation;
    SimulatedAnalyser& analyser = simulation.analyser;
    analyser.setTriggerBit(2, true);
    EXPECT_EQ(analyser.readPort(0x279) & kTriggerBit, kTriggerBit);
    EXPECT_EQ(analyser.readPort(0x3BD) & kTriggerBit, 0);

    // LPT1 high for 5 ms, low for 5 ms, from now on: a falling edge at 5 ms, a rising at 10.
    std::atomic<std::uint8_t> abort{0};
    analyser.setTriggerPattern(0, 5ms, 5ms);
    EXPECT_TRUE(waitForEdge(analyser, simulation.clock, 0x3BD, Edge::Falling, abort));
    EXPECT_EQ(simulation.clock.now(), 5ms);
    EXPECT_TRUE(waitForEdge(analyser, simulation.clock, 0x3BD, Edge::Rising, abort));
    EXPECT_EQ(simulation.clock.now(), 10ms);
}

// On the real clock: a level set by one thread reaches a worker waiting on another.
TEST(SimulatedAnalyser, TriggerLineSetByHandReachesAWorkerWaitingForAnEdge) {
    Simulation simulation;
    SimulatedAnalyser& analyser = simulation.analyser;
    std::atomic<std::uint8_t> abort{0};
    auto byHand = std::async(std::launch::async, [&] {
        return waitForEdge(analyser, realClock(), 0x379, Edge::Rising, abort);
    });
    // The worker may start looking at any moment, so the line goes up and down until it reports
    // a rising edge; a worker still waiting is aborted rather than left to block the test's end.
    bool seen = false;
    for (int i = 0; i < 200 && !seen; ++i) {
        analyser.setTriggerBit(1, i % 2 == 1);
        seen = byHand.wait_for(10ms) == std::future_status::ready;
    }
    abort = seen ? 0 : 1;
    EXPECT_TRUE(seen && byHand.get());
}

TEST(PortSelection, EnvironmentThenCommandLine) {
    const struct {
        std::map<std::string, std::string> environment;
        std::vector<std::string> arguments;
        PortSettings expected;
        std::vector<std::string> remaining;
        std::string errorMentions; // empty: no error
    } cases[] = {
        {{}, {"a.hst"}, {}, {"a.hst"}, ""},
        {{{"KVANTIRA_SOURCES", "am241,eu152"}, {"KVANTIRA_RATE", "100"}},
         {"a.hst", "--rate", "2500", "--detector=hpge", "--ratex"},
         {false, options({Source::Am241, Source::Eu152}, 2500.0, Detector::HPGe)},
         {"a.hst", "--ratex"},
         ""},
        {{{"KVANTIRA_PORTS", "direct"}}, {}, {true, {}}, {}, ""},
        {{{"KVANTIRA_PORTS", "direct"}}, {"--ports=simulated"}, {}, {}, ""},
        {{},
         {"--sources=th232,k40"},
         {false, options({Source::Th232, Source::K40}, 5000.0)},
         {},
         ""},
        {{}, {"--rate=1e7"}, {false, options({Source::Cs137, Source::Co60}, 1e7)}, {}, ""},
        {{}, {"--rate=0"}, {}, {}, "--rate"},
        {{}, {"--rate=1e24"}, {}, {}, "at most 10000000 counts per second"},
        {{{"KVANTIRA_RATE", "10000001"}}, {}, {}, {}, "KVANTIRA_RATE: rate 10000001 is more"},
        {{}, {"--rate=12x"}, {}, {}, "12x"},
        {{}, {"--sources=cs137,,co60"}, {}, {}, "''"},
        {{}, {"--detector"}, {}, {}, "missing"},
        {{{"KVANTIRA_DETECTOR", "csi"}}, {}, {}, {}, "KVANTIRA_DETECTOR"},
    };
    for (const auto& c : cases) {
        const auto environment = [&c](const char* name) -> std::optional<std::string> {
            const auto found = c.environment.find(name);
            return found != c.environment.end() ? std::optional(found->second) : std::nullopt;
        };
        const PortSettingsParse parse = parsePortSettings(c.arguments, environment);
        if (c.errorMentions.empty()) {
            EXPECT_EQ(parse.error, "");
            EXPECT_EQ(parse.settings, c.expected);
            EXPECT_EQ(parse.remaining, c.remaining);
        } else {
            EXPECT_NE(parse.error.find(c.errorMentions), std::string::npos) << parse.error;
            test::ManualClock clock;
            const PortChoice refused = choosePorts(c.arguments, clock, environment);
            EXPECT_EQ(refused.analyser.kind, AnalyserKind::None);
            EXPECT_EQ(refused.analyser.ports, nullptr);
        }
    }
    test::ManualClock clock;
    const PortChoice simulated = choosePorts({}, clock, [](const char*) { return std::nullopt; });
    EXPECT_EQ(simulated.analyser.kind, AnalyserKind::Simulated);
    EXPECT_NE(dynamic_cast<SimulatedAnalyser*>(simulated.analyser.ports.get()), nullptr);
}

TEST(PortSelection, ABackEndThatCannotBeOpenedIsReportedAndLeavesNoAnalyser) {
    test::ManualClock clock;
    test::FakeUiServices ui;
    const auto directPorts = [](const char* name) -> std::optional<std::string> {
        return std::string_view(name) == "KVANTIRA_PORTS" ? std::optional<std::string>("direct")
                                                          : std::nullopt;
    };
    int openings = 0;
    const auto refuse = [&openings] {
        ++openings;
        return DirectPorts::Opening{nullptr, "no access"};
    };
    const struct {
        std::vector<std::string> arguments;
        std::string detail;
    } refusals[] = {{{"a.hst"}, "no access"},
                    {{"--rate=fast", "a.hst"}, "--rate: rate must"},
                    {{"--rate=1e24", "a.hst"}, "--rate: rate 1e24 is more than an analyser"}};
    for (const auto& c : refusals) {
        ui.messages.clear();
        const PortChoice choice = startAnalyser(c.arguments, clock, ui, directPorts, refuse);
        EXPECT_EQ(choice.analyser.kind, AnalyserKind::None);
        EXPECT_EQ(choice.analyser.ports, nullptr);
        EXPECT_EQ(choice.remaining, std::vector<std::string>{"a.hst"});
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, StringId::AnalyserUnavailable);
        EXPECT_EQ(ui.messages[0].caption, StringId::BadNews);
        EXPECT_TRUE(ui.messages[0].detail.starts_with(c.detail)) << ui.messages[0].detail;
    }
    EXPECT_EQ(openings, 1); // an option not understood opens nothing

    // The command line overrides the environment; the simulator opens without a word.
    ui.messages.clear();
    const std::vector<std::string> arguments{"--ports=simulated"};
    const PortChoice simulated = startAnalyser(arguments, clock, ui, directPorts, refuse);
    EXPECT_EQ(simulated.analyser.kind, AnalyserKind::Simulated);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(openings, 1);
}

} // namespace
} // namespace kv

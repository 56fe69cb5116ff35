#include "acquisition/analyser_port.h"

#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

namespace kv {
namespace {

using namespace std::chrono_literals;

struct Access {
    bool write = false;
    std::uint16_t port = 0;
    std::uint8_t value = 0;
    bool operator==(const Access&) const = default;
};
constexpr auto w = [](std::uint16_t p, std::uint8_t v) { return Access{true, p, v}; };
constexpr auto r = [](std::uint16_t p, std::uint8_t v) { return Access{false, p, v}; };

// Records every access with its time on the clock and serves scripted reads (0 once the script
// is used up).
class RecordingPorts : public PortIo {
public:
    test::ManualClock clock;
    std::vector<Access> log;
    std::vector<std::chrono::nanoseconds> times;
    std::deque<std::uint8_t> script;

    void writePort(std::uint16_t port, std::uint8_t value) override { note(w(port, value)); }
    std::uint8_t readPort(std::uint16_t port) override {
        const std::uint8_t value = script.empty() ? 0 : script.front();
        if (!script.empty()) {
            script.pop_front();
        }
        return note(r(port, value)), value;
    }

private:
    void note(Access a) { log.push_back(a), times.push_back(clock.now()); }
};

TEST(AnalyserPort, CommandByteFromModeSettings) {
    const struct {
        int gating, coincidence, internal, memory, interrupt;
        std::uint8_t expected;
    } cases[] = {{1, 1, 1, 0, 0, 0x2B}, {1, 1, 0, 0, 0, 0x0B}, {0, 0, 0, 0, 0, 0x01},
                 {2, 0, 0, 0, 0, 0x15}, {2, 1, 0, 0, 1, 0x97}, {0, 0, 0, 1, 0, 0x41}};
    EXPECT_EQ(commandByte(AnalyserSettings{}), 0x0B);
    for (const auto& c : cases) {
        AnalyserSettings settings;
        settings.gatingMode = c.gating;
        settings.coincidenceMode = c.coincidence;
        settings.internalGating = c.internal;
        settings.memoryMode = c.memory;
        settings.interruptMode = c.interrupt;
        EXPECT_EQ(commandByte(settings), c.expected) << "gating " << c.gating;
    }
}

TEST(AnalyserPort, StartCountingClearsMemoryThenSetsThresholdAndCommand) {
    AnalyserSettings settings;
    settings.portBaseIndex = 7;
    settings.threshold = 300; // only the low byte, 44, reaches the register
    settings.internalGating = 1;
    RecordingPorts io;
    startCounting(io, portBase(settings), static_cast<std::uint8_t>(settings.threshold),
                  commandByte(settings));

    std::vector<Access> expected(kAnalyserMemoryBytes + 3, w(0x370, 0));
    expected.front() = w(0x371, 0);
    expected[kAnalyserMemoryBytes + 1] = w(0x372, 44);
    expected.back() = w(0x371, 0x2B);
    EXPECT_TRUE(io.log == expected); // 8195 accesses: no dump on a mismatch
}

TEST(AnalyserPort, FreezeWaitsBetweenItsTwoStopsAndResumeAndGateWriteControl) {
    RecordingPorts io;
    freezeCounting(io, io.clock, 0x300);
    softwareGatePulse(io, 0x300);
    resumeCounting(io, 0x300, 0x15);
    EXPECT_EQ(io.log, (std::vector{w(0x301, 0), w(0x301, 0), w(0x301, 0x13), w(0x301, 0x15)}));
    EXPECT_EQ(io.times[1] - io.times[0], 1ms);
}

TEST(AnalyserPort, ReadSpectrumAssemblesLittleEndianSignedCounts) {
    RecordingPorts io;
    io.script = {0x34, 0x12, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01};
    std::vector<std::int32_t> counts(kAnalyserChannels, 99);
    readSpectrum(io, 0x320, counts);

    EXPECT_EQ(std::vector(counts.begin(), counts.begin() + 4),
              (std::vector<std::int32_t>{4660, -1, 1 << 24, 0}));
    ASSERT_EQ(io.log.size(), std::size_t{kAnalyserMemoryBytes});
    EXPECT_TRUE(std::all_of(io.log.begin(), io.log.end(),
                            [](const Access& a) { return !a.write && a.port == 0x320; }));
}

TEST(AnalyserPort, MemoryTransferWritesWordsThenReadsThemBackStopped) {
    RecordingPorts io;
    io.script = {0x01, 0x02, 0x03, 0x04, 0xD0, 0xC0, 0xB0, 0xA0};
    const std::vector<std::uint32_t> words{0x04030201, 0xA0B0C0D0};
    EXPECT_EQ(writeAndReadMemory(io, 0x300, words), words);

    std::vector<Access> expected{w(0x301, 0)};
    for (const bool write : {true, false}) {
        for (const std::uint8_t b : {0x01, 0x02, 0x03, 0x04, 0xD0, 0xC0, 0xB0, 0xA0}) {
            expected.push_back({write, 0x300, b});
        }
        if (write) {
            expected.push_back(w(0x301, 0));
        }
    }
    EXPECT_EQ(io.log, expected);
}

TEST(AnalyserPort, WaitForEdgeNeedsBothPhasesAndStopsOnAbortBeforeReading) {
    // Bit 7 is all that counts: the other bits of the status byte vary freely.
    const std::pair<Edge, std::deque<std::uint8_t>> cases[] = {
        {Edge::Rising, {0x80, 0xFF, 0x7F, 0x00, 0x80}},
        {Edge::Falling, {0x00, 0x7F, 0x80, 0xFF, 0x7F}},
        {Edge::Rising, {0x00, 0x80}}};
    for (const auto& [edge, script] : cases) {
        RecordingPorts io;
        io.script = script;
        std::atomic<std::uint8_t> abort{0};
        EXPECT_TRUE(waitForEdge(io, io.clock, 0x279, edge, abort));
        EXPECT_EQ(io.log.size(), script.size()); // read up to the edge, not past it
        EXPECT_EQ(io.log.back(), r(0x279, script.back()));
        // One poll interval between reads that did not show the wanted level, none after it.
        EXPECT_EQ(io.clock.now(), (static_cast<int>(script.size()) - 2) * kPollInterval);
    }
    RecordingPorts io;
    std::atomic<std::uint8_t> abort{1};
    EXPECT_FALSE(waitForEdge(io, io.clock, 0x3BD, Edge::Falling, abort));
    EXPECT_TRUE(io.log.empty());
}

TEST(AnalyserPort, WaitForTicksEndsOnTheDueTickAcrossTheCounterWrapOrAtAnAbort) {
    test::ManualClock clock(test::beforeTickWrap(3ms) + 400us);
    std::atomic<std::uint8_t> abort{0};
    const std::uint32_t from = tickMilliseconds(clock);
    EXPECT_EQ(waitForTicks(clock, from, 10, abort), 7u); // 2^32 - 3 + 10
    EXPECT_EQ(tickMilliseconds(clock), 7u);

    clock.after(4ms, [&abort] { abort = 1; });
    EXPECT_EQ(waitForTicks(clock, 7, 1000, abort), 11u);
}

} // namespace
} // namespace kv

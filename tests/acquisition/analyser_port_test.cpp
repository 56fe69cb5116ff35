#include "acquisition/analyser_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <vector>

namespace kv {
namespace {

struct Access {
    bool write = false;
    std::uint16_t port = 0;
    std::uint8_t value = 0;

    bool operator==(const Access&) const = default;
};

Access w(std::uint16_t port, std::uint8_t value) {
    return {true, port, value};
}
Access r(std::uint16_t port, std::uint8_t value) {
    return {false, port, value};
}

// Records every access with its time and serves scripted reads (0 once the script is used up).
class RecordingPorts : public PortIo {
public:
    std::vector<Access> log;
    std::vector<std::chrono::steady_clock::time_point> times;
    std::deque<std::uint8_t> script;

    void writePort(std::uint16_t port, std::uint8_t value) override { note(w(port, value)); }
    std::uint8_t readPort(std::uint16_t port) override {
        const std::uint8_t value = script.empty() ? 0 : script.front();
        if (!script.empty()) {
            script.pop_front();
        }
        note(r(port, value));
        return value;
    }

private:
    void note(Access access) {
        log.push_back(access);
        times.push_back(std::chrono::steady_clock::now());
    }
};

TEST(AnalyserPort, CommandByteFromModeSettings) {
    struct Case {
        int gating, coincidence, internal, memory, interrupt;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {1, 1, 1, 0, 0, 0x2B}, // the defaults after a confirmation of the mode dialog
        {1, 1, 0, 0, 0, 0x0B}, // the defaults before one
        {0, 0, 0, 0, 0, 0x01}, {2, 0, 0, 0, 0, 0x15}, {2, 1, 0, 0, 1, 0x97}, {0, 0, 0, 1, 0, 0x41},
    };
    EXPECT_EQ(commandByte(AppConfig{}), 0x0B);
    for (const Case& c : cases) {
        AppConfig config;
        config.gatingMode = c.gating;
        config.coincidenceMode = c.coincidence;
        config.internalGating = c.internal;
        config.memoryMode = c.memory;
        config.interruptMode = c.interrupt;
        EXPECT_EQ(commandByte(config), c.expected) << "gating " << c.gating;
    }
}

TEST(AnalyserPort, StartCountingClearsMemoryThenSetsThresholdAndCommand) {
    AppConfig config;
    config.portBaseIndex = 7;
    config.threshold = 300; // only the low byte, 44, reaches the register
    config.internalGating = 1;
    RecordingPorts io;
    startCounting(io, portBase(config), static_cast<std::uint8_t>(config.threshold),
                  commandByte(config));

    ASSERT_EQ(io.log.size(), 3u + kAnalyserMemoryBytes);
    EXPECT_EQ(io.log.front(), w(0x371, 0));
    for (int i = 1; i <= kAnalyserMemoryBytes; ++i) {
        ASSERT_EQ(io.log[static_cast<std::size_t>(i)], w(0x370, 0)) << i;
    }
    EXPECT_EQ(io.log[kAnalyserMemoryBytes + 1], w(0x372, 44));
    EXPECT_EQ(io.log.back(), w(0x371, 0x2B));
}

TEST(AnalyserPort, FreezeWaitsBetweenItsTwoStopsAndResumeAndGateWriteControl) {
    RecordingPorts io;
    freezeCounting(io, 0x300);
    softwareGatePulse(io, 0x300);
    resumeCounting(io, 0x300, 0x15);
    EXPECT_EQ(io.log, (std::vector{w(0x301, 0), w(0x301, 0), w(0x301, 0x13), w(0x301, 0x15)}));
    EXPECT_GE(io.times[1] - io.times[0], std::chrono::milliseconds(1));
}

TEST(AnalyserPort, ReadSpectrumAssemblesLittleEndianSignedCounts) {
    RecordingPorts io;
    io.script = {0x34, 0x12, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01};
    std::vector<std::int32_t> counts(kAnalyserChannels, 99);
    readSpectrum(io, 0x320, counts);

    EXPECT_EQ(counts[0], 4660);
    EXPECT_EQ(counts[1], -1);
    EXPECT_EQ(counts[2], 1 << 24);
    EXPECT_EQ(counts[3], 0);
    ASSERT_EQ(io.log.size(), std::size_t{kAnalyserMemoryBytes});
    for (const Access& access : io.log) {
        ASSERT_FALSE(access.write);
        ASSERT_EQ(access.port, 0x320);
    }
}

TEST(AnalyserPort, MemoryTransferWritesWordsThenReadsThemBackStopped) {
    RecordingPorts io;
    io.script = {0x01, 0x02, 0x03, 0x04, 0xD0, 0xC0, 0xB0, 0xA0};
    const std::vector<std::uint32_t> words{0x04030201, 0xA0B0C0D0};
    EXPECT_EQ(writeAndReadMemory(io, 0x300, words), words);

    const std::vector<Access> expected{
        w(0x301, 0),    w(0x300, 0x01), w(0x300, 0x02), w(0x300, 0x03), w(0x300, 0x04),
        w(0x300, 0xD0), w(0x300, 0xC0), w(0x300, 0xB0), w(0x300, 0xA0), w(0x301, 0),
        r(0x300, 0x01), r(0x300, 0x02), r(0x300, 0x03), r(0x300, 0x04), r(0x300, 0xD0),
        r(0x300, 0xC0), r(0x300, 0xB0), r(0x300, 0xA0)};
    EXPECT_EQ(io.log, expected);
}

TEST(AnalyserPort, WaitForEdgeNeedsBothPhasesAndStopsOnAbortBeforeReading) {
    struct Case {
        Edge edge;
        std::deque<std::uint8_t> script;
        std::size_t reads;
    };
    // Bit 7 is all that counts: the other bits of the status byte vary freely.
    const Case cases[] = {
        {Edge::Rising, {0x80, 0xFF, 0x7F, 0x00, 0x80}, 5},
        {Edge::Falling, {0x00, 0x7F, 0x80, 0xFF, 0x7F}, 5},
        {Edge::Rising, {0x00, 0x80}, 2},
    };
    for (const Case& c : cases) {
        RecordingPorts io;
        io.script = c.script;
        std::atomic<std::uint8_t> abort{0};
        EXPECT_TRUE(waitForEdge(io, 0x279, c.edge, abort));
        EXPECT_EQ(io.log.size(), c.reads);
        EXPECT_EQ(io.log.back(), r(0x279, c.script.back()));
    }
    RecordingPorts io;
    std::atomic<std::uint8_t> abort{1};
    EXPECT_FALSE(waitForEdge(io, 0x3BD, Edge::Falling, abort));
    EXPECT_TRUE(io.log.empty());
}

} // namespace
} // namespace kv

#include "acquisition/analyser_port.h"

#include <algorithm>

namespace kv {

std::uint16_t portBase(const AnalyserSettings& settings) {
    return static_cast<std::uint16_t>(0x300 + 16 * settings.portBaseIndex);
}

std::uint8_t commandByte(const AnalyserSettings& settings) {
    std::uint8_t command = 1;
    if (settings.coincidenceMode == 1) {
        command += 2;
    }
    if (settings.gatingMode == 2) {
        command += 4;
    }
    // Bits 3 and 4 are the gating mode itself (1 internal, 2 software), in 8-bit arithmetic.
    command = static_cast<std::uint8_t>(command + settings.gatingMode * 8);
    if (settings.internalGating == 1) {
        command += 32;
    }
    if (settings.memoryMode == 1) {
        command += 64;
    }
    if (settings.interruptMode == 1) {
        command += 128;
    }
    return command;
}

void startCounting(PortIo& io, std::uint16_t base, std::uint8_t threshold, std::uint8_t command) {
    io.writePort(base + kControlOffset, 0);
    for (int i = 0; i < kAnalyserMemoryBytes; ++i) {
        io.writePort(base + kDataOffset, 0);
    }
    io.writePort(base + kThresholdOffset, threshold);
    io.writePort(base + kControlOffset, command);
}

void freezeCounting(PortIo& io, Clock& clock, std::uint16_t base) {
    io.writePort(base + kControlOffset, 0);
    clock.waitFor(std::chrono::milliseconds(1));
    io.writePort(base + kControlOffset, 0);
}

namespace {

std::uint32_t readWord(PortIo& io, std::uint16_t dataPort) {
    std::uint32_t word = 0;
    for (int k = 0; k < 4; ++k) {
        word |= std::uint32_t{io.readPort(dataPort)} << (8 * k);
    }
    return word;
}

} // namespace

void readSpectrum(PortIo& io, std::uint16_t base, std::span<std::int32_t> counts) {
    for (std::int32_t& count : counts.first(kAnalyserChannels)) {
        count = static_cast<std::int32_t>(readWord(io, base + kDataOffset));
    }
}

void resumeCounting(PortIo& io, std::uint16_t base, std::uint8_t command) {
    io.writePort(base + kControlOffset, command);
}

void softwareGatePulse(PortIo& io, std::uint16_t base) {
    io.writePort(base + kControlOffset, kSoftwareGateByte);
}

std::vector<std::uint32_t> writeAndReadMemory(PortIo& io, std::uint16_t base,
                                              std::span<const std::uint32_t> words) {
    io.writePort(base + kControlOffset, 0);
    for (const std::uint32_t word : words) {
        for (int k = 0; k < 4; ++k) {
            io.writePort(base + kDataOffset, static_cast<std::uint8_t>(word >> (8 * k)));
        }
    }
    io.writePort(base + kControlOffset, 0);
    std::vector<std::uint32_t> back(words.size());
    for (std::uint32_t& word : back) {
        word = readWord(io, base + kDataOffset);
    }
    return back;
}

bool waitForEdge(PortIo& io, Clock& clock, std::uint16_t statusPort, Edge edge,
                 const std::atomic<std::uint8_t>& abort) {
    const bool risingFirst = edge == Edge::Rising;
    for (const bool wantSet : {!risingFirst, risingFirst}) {
        for (;;) {
            if (abort.load() != 0) {
                return false;
            }
            if (((io.readPort(statusPort) & kTriggerBit) != 0) == wantSet) {
                break;
            }
            clock.waitFor(kPollInterval);
        }
    }
    return true;
}

void waitForPoll(Clock& clock, std::uint32_t remainingMs) {
    clock.waitFor(
        std::min<std::chrono::nanoseconds>(std::chrono::milliseconds(remainingMs), kPollInterval));
}

std::uint32_t waitForTicks(Clock& clock, std::uint32_t fromTick, std::uint32_t durationMs,
                           const std::atomic<std::uint8_t>& abort) {
    for (;;) {
        // Differences of ticks, so the wait is right across the counter's wrap.
        const std::uint32_t nowTick = tickMilliseconds(clock);
        const std::uint32_t elapsed = nowTick - fromTick;
        if (elapsed >= durationMs || abort.load() != 0) {
            return nowTick;
        }
        waitForPoll(clock, durationMs - elapsed);
    }
}

} // namespace kv

#pragma once

// The analyser front end: an ADC with a 2048-channel histogramming memory on three consecutive
// I/O ports (data, control, threshold) at 0x300 + 16 x index, driven one byte at a time. The
// register map and the fixed port sequences every acquisition operation is made of.
//
//   base + 0  data       write and read: sequential access to the memory, 4 bytes a channel,
//                        least significant first; a control write of 0 resets it to byte 0
//   base + 1  control    write: 0 stops, the command byte counts, 0x13 is the software gate
//   base + 2  threshold  write: the low byte of the threshold setting

#include "acquisition/port_io.h"
#include "model/settings.h"
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

inline constexpr int kAnalyserChannels = 2048;
inline constexpr int kAnalyserMemoryBytes = 4 * kAnalyserChannels;
inline constexpr std::uint8_t kSoftwareGateByte = 0x13;

inline constexpr std::uint16_t kDataOffset = 0;
inline constexpr std::uint16_t kControlOffset = 1;
inline constexpr std::uint16_t kThresholdOffset = 2;

// Status ports of the printer ports whose bit 7 is the external start line: LPT1, LPT2, LPT3.
inline constexpr std::uint16_t kTriggerStatusPorts[3] = {0x3BD, 0x379, 0x279};
inline constexpr std::uint8_t kTriggerBit = 0x80;

// How often a worker looks at its flags, the tick counter or a trigger line while it waits:
// often enough that a stop follows the end of an exposure, an abort or an edge within the
// tick counter's resolution, and the software gate is fed well within its hold time.
inline constexpr std::chrono::milliseconds kPollInterval{1};

// 0x300 + 16 x portBaseIndex, the index read as the signed byte it is stored as.
std::uint16_t portBase(const AnalyserSettings& settings);

// The command byte of a run, from the mode settings of the moment it starts.
std::uint8_t commandByte(const AnalyserSettings& settings);

// S1: stop, clear all 8192 memory bytes, set the threshold, start with command.
void startCounting(PortIo& io, std::uint16_t base, std::uint8_t threshold, std::uint8_t command);

// S2: stop, wait 1 ms on the clock, stop again, so the memory is settled before a read-out.
void freezeCounting(PortIo& io, Clock& clock, std::uint16_t base);

// S3: reads the 2048 channels into counts (which must hold 2048), each from four data reads,
// least significant byte first.
void readSpectrum(PortIo& io, std::uint16_t base, std::span<std::int32_t> counts);

// After an interim read-out: counting goes on without a clear.
void resumeCounting(PortIo& io, std::uint16_t base, std::uint8_t command);

// S4: one software-gate pulse.
void softwareGatePulse(PortIo& io, std::uint16_t base);

// S5: writes the words into the memory from channel 0 on, then reads as many back. The analyser
// stays stopped.
std::vector<std::uint32_t> writeAndReadMemory(PortIo& io, std::uint16_t base,
                                              std::span<const std::uint32_t> words);

enum class Edge { Rising, Falling };

// S6: waits on bit 7 of statusPort for the edge (rising: first 0, then 1; falling: first 1,
// then 0), checking abort before every read and reading every kPollInterval of the clock. True
// when the edge came, false when aborted.
bool waitForEdge(PortIo& io, Clock& clock, std::uint16_t statusPort, Edge edge,
                 const std::atomic<std::uint8_t>& abort);

// One wait between two looks of a worker: kPollInterval, or remainingMs when that is shorter,
// so the look after it falls on the due tick.
void waitForPoll(Clock& clock, std::uint32_t remainingMs);

// Waits until durationMs of the tick counter have passed since fromTick or abort is set,
// looking every kPollInterval. Returns the last tick read.
std::uint32_t waitForTicks(Clock& clock, std::uint32_t fromTick, std::uint32_t durationMs,
                           const std::atomic<std::uint8_t>& abort);

} // namespace kv

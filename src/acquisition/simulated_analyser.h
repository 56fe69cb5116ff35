#pragma once

// The analyser in software, the default PortIo: the register map at every one of the eight base
// addresses (so whichever address the mode dialog holds finds it), the sequential 8192-byte
// memory, the threshold register, and the three printer-port status registers with their
// trigger bit 7. While a command byte stands in the control register it accumulates the
// spectrum of spectrum_model.h at the configured rate (at most kMaxCountsPerSecond): events for
// the time elapsed on its clock are drawn whenever a port is touched, in batches, so no thread
// runs behind it. On the real clock it counts in real time; on a test's clock, in whatever time
// the test lets pass. Channels below 8 x threshold record nothing.
//
// With software gating (command bit 2) it counts only for kSoftwareGateHold after each 0x13
// pulse. Reads of the write-only registers and of other ports give the open bus, 0xFF.
//
// Port calls come from one thread at a time (the protocol's rule). The trigger setters may be
// called from any thread while a worker polls the status registers; fault injection only while
// no other thread drives the ports.

#include "acquisition/analyser_port.h"
#include "acquisition/spectrum_model.h"
#include "platform/clock.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kv {

inline constexpr std::chrono::milliseconds kSoftwareGateHold{10};

class SimulatedAnalyser final : public PortIo {
public:
    // The clock must outlive the analyser.
    explicit SimulatedAnalyser(const Clock& clock, const SimulationOptions& options = {});

    void writePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t readPort(std::uint16_t port) override;

    // Reads of memory byte byteAddress (0-8191) come back with the bits of stuckAtZero cleared
    // and those of stuckAtOne set. Out-of-range addresses are ignored.
    void injectStuckBits(int byteAddress, std::uint8_t stuckAtZero, std::uint8_t stuckAtOne);
    // A channel (0-2047) whose cells hold nothing: its four bytes read as the open bus, 0xFF.
    void injectDeadChannel(int channel);
    void clearFaults();

    // Bit 7 of printer port printerPort's status register (0 = LPT1 at 0x3BD, 1 = LPT2 at 0x379,
    // 2 = LPT3 at 0x279): held at a level, or from now on repeating setFor at 1 and clearFor
    // at 0 (a cyclic series' start and stop line). Other indexes are ignored.
    void setTriggerBit(int printerPort, bool set);
    void setTriggerPattern(int printerPort, std::chrono::nanoseconds setFor,
                           std::chrono::nanoseconds clearFor);

private:
    using Time = std::chrono::nanoseconds; // a reading of m_clock

    // SplitMix64 (Steele, Lea and Flood, 2014): a small, fast generator; a uniform random bit
    // generator for the standard distributions.
    class Random {
    public:
        using result_type = std::uint64_t;
        static constexpr result_type min() { return 0; }
        static constexpr result_type max() { return ~result_type{0}; }
        result_type operator()();

    private:
        std::uint64_t m_state = 0x4b76616e74697261;
    };

    struct TriggerLine {
        bool level = false;
        std::chrono::nanoseconds setFor{};
        std::chrono::nanoseconds clearFor{};
        Time epoch{};
    };

    void writeControl(std::uint8_t value, Time now);
    // Adds the live time up to now to the pending time, and draws the pending events once they
    // make a batch (or always, when forced).
    void advance(Time now, bool force);
    void drawEvents(double liveSeconds);
    std::uint8_t readTrigger(int printerPort);

    // Walker's alias method (Vose's construction): one random word per event.
    std::vector<double> m_shape;
    std::vector<double> m_aliasChance;
    std::vector<std::uint16_t> m_alias;
    double m_countsPerSecond = 0.0;
    Random m_random;
    const Clock& m_clock;

    std::array<std::uint32_t, kAnalyserChannels> m_memory{};
    std::array<std::uint8_t, kAnalyserMemoryBytes> m_stuckAtZero{};
    std::array<std::uint8_t, kAnalyserMemoryBytes> m_stuckAtOne{};
    int m_address = 0;
    std::uint8_t m_threshold = 0;

    bool m_counting = false;
    bool m_softwareGated = false;
    Time m_accountedUntil{};
    Time m_gateOpenUntil{};
    std::chrono::nanoseconds m_pendingLive{};

    std::mutex m_triggerMutex;
    std::array<TriggerLine, 3> m_triggers{};
};

} // namespace kv

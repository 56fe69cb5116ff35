#include "acquisition/simulated_analyser.h"

#include <algorithm>
#include <cstddef>
#include <random>

namespace kv {

namespace {

constexpr std::uint16_t kFirstBase = 0x300;
constexpr std::uint16_t kLastBase = 0x370;
constexpr std::uint8_t kOpenBus = 0xFF;
constexpr std::uint8_t kSoftwareGateBit = 0x04;
constexpr int kThresholdChannelsPerStep = 8;

// Events are drawn once this much live time has gathered (and at every stop), so that the poll
// loop of a run pays one clock reading per port call and not a random draw.
constexpr std::chrono::milliseconds kBatch{1};
// Up to this many expected events a batch is drawn event by event; above it, as one Poisson
// count per channel, whose cost does not grow with the number of events.
constexpr double kEventByEventLimit = 4.0 * kAnalyserChannels;

// The offset of an analyser register (0-2) at any of the eight bases, or -1.
int registerOffset(std::uint16_t port) {
    const int offset = port & 0xF;
    const bool ours = port >= kFirstBase && port <= kLastBase + kThresholdOffset && offset <= 2;
    return ours ? offset : -1;
}

int printerPortOf(std::uint16_t port) {
    for (int i = 0; i < 3; ++i) {
        if (port == kTriggerStatusPorts[i]) {
            return i;
        }
    }
    return -1;
}

} // namespace

SimulatedAnalyser::Random::result_type SimulatedAnalyser::Random::operator()() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
}

SimulatedAnalyser::SimulatedAnalyser(const Clock& clock, const SimulationOptions& options)
    : m_shape(spectrumShape(options.sources, options.detector)),
      m_aliasChance(kAnalyserChannels, 1.0), m_alias(kAnalyserChannels), m_clock(clock) {
    const bool anything =
        std::any_of(m_shape.begin(), m_shape.end(), [](double s) { return s > 0; });
    // Options set in code bypass the parser's refusal: a rate beyond what an analyser records
    // is taken at that limit, so every draw of events stays bounded.
    const double rate = options.countsPerSecond;
    m_countsPerSecond = anything && rate > 0.0 ? std::min(rate, kMaxCountsPerSecond) : 0.0;

    // Vose's construction: every channel's column of height 1 holds its own share and tops up
    // from one channel with more than its share.
    std::vector<double> scaled(m_shape.size());
    std::vector<std::uint16_t> small;
    std::vector<std::uint16_t> large;
    for (std::size_t c = 0; c < m_shape.size(); ++c) {
        m_alias[c] = static_cast<std::uint16_t>(c);
        scaled[c] = m_shape[c] * kAnalyserChannels;
        (scaled[c] < 1.0 ? small : large).push_back(static_cast<std::uint16_t>(c));
    }
    while (!small.empty() && !large.empty()) {
        const std::uint16_t less = small.back();
        const std::uint16_t more = large.back();
        small.pop_back();
        large.pop_back();
        m_aliasChance[less] = scaled[less];
        m_alias[less] = more;
        scaled[more] += scaled[less] - 1.0;
        (scaled[more] < 1.0 ? small : large).push_back(more);
    }
}

void SimulatedAnalyser::writePort(std::uint16_t port, std::uint8_t value) {
    switch (registerOffset(port)) {
    case kDataOffset: {
        if (m_counting) {
            advance(m_clock.now(), false);
        }
        const int shift = 8 * (m_address & 3);
        std::uint32_t& word = m_memory[static_cast<std::size_t>(m_address >> 2)];
        word = (word & ~(0xFFu << shift)) | (std::uint32_t{value} << shift);
        m_address = (m_address + 1) % kAnalyserMemoryBytes;
        break;
    }
    case kControlOffset:
        writeControl(value, m_clock.now());
        break;
    case kThresholdOffset:
        if (m_counting) {
            advance(m_clock.now(), true);
        }
        m_threshold = value;
        break;
    default:
        break;
    }
}

std::uint8_t SimulatedAnalyser::readPort(std::uint16_t port) {
    if (const int printerPort = printerPortOf(port); printerPort >= 0) {
        return readTrigger(printerPort);
    }
    if (registerOffset(port) != kDataOffset) {
        return kOpenBus;
    }
    if (m_counting) {
        advance(m_clock.now(), false);
    }
    const auto address = static_cast<std::size_t>(m_address);
    const auto stored = static_cast<std::uint8_t>(m_memory[address >> 2] >> (8 * (address & 3)));
    m_address = (m_address + 1) % kAnalyserMemoryBytes;
    return static_cast<std::uint8_t>((stored & ~m_stuckAtZero[address]) | m_stuckAtOne[address]);
}

void SimulatedAnalyser::writeControl(std::uint8_t value, Time now) {
    if (m_counting) {
        advance(now, value == 0);
    }
    if (value == 0) {
        m_counting = false;
        m_address = 0;
        return;
    }
    if (value == kSoftwareGateByte) {
        // A pulse opens the gate; while stopped it has nothing to open.
        m_gateOpenUntil = now + kSoftwareGateHold;
        return;
    }
    if (!m_counting) {
        m_counting = true;
        m_accountedUntil = now;
        m_gateOpenUntil = now; // a software-gated run waits for its first pulse
        m_pendingLive = {};
    }
    m_softwareGated = (value & kSoftwareGateBit) != 0;
}

void SimulatedAnalyser::advance(Time now, bool force) {
    const Time liveEnd = m_softwareGated ? std::min(now, m_gateOpenUntil) : now;
    if (liveEnd > m_accountedUntil) {
        m_pendingLive += liveEnd - m_accountedUntil;
    }
    m_accountedUntil = std::max(m_accountedUntil, now);
    if (force || m_pendingLive >= kBatch) {
        drawEvents(std::chrono::duration<double>(m_pendingLive).count());
        m_pendingLive = {};
    }
}

void SimulatedAnalyser::drawEvents(double liveSeconds) {
    const double mean = m_countsPerSecond * liveSeconds;
    if (!(mean > 0.0)) {
        return;
    }
    const std::size_t cut = std::size_t{m_threshold} * kThresholdChannelsPerStep;
    if (mean < kEventByEventLimit) {
        std::poisson_distribution<std::uint64_t> events(mean);
        for (std::uint64_t n = events(m_random); n > 0; --n) {
            // The low 11 bits pick the column, the top 53 the side of its split.
            const std::uint64_t word = m_random();
            const std::size_t column = word & (kAnalyserChannels - 1);
            const double coin = static_cast<double>(word >> 11) * 0x1.0p-53;
            const std::size_t channel = coin < m_aliasChance[column] ? column : m_alias[column];
            if (channel >= cut) {
                ++m_memory[channel];
            }
        }
        return;
    }
    for (std::size_t channel = cut; channel < m_shape.size(); ++channel) {
        if (m_shape[channel] > 0.0) {
            std::poisson_distribution<std::uint64_t> counts(mean * m_shape[channel]);
            m_memory[channel] += static_cast<std::uint32_t>(counts(m_random));
        }
    }
}

void SimulatedAnalyser::injectStuckBits(int byteAddress, std::uint8_t stuckAtZero,
                                        std::uint8_t stuckAtOne) {
    if (byteAddress < 0 || byteAddress >= kAnalyserMemoryBytes) {
        return;
    }
    const auto address = static_cast<std::size_t>(byteAddress);
    m_stuckAtZero[address] |= stuckAtZero;
    m_stuckAtOne[address] |= stuckAtOne;
}

void SimulatedAnalyser::injectDeadChannel(int channel) {
    for (int k = 0; k < 4; ++k) {
        injectStuckBits(4 * channel + k, 0, kOpenBus);
    }
}

void SimulatedAnalyser::clearFaults() {
    m_stuckAtZero.fill(0);
    m_stuckAtOne.fill(0);
}

void SimulatedAnalyser::setTriggerBit(int printerPort, bool set) {
    if (printerPort < 0 || printerPort >= 3) {
        return;
    }
    const std::lock_guard lock(m_triggerMutex);
    m_triggers[static_cast<std::size_t>(printerPort)] = TriggerLine{set, {}, {}, {}};
}

void SimulatedAnalyser::setTriggerPattern(int printerPort, std::chrono::nanoseconds setFor,
                                          std::chrono::nanoseconds clearFor) {
    if (printerPort < 0 || printerPort >= 3) {
        return;
    }
    const std::lock_guard lock(m_triggerMutex);
    m_triggers[static_cast<std::size_t>(printerPort)] =
        TriggerLine{.level = false,
                    .setFor = std::max(setFor, std::chrono::nanoseconds{}),
                    .clearFor = std::max(clearFor, std::chrono::nanoseconds{}),
                    .epoch = m_clock.now()};
}

std::uint8_t SimulatedAnalyser::readTrigger(int printerPort) {
    const std::lock_guard lock(m_triggerMutex);
    const TriggerLine& line = m_triggers[static_cast<std::size_t>(printerPort)];
    bool level = line.level;
    if (const std::chrono::nanoseconds period = line.setFor + line.clearFor; period.count() > 0) {
        level = (m_clock.now() - line.epoch) % period < line.setFor;
    }
    // The other status lines idle high.
    return level ? kOpenBus : static_cast<std::uint8_t>(kOpenBus & ~kTriggerBit);
}

} // namespace kv

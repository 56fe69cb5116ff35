#include "acquisition/direct_ports.h"

#include "acquisition/analyser_port.h"
#include "platform/x86_ports.h"

#include <algorithm>
#include <iterator>

namespace kv {

namespace {

constexpr std::uint16_t kFirstBase = 0x300;
constexpr std::uint16_t kBaseRange = 0x73; // 0x300 to 0x372: three registers at each base

bool granted(std::uint16_t port) {
    const bool analyser =
        port >= kFirstBase && port < kFirstBase + kBaseRange && (port & 0xF) <= kThresholdOffset;
    return analyser || std::find(std::begin(kTriggerStatusPorts), std::end(kTriggerStatusPorts),
                                 port) != std::end(kTriggerStatusPorts);
}

} // namespace

DirectPorts::Opening DirectPorts::open() {
    PortAccessOutcome access = requestPortAccess(kFirstBase, kBaseRange);
    for (const std::uint16_t port : kTriggerStatusPorts) {
        if (access.granted) {
            access = requestPortAccess(port, 1);
        }
    }
    if (!access.granted) {
        return {nullptr, access.reason};
    }
    return {std::unique_ptr<DirectPorts>(new DirectPorts), {}};
}

void DirectPorts::writePort(std::uint16_t port, std::uint8_t value) {
    if (granted(port)) {
        outByte(port, value);
    }
}

std::uint8_t DirectPorts::readPort(std::uint16_t port) {
    return granted(port) ? inByte(port) : std::uint8_t{0xFF};
}

} // namespace kv

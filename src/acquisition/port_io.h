#pragma once

// Single-byte I/O port access, the analyser's only interface. The simulated analyser is the
// default; DirectPorts reaches real hardware.

#include <cstdint>

namespace kv {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual void writePort(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t readPort(std::uint16_t port) = 0;
};

} // namespace kv

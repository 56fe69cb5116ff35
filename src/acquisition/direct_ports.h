#pragma once

// The analyser and the printer-port status registers reached through the x86 I/O ports
// themselves (Linux x86, root or CAP_SYS_RAWIO).

#include "acquisition/port_io.h"

#include <memory>
#include <string>

namespace kv {

class DirectPorts final : public PortIo {
public:
    struct Opening {
        std::unique_ptr<PortIo> ports; // the direct ports; null when access was refused
        std::string error;
    };

    // Asks for the registers of all eight analyser bases and the three status registers.
    static Opening open();

    // Ports outside those granted are not touched (an ungranted access would kill the
    // process): writes are dropped and reads give the open bus, 0xFF.
    void writePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t readPort(std::uint16_t port) override;

private:
    DirectPorts() = default;
};

} // namespace kv

#pragma once

// Direct single-byte x86 I/O port access for real analyser hardware. On Linux x86 the kernel
// must first grant the port range to the process (ioperm), which needs root or
// CAP_SYS_RAWIO; elsewhere access is never granted.

#include <cstdint>
#include <string>

namespace kv {

struct PortAccessOutcome {
    bool granted = false;
    std::string reason; // why not, when not granted
};

// Asks for count ports from first on (first + count <= 0x400, the range ioperm serves).
PortAccessOutcome requestPortAccess(std::uint16_t first, std::uint16_t count);

// Only for ports granted by requestPortAccess: any other port faults the process.
void outByte(std::uint16_t port, std::uint8_t value);
std::uint8_t inByte(std::uint16_t port);

} // namespace kv

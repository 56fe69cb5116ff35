#include "platform/x86_ports.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define KV_HAS_X86_PORTS 1
#include <sys/io.h>

#include <cerrno>
#include <system_error>
#endif

namespace kv {

#ifdef KV_HAS_X86_PORTS

PortAccessOutcome requestPortAccess(std::uint16_t first, std::uint16_t count) {
    if (::ioperm(first, count, 1) == 0) {
        return {true, {}};
    }
    const int error = errno;
    if (error == EPERM) {
        return {false, "direct port access needs root or the CAP_SYS_RAWIO capability"};
    }
    return {false, "ioperm failed: " + std::generic_category().message(error)};
}

void outByte(std::uint16_t port, std::uint8_t value) {
    ::outb(value, port);
}

std::uint8_t inByte(std::uint16_t port) {
    return ::inb(port);
}

#else

PortAccessOutcome requestPortAccess(std::uint16_t, std::uint16_t) {
    return {false, "direct port access is available only on Linux x86"};
}

// Never reached: no port is ever granted here.
void outByte(std::uint16_t, std::uint8_t) {}

std::uint8_t inByte(std::uint16_t) {
    return 0xFF;
}

#endif

} // namespace kv

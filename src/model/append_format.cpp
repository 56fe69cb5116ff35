#include "model/append_format.h"

#include <cstdarg>
#include <cstdio>

namespace kv {

void appendFormat(std::string& out, const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
    }
}

} // namespace kv

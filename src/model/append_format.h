#pragma once

// printf-style appending for the text forms (exports, clipboard texts). Callers run under the C
// numeric locale, so the decimal point is always '.'.

#include <string>

namespace kv {

// Appends the formatted text; a result longer than 63 characters is cut there, which none of
// the numeric formats of the text forms reach.
[[gnu::format(printf, 2, 3)]] void appendFormat(std::string& out, const char* format, ...);

} // namespace kv

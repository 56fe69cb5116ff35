#pragma once

// printf-style text for the text forms (exports, clipboard texts, reports). Callers run under the
// C numeric locale, so the decimal point is always '.'.

#include <string>

namespace kv {

// Appends the formatted text; a result longer than 63 characters is cut there, which none of
// the numeric formats of the text forms reach.
[[gnu::format(printf, 2, 3)]] void appendFormat(std::string& out, const char* format, ...);

// The formatted text, whatever its length ("%f" of a large double takes over 300 characters).
[[gnu::format(printf, 1, 2)]] std::string formatText(const char* format, ...);

// The shortest text that reads back as the same double ("nan" and "inf" for those).
std::string shortestNumberText(double value);

} // namespace kv

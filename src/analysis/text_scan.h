#pragma once

// Reading the plain-text tables users type or paste (isotope lines, efficiency points): lines
// and pairs of numbers, read the way those tables have always been read, in the C locale
// whatever locale the program runs under.

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// The lines of a text, without their ends. Lines end with "\r\n" or a lone "\n"; a last line
// without an end counts, an empty text has no lines.
std::vector<std::string_view> splitLines(std::string_view text);

// True when the line holds nothing but spaces and tabs.
bool isBlankLine(std::string_view line);

// The two numbers at the start of a line, as "%lf%lf" reads them: white space may precede each,
// anything may follow the second. Nothing when either is missing; a number beyond the range of
// a double counts as missing.
std::optional<std::pair<double, double>> scanNumberPair(std::string_view line);

} // namespace kv

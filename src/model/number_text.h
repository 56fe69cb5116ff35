#pragma once

// Numbers in dialog fields: the one rule every settings dialog shares for writing a number into
// a field and reading it back, independent of the process's numeric locale (Qt sets it from the
// environment, and a Russian one would turn the decimal point into a comma).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The characters a field routine writes or reads at most (the original's 20-byte buffer).
inline constexpr std::size_t kFieldNumberChars = 19;

// value formatted by format, one printf conversion of a double such as "%0.2f", always with a
// '.' as the decimal point, cut to kFieldNumberChars characters.
std::string fieldTextFromNumber(const char* format, double value);

// The number at the start of a field's text, read as strtod reads it under the C locale: only the
// first kFieldNumberChars characters count, leading blanks are skipped and the longest numeric
// prefix is taken; text that is not a number gives 0.0. Nothing when the number lies beyond the
// range of a double (overflow, or underflow to a subnormal or zero), so the caller keeps its value.
std::optional<double> numberFromFieldText(std::string_view text);

} // namespace kv

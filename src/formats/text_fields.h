#pragma once

// Locale-free pieces of the text formats' readers: blank-separated fields, numbers as written
// in C (never as the user's locale writes them), dates and 8-bit titles. Lines are split by
// analysis/text_scan.h, as for every other text the program reads.

#include "platform/clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

std::string_view trimmed(std::string_view text);

// The fields of a text separated by blanks, tabs, line ends and the given extra separators.
std::vector<std::string_view> splitFields(std::string_view line, std::string_view extra = {});

// A whole field as a number: optional sign (also '+'), digits, fraction, exponent. Nothing for
// anything else, including a number followed by other characters.
std::optional<double> parseNumber(std::string_view field);

// A whole field as an integer in the int64 range.
std::optional<std::int64_t> parseInteger(std::string_view field);

// Appends the blank- or line-separated counts of text to out. False (out partly filled) at a
// field that is not a count or when out would grow beyond limit values.
bool appendCounts(std::string_view text, std::vector<std::int32_t>& out, std::size_t limit);

// A number of counts as the program stores it: the nearest int32. Nothing for a value that is
// not finite or lies outside the int32 range.
std::optional<std::int32_t> countFrom(double value);

// Numbers written one after another from the start of text, as C's strtod would read them
// ("-1.5E-02 8.0E-01-2.9E-08" is three numbers), until the first thing that is not a number.
std::vector<double> leadingNumbers(std::string_view text);

// A title as UTF-8: text that is valid UTF-8 stays, other 8-bit text is taken as Windows-1251,
// control characters become blanks and the ends are trimmed.
std::string titleText(std::string_view bytes);

// A date and time with its day of the week, or nothing when a field is out of range (month
// 1-12, day 1-31 and within the month, hour 0-23, minute 0-59, second 0-60, year 1601-30827).
std::optional<SystemTime> validTime(int year, int month, int day, int hour, int minute, int second,
                                    int milliseconds = 0);

// The runs of decimal digits in a text, as numbers ("10/11/2013 10:30:10" gives 10, 11, 2013,
// 10, 30, 10); a run too long for an int stops the scan.
std::vector<int> digitGroups(std::string_view text);

// A year written with two digits: 70-99 are 1970-1999, 0-69 are 2000-2069.
int fullYear(int year);

} // namespace kv

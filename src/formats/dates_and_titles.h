#pragma once

// Dates and titles as other analysers' files write them. Their lines, fields and numbers are
// read by the program's one scanner, model/text_scan.h.

#include "platform/clock.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

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

#pragma once

// A histogram as clipboard text: Copy writes one line per channel, "x\ty\r\n", the x by the
// horizontal axis mode (0-based channel index, or energy in keV with two decimals) and the y by
// the vertical one (the count, counts per second rounded to whole numbers, or the fraction of
// the total with three decimals); Paste reads any text whose lines begin with a number and a
// count. Lines end in CR LF both ways; the clipboard layer of the desktop program turns lone LF
// into CR LF before the text gets here.

#include "model/app_config.h"
#include "model/histogram.h"
#include "model/histogram_list.h"
#include "platform/ui_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The text Copy puts on the clipboard for h.
std::string histogramClipboardText(const Histogram& h, const AppConfig& config);

// The counts of pasted text, read as C's sscanf "%f%d" reads a line: blanks (line ends
// included) skipped, a floating-point number that is ignored, blanks, then the count. Lines are
// counted from the start for as long as they read this way and each is followed by a "\r\n";
// the counts of the first channelCount of them are returned (fewer lines leave the remaining
// channels out). Nothing when fewer than 3 lines read, so text with LF line ends alone is
// refused. A count beyond the range of int32 ends the readable lines.
std::optional<std::vector<std::int32_t>> parsePastedCounts(std::string_view text,
                                                           std::int32_t channelCount);

// Command 207: the current histogram's text on the clipboard. Nothing without one.
void copyToClipboard(const HistogramList& list, const AppConfig& config, UiServices& ui);

// Command 209: a new histogram of the list's channel count from the clipboard text, named
// "Без названия", commented "Данные из буфера обмена", 100 s exposure, kind 243 (marked),
// total recounted; channels without a line stay 0. Text that does not read says "Неправильный
// формат данных" and adds nothing. The histogram added, or null.
Histogram* pasteFromClipboard(HistogramList& list, UiServices& ui);

} // namespace kv

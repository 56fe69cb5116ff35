#pragma once

// Text forms of histograms: one column of values per histogram after a first column of channel
// numbers (counted from 1) or energies in keV, by the plot's axis modes. Values follow the
// vertical axis mode: 0 counts, 1 counts per second, any other value percent of the total.
// Lines end in CR LF; names and comments are written as UTF-8.

#include "model/app_config.h"
#include "model/histogram.h"
#include "model/histogram_list.h"

#include <span>
#include <string>
#include <string_view>

namespace kv {

// The path of the file for number n (1-based) of a series of files: "%s%04d%s" with the stem
// and extension of path, the extension being the text from the last '.' that follows every
// directory separator ('/' or '\'). run.txt gives run0001.txt; /old.data/run gives
// /old.data/run0001.
std::string numberedExportPath(std::string_view path, int n);

// One histogram on its own: with exportNames its name and comment lines, then one line per
// channel, "%8d\t" or "%8.2f\t" and "%10.4E".
std::string singleHistogramText(const Histogram& h, const AppConfig& config);

// The histograms at the given list positions side by side: a header line of labels (names, or
// "%10d" with the position + 1, joined by "*\t"), then one line per channel of the list.
std::string oneFileText(const HistogramList& list, std::span<const int> positions,
                        const AppConfig& config);

// The export without dialogs of every listed histogram into config.exportPath as one file,
// replacing it. False when the list is empty or the file could not be written.
bool exportAllToOneFile(const HistogramList& list, const AppConfig& config);

} // namespace kv

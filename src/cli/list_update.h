#pragma once

// The flow of the verbs that add one computed histogram to a file's list and save the list:
// open, make one histogram current, compute, save as OUT or back into the file.

#include "model/app_config.h"
#include "model/histogram_list.h"

#include <functional>
#include <string>

namespace kv::cli {

struct ListUpdate {
    std::string path;
    std::string outPath; // empty: back into path
    int histogram = 1;   // 1-based list position of the histogram made current
    std::string configPath;
};

// Opens the file (with the configuration file when configPath names one), makes its N-th
// histogram current, runs compute, which adds its result to the list and makes it current (or
// refuses after saying why), saves the list and prints the new histogram's list position, name
// and total. The exit status.
int addToList(const ListUpdate& update,
              const std::function<bool(HistogramList&, AppConfig&)>& compute);

} // namespace kv::cli

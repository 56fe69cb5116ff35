#pragma once

// The verbs of kvantira-cli. Each takes the arguments after the verb and returns the process
// exit code: 0 success, 1 usage or I/O error, 2 format error.

#include "model/document.h"

#include <charconv>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace kv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFormat = 2;
inline constexpr int kExitFitFailed = 3;

// True when the arguments ask for the verb's help.
bool wantsHelp(std::span<const std::string_view> args);

// True, after saying so on standard error, when an argument is empty: the arguments of the
// verbs that read files name a file, a number or a word, and an empty one names nothing.
bool refusedEmptyArgument(std::span<const std::string_view> args);

// The exit status of a verb whose arguments ask for its help (printed on standard output: 0),
// did not parse (the help on standard error: 1) or hold an empty one (1); nothing when the verb
// should run.
std::optional<int> helpOrUsageStatus(std::span<const std::string_view> args, std::string_view help,
                                     bool parsed);

// A whole argument as a number of type Number (an integer or a double); nothing when any of it
// is not part of the number.
template <class Number> std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "A:B", two whole numbers, as a pair; nothing when it is not that. The numbers are not checked
// against anything.
std::optional<std::pair<int, int>> parseRange(std::string_view text);

// The exit status of a histogram file that Open could not read whole: 1 when it could not be
// opened, 2 for a format error; 0 when it was read.
int exitStatusOf(ReadOutcome outcome);

int runInfo(std::span<const std::string_view> args);
int runMerge(std::span<const std::string_view> args);
int runPeak(std::span<const std::string_view> args);
int runDb(std::span<const std::string_view> args);
int runSearch(std::span<const std::string_view> args);
int runMeasure(std::span<const std::string_view> args);
int runSeries(std::span<const std::string_view> args);
int runMemtest(std::span<const std::string_view> args);
int runPeaks(std::span<const std::string_view> args);
int runFit(std::span<const std::string_view> args);
int runWindows(std::span<const std::string_view> args);
int runExport(std::span<const std::string_view> args);
int runConvert(std::span<const std::string_view> args);
int runSmooth(std::span<const std::string_view> args);
int runExtract(std::span<const std::string_view> args);
int runArith(std::span<const std::string_view> args);
int runNoise(std::span<const std::string_view> args);
int runCalibrate(std::span<const std::string_view> args);

} // namespace kv::cli

#include "analysis/text_scan.h"

#include <charconv>

namespace kv {

namespace {

constexpr std::string_view kScanfSpace = " \t\n\v\f\r";

// One "%lf" conversion at the front of text; text is advanced past the number read.
std::optional<double> scanNumber(std::string_view& text) {
    const std::size_t start = text.find_first_not_of(kScanfSpace);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(start);
    // from_chars takes no '+', which scanf does.
    const bool plus = text.starts_with('+');
    const char* first = text.data() + (plus ? 1 : 0);
    if (plus && first != text.data() + text.size() && (*first == '-' || *first == '+')) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc{}) {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

} // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::optional<std::pair<double, double>> scanNumberPair(std::string_view line) {
    const std::optional<double> first = scanNumber(line);
    if (!first) {
        return std::nullopt;
    }
    const std::optional<double> second = scanNumber(line);
    if (!second) {
        return std::nullopt;
    }
    return std::pair{*first, *second};
}

} // namespace kv

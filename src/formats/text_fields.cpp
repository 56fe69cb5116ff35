#include "formats/text_fields.h"

#include "model/cp1251.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

namespace kv {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

} // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() &&
           (isBlank(text.front()) || text.front() == '\r' || text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> splitFields(std::string_view line, std::string_view extra) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    const auto separator = [&](char c) {
        return isBlank(c) || c == '\r' || c == '\n' || extra.find(c) != extra.npos;
    };
    while (i < line.size()) {
        while (i < line.size() && separator(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !separator(line[i])) {
            ++i;
        }
        if (i > start) {
            fields.push_back(line.substr(start, i - start));
        }
    }
    return fields;
}

namespace {

// Reads one number at the start of text; the characters used, 0 when there is none.
std::size_t readNumber(std::string_view text, double& value) {
    std::size_t skip = 0;
    if (!text.empty() && text.front() == '+') {
        skip = 1; // from_chars takes only '-'
        if (text.size() > 1 && text[1] == '-') {
            return 0;
        }
    }
    const char* begin = text.data() + skip;
    const auto [end, error] =
        std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end == begin) {
        return 0;
    }
    return static_cast<std::size_t>(end - text.data());
}

} // namespace

std::optional<double> parseNumber(std::string_view field) {
    double value = 0.0;
    if (field.empty() || readNumber(field, value) != field.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> parseInteger(std::string_view field) {
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> countFrom(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

bool appendCounts(std::string_view text, std::vector<std::int32_t>& out, std::size_t limit) {
    const char* p = text.data();
    const char* const end = p + text.size();
    for (;;) {
        while (p != end && (isBlank(*p) || *p == '\r' || *p == '\n')) {
            ++p;
        }
        if (p == end) {
            return true;
        }
        const char* const start = p;
        while (p != end && !isBlank(*p) && *p != '\r' && *p != '\n') {
            ++p;
        }
        if (out.size() >= limit) {
            return false;
        }
        // Counts are nearly always plain integers; anything else goes the slow way.
        std::int32_t count = 0;
        const auto [used, error] = std::from_chars(start, p, count);
        if (error == std::errc() && used == p) {
            out.push_back(count);
            continue;
        }
        const auto number =
            parseNumber(std::string_view(start, static_cast<std::size_t>(p - start)));
        const auto rounded = number ? countFrom(*number) : std::nullopt;
        if (!rounded) {
            return false;
        }
        out.push_back(*rounded);
    }
}

std::vector<double> leadingNumbers(std::string_view text) {
    std::vector<double> numbers;
    for (;;) {
        while (!text.empty() && isBlank(text.front())) {
            text.remove_prefix(1);
        }
        double value = 0.0;
        const std::size_t used = readNumber(text, value);
        if (used == 0 || !std::isfinite(value)) {
            return numbers;
        }
        numbers.push_back(value);
        text.remove_prefix(used);
    }
}

namespace {

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80         ? 1
                                   : (c >> 5) == 6  ? 2
                                   : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30 ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace

std::string titleText(std::string_view bytes) {
    std::string text = isValidUtf8(bytes) ? std::string(bytes) : utf8FromCp1251(bytes);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return std::string(trimmed(text));
}

std::optional<SystemTime> validTime(int year, int month, int day, int hour, int minute, int second,
                                    int milliseconds) {
    using namespace std::chrono;
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60 || milliseconds < 0 ||
        milliseconds > 999) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                              std::chrono::day(day)};
    if (!date.ok()) {
        return std::nullopt;
    }
    SystemTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.dayOfWeek = static_cast<std::uint16_t>(weekday(sys_days(date)).c_encoding());
    t.day = static_cast<std::uint16_t>(day);
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    t.second = static_cast<std::uint16_t>(second);
    t.milliseconds = static_cast<std::uint16_t>(milliseconds);
    return t;
}

std::vector<int> digitGroups(std::string_view text) {
    std::vector<int> groups;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        int value = 0;
        std::size_t digits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            if (digits == 9) {
                return groups;
            }
            value = value * 10 + (text[i] - '0');
        }
        groups.push_back(value);
    }
    return groups;
}

int fullYear(int year) {
    if (year >= 0 && year < 70) {
        return 2000 + year;
    }
    return year >= 70 && year < 100 ? 1900 + year : year;
}

} // namespace kv

#include "formats/dates_and_titles.h"

#include "model/cp1251.h"
#include "model/text_scan.h"

#include <chrono>

namespace kv {

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

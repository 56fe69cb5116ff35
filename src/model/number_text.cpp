#include "model/number_text.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>

namespace kv {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

std::string fieldTextFromNumber(const char* format, double value) {
    char buffer[kFieldNumberChars + 1] = {};
    std::snprintf(buffer, sizeof buffer, format, value);
    std::string result = buffer;
    // snprintf follows LC_NUMERIC; the fields always show the C form.
    const std::string_view point = std::localeconv()->decimal_point;
    if (point != "." && !point.empty()) {
        if (const auto at = result.find(point); at != std::string::npos)
            result = result.substr(0, at) + '.' + result.substr(at + point.size());
    }
    return result;
}

std::optional<double> numberFromFieldText(std::string_view text) {
    text = text.substr(0, kFieldNumberChars);
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            return 0.0;
    }
    // from_chars takes neither a '+' nor the "0x" of a hexadecimal number, which strtod does.
    std::chars_format form = std::chars_format::general;
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        (isHexDigit(text[i + 2]) ||
         (text[i + 2] == '.' && i + 3 < text.size() && isHexDigit(text[i + 3])))) {
        form = std::chars_format::hex;
        i += 2;
    }
    double value = 0.0;
    const std::errc error =
        std::from_chars(text.data() + i, text.data() + text.size(), value, form).ec;
    if (error == std::errc::result_out_of_range)
        return std::nullopt;
    if (error != std::errc{})
        return 0.0;
    if (value != 0.0 && std::fabs(value) < DBL_MIN)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace kv

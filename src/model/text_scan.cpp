#include "model/text_scan.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>

namespace kv {

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isSign(char c) {
    return c == '+' || c == '-';
}

// strtod reads "0x" as the start of a hexadecimal number only when a hex digit follows, or a
// '.' and then one; otherwise the number is the "0" alone.
bool startsHexNumber(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size() || text[at] != '0' || (text[at + 1] != 'x' && text[at + 1] != 'X')) {
        return false;
    }
    return isHexDigit(text[at + 2]) ||
           (text[at + 2] == '.' && at + 3 < text.size() && isHexDigit(text[at + 3]));
}

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the hexadecimal number after "0x" at text[at] ends for strtod: hex digits with one
// '.', then a 'p' exponent only when digits follow its one optional sign. from_chars is given
// no more: libstdc++ 12 takes "p+-3" for the exponent -3, where strtod ends before the 'p'.
std::size_t hexNumberEnd(std::string_view text, std::size_t at) {
    const auto skip = [&text](std::size_t from, bool (*digit)(char)) {
        while (from < text.size() && digit(text[from])) {
            ++from;
        }
        return from;
    };
    at = skip(at, isHexDigit);
    if (at < text.size() && text[at] == '.') {
        at = skip(at + 1, isHexDigit);
    }
    if (at < text.size() && (text[at] == 'p' || text[at] == 'P')) {
        std::size_t digits = at + 1;
        if (digits < text.size() && isSign(text[digits])) {
            ++digits;
        }
        if (digits < text.size() && isDecimalDigit(text[digits])) {
            at = skip(digits, isDecimalDigit);
        }
    }
    return at;
}

} // namespace

std::size_t skipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    return at;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = skipSpaces(text, 0);
    std::size_t last = text.size();
    while (last > first && isSpace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

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

std::size_t lineNumberAt(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, std::min(offset, text.size()));
    std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    // The end of a text whose last line is ended is still that line, not one after it.
    if (offset >= text.size() && text.ends_with('\n')) {
        --line;
    }
    return line;
}

std::string_view nextField(std::string_view text, std::size_t& at, std::string_view extra) {
    const auto separates = [extra](char c) {
        return isSpace(c) || (!extra.empty() && extra.find(c) != std::string_view::npos);
    };
    while (at < text.size() && separates(text[at])) {
        ++at;
    }
    const std::size_t start = at;
    while (at < text.size() && !separates(text[at])) {
        ++at;
    }
    return text.substr(start, at - start);
}

std::vector<std::string_view> splitFields(std::string_view text, std::string_view extra) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    for (std::string_view field = nextField(text, at, extra); !field.empty();
         field = nextField(text, at, extra)) {
        fields.push_back(field);
    }
    return fields;
}

std::optional<ScannedNumber> scanNumber(std::string_view text, std::size_t at, NumberForm form) {
    // Every path returns this one object, so it is built where the caller keeps it: a copy of
    // the nested optionals stalls on store forwarding and costs more than the parse itself.
    std::optional<ScannedNumber> number;
    // from_chars takes neither a '+' nor the "0x" of a hexadecimal number, which strtod does,
    // so the sign and the prefix are read here.
    bool negative = false;
    if (at < text.size() && isSign(text[at])) {
        negative = text[at] == '-';
        ++at;
        if (at < text.size() && isSign(text[at])) {
            return number;
        }
    }
    std::chars_format format = std::chars_format::general;
    const char* end = text.data() + text.size();
    if (form == NumberForm::DecimalOrHex && startsHexNumber(text, at)) {
        format = std::chars_format::hex;
        at += 2;
        end = text.data() + hexNumberEnd(text, at);
    }
    double value = 0.0;
    const auto [stop, error] =
        std::from_chars(text.data() + std::min(at, text.size()), end, value, format);
    if (error != std::errc{} && error != std::errc::result_out_of_range) {
        return number;
    }
    number.emplace();
    number->end = static_cast<std::size_t>(stop - text.data());
    const bool subnormal = value != 0.0 && std::fabs(value) < DBL_MIN; // ERANGE for strtod too
    if (error == std::errc{} && !subnormal) {
        number->value = negative ? -value : value;
    }
    return number;
}

template <typename Integer>
std::optional<ScannedInteger<Integer>> scanInteger(std::string_view text, std::size_t at) {
    std::optional<ScannedInteger<Integer>> integer; // one object on every path, as above
    // from_chars reads a '-' itself but no '+'.
    if (at < text.size() && text[at] == '+') {
        ++at;
        if (at < text.size() && isSign(text[at])) {
            return integer;
        }
    }
    at = std::min(at, text.size());
    Integer value = 0;
    const auto [stop, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error == std::errc{}) {
        integer.emplace();
        integer->value = value;
        integer->end = static_cast<std::size_t>(stop - text.data());
    }
    return integer;
}

template std::optional<ScannedInteger<std::int32_t>> scanInteger(std::string_view, std::size_t);
template std::optional<ScannedInteger<std::int64_t>> scanInteger(std::string_view, std::size_t);

std::optional<std::pair<double, double>> scanNumberPair(std::string_view line) {
    const auto first = scanNumber(line, skipSpaces(line, 0));
    if (!first || !first->value) {
        return std::nullopt;
    }
    const auto second = scanNumber(line, skipSpaces(line, first->end));
    if (!second || !second->value) {
        return std::nullopt;
    }
    return std::pair{*first->value, *second->value};
}

std::optional<double> wholeNumber(std::string_view field) {
    const auto number = scanNumber(field, 0, NumberForm::Decimal);
    if (!number || number->end != field.size() || !number->value ||
        !std::isfinite(*number->value)) {
        return std::nullopt;
    }
    return *number->value;
}

std::optional<std::int64_t> wholeInteger(std::string_view field) {
    const auto integer = scanInteger<std::int64_t>(field, 0);
    if (!integer || integer->end != field.size()) {
        return std::nullopt;
    }
    return integer->value;
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

std::optional<std::int32_t> wholeCount(std::string_view field) {
    // Counts are nearly always plain integers; anything else goes the slow way.
    if (const auto integer = scanInteger<std::int32_t>(field, 0);
        integer && integer->end == field.size()) {
        return integer->value;
    }
    const auto number = wholeNumber(field);
    return number ? countFrom(*number) : std::nullopt;
}

std::size_t appendCounts(std::string_view text, std::vector<std::int32_t>& out, std::size_t limit) {
    std::size_t at = 0;
    for (;;) {
        const std::string_view field = nextField(text, at);
        if (field.empty()) {
            return text.size();
        }
        const auto count = out.size() < limit ? wholeCount(field) : std::nullopt;
        if (!count) {
            return static_cast<std::size_t>(field.data() - text.data());
        }
        out.push_back(*count);
    }
}

std::vector<double> leadingNumbers(std::string_view text) {
    std::vector<double> numbers;
    for (std::size_t at = skipSpaces(text, 0);; at = skipSpaces(text, at)) {
        const auto number = scanNumber(text, at, NumberForm::Decimal);
        if (!number || !number->value || !std::isfinite(*number->value)) {
            return numbers;
        }
        numbers.push_back(*number->value);
        at = number->end;
    }
}

} // namespace kv

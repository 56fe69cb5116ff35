#include "model/number_text.h"

#include "model/text_scan.h"

#include <clocale>
#include <cstdio>

namespace kv {

std::string fieldTextFromNumber(const char* format, double value) {
    char buffer[kFieldNumberChars + 1] = {};
    std::snprintf(buffer, sizeof buffer, format, value);
    std::string result = buffer;
    // snprintf follows LC_NUMERIC; the fields always show the C form. Dialog fields are filled
    // on the user-interface thread only, and nothing changes the locale after start-up.
    const std::string_view point =
        std::localeconv()->decimal_point; // NOLINT(concurrency-mt-unsafe)
    if (point != "." && !point.empty()) {
        if (const auto at = result.find(point); at != std::string::npos)
            result = result.substr(0, at) + '.' + result.substr(at + point.size());
    }
    return result;
}

std::optional<double> numberFromFieldText(std::string_view text) {
    text = text.substr(0, kFieldNumberChars);
    const auto number = scanNumber(text, skipSpaces(text, 0));
    if (!number) {
        return 0.0;
    }
    return number->value;
}

} // namespace kv

// Pasted spectra (the clipboard text parser). Each line is read as C's sscanf "%f%d" reads it,
// checked here against the C library itself; text that does not read is refused with a message
// and adds nothing; text that reads adds one histogram of the list's channel count holding its
// counts and their total; and the text Copy writes of that histogram pastes back as the same
// counts.

#include "fuzz_checks.h"
#include "model/clipboard_text.h"
#include "support/fake_ui_services.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>

namespace {

using kv::fuzz::require;

// The count of the line at text (a zero-terminated string), read by the C library: strtod for
// the ignored number ("%f" reads the same characters), strtol for the count, which must be
// within int32.
std::optional<std::int32_t> libraryCount(const char* text) {
    char* end = nullptr;
    (void)std::strtod(text, &end);
    if (end == text) {
        return std::nullopt;
    }
    const char* const countText = end;
    errno = 0;
    const long count = std::strtol(countText, &end, 10);
    if (end == countText || errno == ERANGE || count < INT32_MIN || count > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(count);
}

// parsePastedCounts after the C library: lines counted while they read and end in "\r\n".
std::optional<std::vector<std::int32_t>> libraryCounts(const std::string& text,
                                                       std::size_t channels) {
    std::vector<std::int32_t> counts;
    std::size_t lines = 0;
    for (const char* at = text.c_str(); lines < std::max<std::size_t>(3, channels);) {
        const std::optional<std::int32_t> count = libraryCount(at);
        if (!count) {
            break;
        }
        ++lines;
        if (counts.size() < channels) {
            counts.push_back(*count);
        }
        const char* const lineEnd = std::strstr(at, "\r\n");
        if (!lineEnd) {
            break;
        }
        at = lineEnd + 2;
    }
    return lines >= 3 ? std::optional(counts) : std::nullopt;
}

void checkPaste(std::string_view text, std::int32_t channels) {
    const std::optional<std::vector<std::int32_t>> counts = kv::parsePastedCounts(text, channels);
    if (text.find('\0') == std::string_view::npos) {
        require(counts == libraryCounts(std::string(text), static_cast<std::size_t>(channels)),
                "pasted lines read as the C library reads \"%f%d\"");
    }

    kv::DocumentState state;
    kv::HistogramList list(state);
    list.setChannelCount(channels);
    kv::test::FakeUiServices ui;
    ui.clipboard = std::string(text);
    const kv::Histogram* pasted = kv::pasteFromClipboard(list, ui);
    if (!counts || text.empty()) {
        require(!pasted && list.empty() && state.documentSaved,
                "text that does not read adds nothing");
        require(ui.messageIds() == (text.empty() ? std::vector<kv::StringId>{}
                                                 : std::vector{kv::StringId::WrongDataFormat}),
                "text that does not read is refused with a message");
        return;
    }
    require(pasted && list.histogramCount() == 1 && ui.messages.empty(),
            "text that reads adds one histogram");
    require(pasted->channels.size() == static_cast<std::size_t>(channels) &&
                std::equal(counts->begin(), counts->end(), pasted->channels.begin()) &&
                std::all_of(pasted->channels.begin() + static_cast<std::ptrdiff_t>(counts->size()),
                            pasted->channels.end(), [](std::int32_t c) { return c == 0; }),
            "a pasted histogram holds the counts read and zeros after them");
    const std::uint32_t total = std::accumulate(
        pasted->channels.begin(), pasted->channels.end(), std::uint32_t{0},
        [](std::uint32_t sum, std::int32_t c) { return sum + static_cast<std::uint32_t>(c); });
    require(pasted->total == total, "a pasted histogram's total is the sum of its counts");

    kv::AppConfig config;
    for (const std::int32_t xAxisMode : {0, 1}) {
        config.plot.xAxisMode = xAxisMode;
        require(kv::parsePastedCounts(kv::histogramClipboardText(*pasted, config), channels) ==
                    pasted->channels,
                "a copied histogram pastes back as the same counts");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kv::fuzz::textOf(data, size);
    // Lists of as many channels as the fewest lines that read, and of more than that.
    for (const std::int32_t channels : {3, 5}) {
        checkPaste(text, channels);
    }
    return 0;
}

#include "model/clipboard_text.h"

#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/energy_calibration.h"
#include "model/strings.h"
#include "model/text_scan.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>

namespace kv {

namespace {

constexpr double kPastedExposureSeconds = 100.0;
// The name and comment of a pasted record are cut to this many bytes (both texts fit).
constexpr std::size_t kPastedTextLimit = 63;

// "%f%d" at text[at]: the count, or nothing when either number is missing. As with scanf, a
// floating-point number beyond the range of a double still reads (it is ignored anyway); a
// count beyond int32 does not.
std::optional<std::int32_t> scanLine(std::string_view text, std::size_t at) {
    const auto ignored = scanNumber(text, skipSpaces(text, at));
    if (!ignored) {
        return std::nullopt;
    }
    const auto count = scanInteger<std::int32_t>(text, skipSpaces(text, ignored->end));
    if (!count) {
        return std::nullopt;
    }
    return count->value;
}

// y of a channel by the vertical axis mode; any mode but 0 and 1 copies the fraction.
void appendClipboardValue(std::string& out, const Histogram& h, std::int32_t count,
                          std::int32_t yAxisMode) {
    switch (yAxisMode) {
    case 0:
        appendFormat(out, "%d\r\n", count);
        break;
    case 1:
        appendFormat(out, "%0.0f\r\n", count / h.exposure);
        break;
    default:
        appendFormat(out, "%0.3f\r\n", count / static_cast<double>(h.total));
        break;
    }
}

} // namespace

std::string histogramClipboardText(const Histogram& h, const AppConfig& config) {
    const auto channelCount = static_cast<std::int32_t>(h.channels.size());
    std::string out;
    out.reserve(h.channels.size() * 16);
    for (std::int32_t c = 0; c < channelCount; ++c) {
        if (config.plot.xAxisMode == 1) {
            appendFormat(out, "%0.2f\t", config.energyCalibration.channelToEnergy(c, channelCount));
        } else {
            appendFormat(out, "%d\t", c);
        }
        appendClipboardValue(out, h, h.channels[static_cast<std::size_t>(c)],
                             config.plot.yAxisMode);
    }
    return out;
}

std::optional<std::vector<std::int32_t>> parsePastedCounts(std::string_view text,
                                                           std::int32_t channelCount) {
    constexpr std::size_t kMinimumLines = 3;
    const std::size_t wanted = channelCount > 0 ? static_cast<std::size_t>(channelCount) : 0;
    std::vector<std::int32_t> counts;
    std::size_t lines = 0;
    std::size_t at = 0;
    // Lines past both the channels and the minimum change nothing, so reading stops there.
    while (lines < kMinimumLines || lines < wanted) {
        const std::optional<std::int32_t> count = scanLine(text, at);
        if (!count) {
            break;
        }
        ++lines;
        if (counts.size() < wanted) {
            counts.push_back(*count);
        }
        const std::size_t lineEnd = text.find("\r\n", at);
        if (lineEnd == std::string_view::npos) {
            break;
        }
        at = lineEnd + 2;
    }
    if (lines < kMinimumLines) {
        return std::nullopt;
    }
    return counts;
}

void copyToClipboard(const HistogramList& list, const AppConfig& config, UiServices& ui) {
    if (const Histogram* h = list.currentHistogram()) {
        ui.setClipboardText(histogramClipboardText(*h, config));
    }
}

Histogram* pasteFromClipboard(HistogramList& list, UiServices& ui) {
    const std::string clipboard = ui.clipboardText();
    if (clipboard.empty()) {
        return nullptr;
    }
    const auto counts = parsePastedCounts(clipboard, list.channelCount());
    if (!counts) {
        ui.showMessage(StringId::WrongDataFormat, StringId::BadNews);
        return nullptr;
    }
    std::unique_ptr<Histogram> h = list.newHistogram();
    std::copy(counts->begin(), counts->end(), h->channels.begin());
    h->total = sumChannels(*h, 0, list.channelCount() - 1);
    h->exposure = kPastedExposureSeconds;
    h->name.assign(cp1251FromUtf8(text(StringId::Untitled)).substr(0, kPastedTextLimit));
    h->comment.assign(cp1251FromUtf8(text(StringId::FromClipboard)).substr(0, kPastedTextLimit));
    h->kind = kKindPasted;
    Histogram* added = h.get();
    list.addHistogram(std::move(h));
    return added;
}

} // namespace kv

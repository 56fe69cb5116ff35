#include "model/text_export.h"

#include "model/cp1251.h"
#include "model/energy_calibration.h"
#include "model/strings.h"
#include "platform/files.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kv {

namespace {

// Appends printf-style text; every format here yields well under the buffer's size.
[[gnu::format(printf, 2, 3)]] void appendFormat(std::string& out, const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
    }
}

void appendAbscissa(std::string& out, int channel, const AppConfig& config,
                    const EnergyCalibration& calibration) {
    if (config.xAxisMode == 1) {
        appendFormat(out, "%8.2f\t", calibration.channelToEnergy(channel));
    } else {
        appendFormat(out, "%8d\t", channel + 1);
    }
}

// Division by a zero total or exposure writes what the formatting makes of the non-finite
// result, as the stored files have always shown it.
double exportedValue(const Histogram& h, std::size_t channel, std::int32_t yAxisMode) {
    const double count = channel < h.channels.size() ? h.channels[channel] : 0.0;
    switch (yAxisMode) {
    case 0:
        return count;
    case 1:
        return count / h.exposure;
    default:
        return count * 100.0 / h.total;
    }
}

} // namespace

std::string numberedExportPath(std::string_view path, int n) {
    const std::size_t stop = path.find_last_of("./\\");
    const bool hasExtension = stop != std::string_view::npos && path[stop] == '.';
    const std::string_view stem = hasExtension ? path.substr(0, stop) : path;
    const std::string_view extension = hasExtension ? path.substr(stop) : std::string_view();
    std::string out(stem);
    appendFormat(out, "%04d", n);
    out += extension;
    return out;
}

std::string singleHistogramText(const Histogram& h, const AppConfig& config) {
    const auto channelCount = static_cast<std::int32_t>(h.channels.size());
    const EnergyCalibration calibration(config, channelCount);
    std::string out;
    if (config.exportNames != 0) {
        out += utf8FromCp1251(h.name.view()) + "\r\n" + utf8FromCp1251(h.comment.view()) + "\r\n";
    }
    for (std::int32_t c = 0; c < channelCount; ++c) {
        appendAbscissa(out, c, config, calibration);
        appendFormat(out, "%10.4E\r\n", exportedValue(h, c, config.yAxisMode));
    }
    return out;
}

std::string oneFileText(const HistogramList& list, std::span<const int> positions,
                        const AppConfig& config) {
    const EnergyCalibration calibration(config, list.channelCount());
    std::string out(
        text(config.xAxisMode == 1 ? StringId::EnergyColumnHeader : StringId::ChannelColumnHeader));
    std::vector<const Histogram*> exported;
    for (const int p : positions) {
        if (const Histogram* h = list.histogramAt(p)) {
            if (!exported.empty()) {
                out += "*\t";
            }
            exported.push_back(h);
            if (config.exportNames != 0) {
                out += utf8FromCp1251(h->name.view());
            } else {
                appendFormat(out, "%10d", p + 1);
            }
        }
    }
    out += "\r\n";
    for (std::int32_t c = 0; c < list.channelCount(); ++c) {
        appendAbscissa(out, c, config, calibration);
        for (std::size_t k = 0; k < exported.size(); ++k) {
            appendFormat(
                out, k + 1 < exported.size() ? "%10.4E\t" : "%10.4E\r\n",
                exportedValue(*exported[k], static_cast<std::size_t>(c), config.yAxisMode));
        }
    }
    return out;
}

bool exportAllToOneFile(const HistogramList& list, const AppConfig& config) {
    if (list.empty()) {
        return false;
    }
    std::vector<int> positions(static_cast<std::size_t>(list.histogramCount()));
    for (std::size_t p = 0; p < positions.size(); ++p) {
        positions[p] = static_cast<int>(p);
    }
    const std::string content = oneFileText(list, positions, config);
    return writeFileReplacing(
               config.exportPath,
               {reinterpret_cast<const std::uint8_t*>(content.data()), content.size()})
        .written;
}

} // namespace kv

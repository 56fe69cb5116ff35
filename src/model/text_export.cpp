#include "model/text_export.h"

#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/energy_calibration.h"
#include "model/strings.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kv {

namespace {

void appendAbscissa(std::string& out, int channel, std::int32_t channelCount,
                    const PlotSettings& plot, const EnergyCalibration& calibration) {
    if (plot.xAxisMode == 1) {
        appendFormat(out, "%8.2f\t", calibration.channelToEnergy(channel, channelCount));
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

std::string singleHistogramText(const Histogram& h, const TextExportSettings& textExport,
                                const PlotSettings& plot, const EnergyCalibration& calibration) {
    const auto channelCount = static_cast<std::int32_t>(h.channels.size());
    std::string out;
    if (textExport.exportNames != 0) {
        out += utf8FromCp1251(h.name.view()) + "\r\n" + utf8FromCp1251(h.comment.view()) + "\r\n";
    }
    for (std::int32_t c = 0; c < channelCount; ++c) {
        appendAbscissa(out, c, channelCount, plot, calibration);
        appendFormat(out, "%10.4E\r\n", exportedValue(h, c, plot.yAxisMode));
    }
    return out;
}

std::string oneFileText(const HistogramList& list, std::span<const int> positions,
                        const AppConfig& config) {
    std::string out(text(config.plot.xAxisMode == 1 ? StringId::EnergyColumnHeader
                                                    : StringId::ChannelColumnHeader));
    std::vector<const Histogram*> exported;
    for (const int p : positions) {
        if (const Histogram* h = list.histogramAt(p)) {
            if (!exported.empty()) {
                out += "*\t";
            }
            exported.push_back(h);
            if (config.textExport.exportNames != 0) {
                out += utf8FromCp1251(h->name.view());
            } else {
                appendFormat(out, "%10d", p + 1);
            }
        }
    }
    out += "\r\n";
    for (std::int32_t c = 0; c < list.channelCount(); ++c) {
        appendAbscissa(out, c, list.channelCount(), config.plot, config.energyCalibration);
        for (std::size_t k = 0; k < exported.size(); ++k) {
            appendFormat(
                out, k + 1 < exported.size() ? "%10.4E\t" : "%10.4E\r\n",
                exportedValue(*exported[k], static_cast<std::size_t>(c), config.plot.yAxisMode));
        }
    }
    return out;
}

std::vector<int> exportedPositions(const HistogramList& list, bool all) {
    std::vector<int> positions;
    for (int p = 0; p < list.histogramCount(); ++p) {
        if (all || list.isMarked(p)) {
            positions.push_back(p);
        }
    }
    return positions;
}

TextExportResult writeTextExport(const HistogramList& list, const AppConfig& config,
                                 std::span<const int> positions, TextExportQuestions* questions) {
    TextExportResult result;
    const auto write = [&result](const std::string& path, const std::string& content) {
        const WriteOutcome outcome = writeFileReplacing(
            path, {reinterpret_cast<const std::uint8_t*>(content.data()), content.size()});
        if (!outcome.written) {
            result.failedPath = path;
            result.reason = outcome.reason;
            return false;
        }
        result.written.push_back(path);
        return true;
    };
    if (positions.empty()) {
        return result;
    }
    if (config.textExport.exportOneFile != 0) {
        write(config.textExport.exportPath, oneFileText(list, positions, config));
        return result;
    }
    bool askBeforeReplacing = questions != nullptr;
    for (const int p : positions) {
        const Histogram* h = list.histogramAt(p);
        if (h == nullptr) {
            continue;
        }
        const std::string path = numberedExportPath(config.textExport.exportPath, p + 1);
        std::error_code error;
        if (askBeforeReplacing && std::filesystem::exists(path, error)) {
            switch (questions->askOverwrite(path)) {
            case OverwriteAnswer::Cancel:
                result.cancelled = true;
                return result;
            case OverwriteAnswer::OverwriteAll:
                askBeforeReplacing = false;
                break;
            case OverwriteAnswer::Overwrite:
                break;
            }
        }
        if (!write(path, singleHistogramText(*h, config.textExport, config.plot,
                                             config.energyCalibration))) {
            return result;
        }
    }
    return result;
}

TextExportResult exportText(const HistogramList& list, AppConfig& config, UiServices& ui,
                            TextExportQuestions& questions) {
    if (list.empty()) {
        return {};
    }
    bool oneFile = config.textExport.exportOneFile != 0;
    bool withNames = config.textExport.exportNames != 0;
    if (!questions.chooseOptions(oneFile, withNames)) {
        return {};
    }
    config.textExport.exportOneFile = oneFile ? 1 : 0;
    config.textExport.exportNames = withNames ? 1 : 0;

    FileDialogRequest request;
    request.title = StringId::SaveAsTextTitle;
    request.filter = StringId::TextFileFilter;
    request.filterIndex = 1; // "Файлы данных(*.DAT)"
    request.initialName = config.textExport.exportPath.substr(0, kPathFieldSize - 1);
    request.initialDirectory = config.lastDirectory;
    request.defaultExtension = "DAT";
    const auto chosen = ui.chooseSaveFile(request);
    if (!chosen) {
        return {};
    }
    config.textExport.exportPath = *chosen;
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(*chosen, error);
    config.lastDirectory = directoryOf(error ? *chosen : full.string());

    const std::vector<int> positions = exportedPositions(list, false);
    TextExportResult result = writeTextExport(list, config, positions, &questions);
    if (result.failedPath) {
        ui.showMessage(StringId::FileWriteFailed, StringId::BadNews,
                       *result.failedPath + "\n" + result.reason);
    }
    return result;
}

bool exportAllToOneFile(const HistogramList& list, const AppConfig& config) {
    AppConfig oneFile = config;
    oneFile.textExport.exportOneFile = 1;
    const std::vector<int> positions = exportedPositions(list, true);
    const TextExportResult result = writeTextExport(list, oneFile, positions, nullptr);
    return !result.written.empty();
}

} // namespace kv

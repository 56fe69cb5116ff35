#include "formats/spectrum_exchange.h"

#include "formats/spectrum_formats.h"
#include "platform/files.h"

namespace kv {

namespace {

void reportRefused(UiServices& ui, const std::string& path, const std::string& problem) {
    ui.showMessage(StringId::UnknownFileFormat, StringId::BadNews, path + "\n" + problem);
}

} // namespace

ReadOutcome importSpectra(Document& document, AppConfig& config, UiServices& ui) {
    FileDialogRequest request;
    request.title = StringId::ImportFileTitle;
    request.filter = StringId::SpectrumImportFilter;
    request.initialDirectory = config.lastDirectory;
    const std::vector<std::string> chosen = ui.chooseOpenFiles(request);
    if (chosen.empty()) {
        return ReadOutcome::Cancelled;
    }
    config.lastDirectory = directoryOf(chosen.front());
    ReadOutcome outcome = ReadOutcome::Read;
    for (const std::string& path : chosen) {
        const ReadOutcome read = importSpectrumFile(document, config, ui, path);
        // A file that cannot be read is reported and the others still come; spectra of another
        // length would be refused file after file, so one message ends it.
        if (read != ReadOutcome::Read) {
            outcome = read;
        }
        if (read == ReadOutcome::DifferentChannelCount) {
            break;
        }
    }
    return outcome;
}

ReadOutcome importSpectrumFile(Document& document, AppConfig& config, UiServices& ui,
                               const std::string& path) {
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        ui.showMessage(StringId::FileOpenFailed, StringId::BadNews, path);
        return ReadOutcome::NotOpened;
    }
    ImportResult read = readSpectrumFile(*bytes, path);
    if (!read.ok()) {
        reportRefused(ui, path, read.problem);
        return ReadOutcome::WrongMagic;
    }
    std::vector<std::unique_ptr<Histogram>> histograms;
    for (const ImportedSpectrum& spectrum : read.spectra) {
        histograms.push_back(toHistogram(spectrum, fileNameOf(path)));
    }
    const ReadOutcome outcome = document.appendHistograms(std::move(histograms));
    if (outcome == ReadOutcome::Read && config.restoreFromDataFile) {
        applyImportedCalibration(read.spectra.front(), config.energyCalibration);
    }
    return outcome;
}

ReadOutcome addNamedFile(Document& document, AppConfig& config, UiServices& ui,
                         const std::string& path, bool openHistogramFile) {
    const SpectrumFormat format = formatFromExtension(path);
    if (format != SpectrumFormat::Hst && format != SpectrumFormat::Unknown) {
        return importSpectrumFile(document, config, ui, path);
    }
    return openHistogramFile ? document.openFromCommandLine(path) : document.appendFile(path);
}

SaveOutcome exportCurrentHistogram(const HistogramList& list, AppConfig& config, UiServices& ui) {
    const Histogram* h = list.currentHistogram();
    if (!h) {
        return SaveOutcome::NothingToSave;
    }
    FileDialogRequest request;
    request.title = StringId::ExportFileTitle;
    request.filter = StringId::SpectrumExportFilter;
    request.initialName = "spectrum.spe";
    request.initialDirectory = config.lastDirectory;
    request.defaultExtension = "SPE";
    const auto chosen = ui.chooseSaveFile(request);
    if (!chosen) {
        return SaveOutcome::Cancelled;
    }
    config.lastDirectory = directoryOf(*chosen);
    return exportHistogram(*h, config.energyCalibration, list.channelCount(), *chosen, ui);
}

SaveOutcome exportHistogram(const Histogram& h, const EnergyCalibration& calibration,
                            std::int32_t channelCount, const std::string& path, UiServices& ui) {
    const WrittenSpectrum written = writeSpectrumFile(
        exportedSpectrum(h, calibration, channelCount), formatFromExtension(path));
    if (!written.problem.empty()) {
        reportRefused(ui, path, written.problem);
        return SaveOutcome::Failed;
    }
    const WriteOutcome outcome = writeFileReplacing(path, written.bytes);
    if (!outcome.written) {
        ui.showMessage(StringId::FileWriteFailed, StringId::BadNews, path + "\n" + outcome.reason);
        return SaveOutcome::Failed;
    }
    return SaveOutcome::Written;
}

} // namespace kv

#include "formats/spectrum_exchange.h"

#include "formats/spectrum_formats.h"
#include "model/strings.h"
#include "platform/files.h"

#include <new>

namespace kv {

namespace {

StringId reasonText(RefusalReason reason) {
    using R = RefusalReason;
    using S = StringId;
    switch (reason) {
    case R::FormatNotRead:
        return S::RefusedFormatNotRead;
    case R::SpeNoData:
        return S::RefusedSpeNoData;
    case R::SpeBadChannelRange:
        return S::RefusedSpeBadChannelRange;
    case R::SpeCountsNotChannels:
        return S::RefusedSpeCountsNotChannels;
    case R::SpeBadTimes:
        return S::RefusedSpeBadTimes;
    case R::ChnNoHeader:
        return S::RefusedChnNoHeader;
    case R::ChnCountsCutShort:
        return S::RefusedChnCountsCutShort;
    case R::IecUnmarkedLine:
        return S::RefusedIecUnmarkedLine;
    case R::IecShortHeader:
        return S::RefusedIecShortHeader;
    case R::IecBadTimesOrChannels:
        return S::RefusedIecBadTimesOrChannels;
    case R::IecNoData:
        return S::RefusedIecNoData;
    case R::IecDataLineOutOfPlace:
        return S::RefusedIecDataLineOutOfPlace;
    case R::IecBadCount:
        return S::RefusedIecBadCount;
    case R::IecTooFewCounts:
        return S::RefusedIecTooFewCounts;
    case R::CsvNotTwoNumbers:
        return S::RefusedCsvNotTwoNumbers;
    case R::CsvBadCount:
        return S::RefusedCsvBadCount;
    case R::CsvNoRows:
        return S::RefusedCsvNoRows;
    case R::CsvFirstColumnNotRising:
        return S::RefusedCsvFirstColumnNotRising;
    case R::XmlError:
        return S::RefusedXmlError;
    case R::N42NotDocument:
        return S::RefusedN42NotDocument;
    case R::N42BadChannelData:
        return S::RefusedN42BadChannelData;
    case R::N42BadTime:
        return S::RefusedN42BadTime;
    case R::N42NoSpectrum:
        return S::RefusedN42NoSpectrum;
    case R::TooManyChannelsInFile:
        return S::RefusedTooManyChannelsInFile;
    case R::OutOfMemory:
        return S::RefusedOutOfMemory;
    case R::FormatNotWritten:
        return S::RefusedFormatNotWritten;
    case R::ChnTooManyChannels:
        return S::RefusedChnTooManyChannels;
    case R::ChnCalibrationAboveQuadratic:
        return S::RefusedChnCalibrationAboveQuadratic;
    case R::TimesNotDurations:
        return S::RefusedTimesNotDurations;
    case R::CalibrationNotFinite:
        return S::RefusedCalibrationNotFinite;
    case R::ChnTimeTooLong:
        return S::RefusedChnTimeTooLong;
    }
    return S::RefusedFormatNotRead;
}

void reportRefused(UiServices& ui, const std::string& path, const FormatRefusal& refusal) {
    ui.showMessage(StringId::UnknownFileFormat, StringId::BadNews,
                   path + "\n" + refusalText(refusal));
}

} // namespace

std::string refusalText(const FormatRefusal& refusal) {
    std::string out(text(reasonText(refusal.reason)));
    if (!refusal.detail.empty()) {
        out += ": " + refusal.detail;
    }
    if (refusal.at.unit != FilePosition::Unit::File) {
        out += " (";
        out += text(refusal.at.unit == FilePosition::Unit::Line ? StringId::RefusalAtLine
                                                                : StringId::RefusalAtByte);
        out += " " + std::to_string(refusal.at.value) + ")";
    }
    return out;
}

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
    ImportResult read;
    std::vector<std::unique_ptr<Histogram>> histograms;
    // The file's bytes, its spectra and their list entries are each in memory at once.
    try {
        std::string reason;
        const auto bytes = readWholeFile(path, &reason);
        if (!bytes) {
            ui.showMessage(StringId::FileOpenFailed, StringId::BadNews, path + "\n" + reason);
            return ReadOutcome::NotOpened;
        }
        read = readSpectrumFile(*bytes, path);
        for (const ImportedSpectrum& spectrum : read.spectra) {
            histograms.push_back(toHistogram(spectrum, fileNameOf(path)));
        }
    } catch (const std::bad_alloc&) {
        read = ImportResult::refused(RefusalReason::OutOfMemory);
    }
    if (!read.ok()) {
        reportRefused(ui, path, *read.refusal);
        return ReadOutcome::WrongMagic;
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
    if (written.refusal) {
        reportRefused(ui, path, *written.refusal);
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

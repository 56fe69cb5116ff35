#include "acquisition/series.h"

#include "acquisition/analyser_port.h"
#include "acquisition/count_windows.h"
#include "acquisition/measurement.h"
#include "acquisition/report_log.h"
#include "model/text_export.h"
#include "platform/clock.h"
#include "platform/files.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace kv {

namespace {

constexpr std::int32_t kKindCycle = kKindMeasured | kMarkedBit;

std::string cycleName(std::string_view name, int cycle) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", cycle);
    return std::string(name) + number;
}

// Steps 1-3 of the start sequence: the cycle's counting starts only with its external edge.
void clearStopped(PortIo& io, std::uint16_t base, std::uint8_t threshold) {
    io.writePort(base + kControlOffset, 0);
    for (int i = 0; i < kAnalyserMemoryBytes; ++i) {
        io.writePort(base + kDataOffset, 0);
    }
    io.writePort(base + kThresholdOffset, threshold);
}

std::uint16_t triggerStatusPort(std::int32_t triggerPort) {
    return kTriggerStatusPorts[triggerPort >= 1 && triggerPort <= 2 ? triggerPort : 0];
}

void readOut(PortIo& io, Clock& clock, std::uint16_t base, Histogram& record,
             std::uint32_t elapsedMs) {
    freezeCounting(io, clock, base);
    readSpectrum(io, base, record.channels);
    record.exposure = elapsedMs * 0.001;
    record.total = sumChannels(record, 0, kAnalyserChannels - 1);
}

} // namespace

CyclicJob prepareCyclicSeries(AnalyserSettings& analyser, const SeriesSettings& series,
                              CycleFiles files, const HistogramList& list, std::string_view name,
                              std::string_view comment) {
    Histogram pattern = *list.newHistogram();
    pattern.channels = {};
    pattern.kind = kKindCycle;
    const std::string_view baseName = name.substr(0, kHistogramTextLimit);
    analyser.lastName = std::string(baseName);
    analyser.internalGating = analyser.gatingMode == 1 ? 1 : 0;
    return {std::move(pattern), std::string(baseName), std::string(comment), analyser, series,
            std::move(files)};
}

void runCyclicSeries(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags, CyclicJob job) {
    const AnalyserSettings& analyser = job.analyser;
    const TextExportSettings& textExport = job.files.textExport;
    const std::uint16_t base = portBase(analyser);
    const std::uint8_t command = commandByte(analyser);
    const std::uint16_t statusPort = triggerStatusPort(job.series.triggerPort);
    const bool onHigh = job.series.startOnHighLevel != 0;
    const Edge startEdge = onHigh ? Edge::Falling : Edge::Rising;
    const Edge endEdge = onHigh ? Edge::Rising : Edge::Falling;
    const bool textPerCycle = textExport.textAutoSave != 0 && textExport.exportOneFile == 0;

    for (std::int32_t i = 0; i < job.series.cycleCount; ++i) {
        host.seriesCount(i);
        // Made before the cycle counts, so a cycle is never counted without a record to keep it.
        std::unique_ptr<Histogram> record;
        try {
            record = std::make_unique<Histogram>(job.pattern);
            record->channels.resize(kAnalyserChannels);
        } catch (const std::bad_alloc&) {
            break;
        }
        record->name.assign(cycleName(job.name, i + 1));
        record->comment.assign(i == 0 ? std::string_view(job.comment) : std::string_view());
        clearStopped(io, base, static_cast<std::uint8_t>(analyser.threshold));
        if (!waitForEdge(io, clock, statusPort, startEdge, flags.abort)) {
            break;
        }
        io.writePort(base + kControlOffset, command);
        const std::uint32_t startTick = tickMilliseconds(clock);
        host.repaintPlot();
        host.markDocumentChanged();
        if (!waitForEdge(io, clock, statusPort, endEdge, flags.abort)) {
            break;
        }
        readOut(io, clock, base, *record, tickMilliseconds(clock) - startTick);
        // Written before listing so the file holds the cycle's own name; the list then puts its
        // number in front.
        if (textPerCycle) {
            const std::string text = singleHistogramText(*record, textExport, job.files.plot,
                                                         job.files.energyCalibration);
            writeFileReplacing(numberedExportPath(textExport.exportPath, i + 1),
                               {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        }
        record->kind = kKindMeasured;
        host.addHistogram(std::move(record));
    }

    host.closeProgress();
    host.repaintPlot();
    if (analyser.autoSave != 0) {
        host.save();
    }
    if (textExport.textAutoSave != 0 && textExport.exportOneFile != 0) {
        host.exportAllText();
    }
}

void runXraySeries(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags,
                   const XraySeriesJob& job) {
    const std::uint16_t base = portBase(job.analyser);
    const std::uint8_t command = commandByte(job.analyser);
    const std::uint32_t exposureMs = exposureMilliseconds(job.series.xrayExposure);
    const double periodSeconds = job.series.xrayExposure + job.series.seriesInterval;
    const bool expanded = job.countWindows.expandedResult != 0;
    Histogram work;
    work.channels.assign(kAnalyserChannels, 0);
    std::uint32_t firstTick = 0;

    for (std::int32_t i = 0; i < job.series.seriesMaxCount; ++i) {
        startCounting(io, base, static_cast<std::uint8_t>(job.analyser.threshold), command);
        const std::uint32_t startTick = tickMilliseconds(clock);
        if (i == 0) {
            firstTick = startTick;
        }
        const std::uint32_t stopTick = waitForTicks(clock, startTick, exposureMs, flags.abort);
        readOut(io, clock, base, work, stopTick - startTick);

        const CountWindowResult result = evaluateCountWindows(work, job.countWindows);
        const std::string line =
            seriesReportLine((startTick - firstTick) * 0.001, result, expanded);
        if (result.evaluated()) {
            const int colour =
                i == 0 ? kReportRed : ((i + 1) % 10 == 0 ? kReportBlue : kReportBlack);
            host.reportLine(line, colour, 0);
            host.seriesCount(i + 1);
        } else {
            host.reportLine(line, kReportRed, 0);
        }

        // The next start is fixed from the first one, so read-out and report time never make
        // the series drift; rounded, since truncated 3 x 0.7 s would start early at 2099 ms.
        const double periodsMs = std::round(periodSeconds * 1000.0 * (i + 1));
        waitForTicks(clock, firstTick, tickSpan(periodsMs), flags.abort);
        if (flags.abort.load() != 0) {
            break;
        }
    }
    host.closeProgress();
}

} // namespace kv

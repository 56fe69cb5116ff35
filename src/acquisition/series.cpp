#include "acquisition/series.h"

#include "acquisition/analyser_port.h"
#include "acquisition/count_windows.h"
#include "acquisition/measurement.h"
#include "acquisition/report_log.h"
#include "model/text_export.h"
#include "platform/clock.h"
#include "platform/files.h"

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

void readOut(PortIo& io, std::uint16_t base, Histogram& record, std::uint32_t elapsedMs) {
    freezeCounting(io, base);
    readSpectrum(io, base, record.channels);
    record.exposure = elapsedMs * 0.001;
    record.total = sumChannels(record, 0, kAnalyserChannels - 1);
}

} // namespace

CyclicJob prepareCyclicSeries(AppConfig& config, const HistogramList& list, std::string_view name,
                              std::string_view comment) {
    CyclicJob job;
    const std::string_view baseName = name.substr(0, kHistogramTextLimit);
    for (std::int32_t i = 0; i < config.series.cycleCount; ++i) {
        try {
            Histogram record = *list.newHistogram();
            record.name.assign(cycleName(baseName, i + 1));
            record.comment.assign(i == 0 ? comment : std::string_view());
            record.kind = kKindCycle;
            job.records.push_back(std::move(record));
        } catch (const std::bad_alloc&) {
            config.series.cycleCount = i;
            break;
        }
    }
    config.analyser.lastName = std::string(baseName);
    config.analyser.internalGating = config.analyser.gatingMode == 1 ? 1 : 0;
    job.config = config;
    return job;
}

void runCyclicSeries(PortIo& io, RunHost& host, RunFlags& flags, CyclicJob job) {
    const AppConfig& config = job.config;
    const std::uint16_t base = portBase(config);
    const std::uint8_t command = commandByte(config);
    const std::uint16_t statusPort = triggerStatusPort(config.series.triggerPort);
    const bool onHigh = config.series.startOnHighLevel != 0;
    const Edge startEdge = onHigh ? Edge::Falling : Edge::Rising;
    const Edge endEdge = onHigh ? Edge::Rising : Edge::Falling;
    const bool textPerCycle =
        config.textExport.textAutoSave != 0 && config.textExport.exportOneFile == 0;

    for (std::size_t i = 0; i < job.records.size(); ++i) {
        host.seriesCount(static_cast<int>(i));
        clearStopped(io, base, static_cast<std::uint8_t>(config.analyser.threshold));
        if (!waitForEdge(io, statusPort, startEdge, flags.abort)) {
            break;
        }
        io.writePort(base + kControlOffset, command);
        const std::uint32_t startTick = tickMilliseconds();
        host.repaintPlot();
        host.markDocumentChanged();
        if (!waitForEdge(io, statusPort, endEdge, flags.abort)) {
            break;
        }
        Histogram& record = job.records[i];
        record.channels.resize(kAnalyserChannels);
        readOut(io, base, record, tickMilliseconds() - startTick);
        // Written before listing so the file holds the cycle's own name; the list then puts its
        // number in front.
        if (textPerCycle) {
            const std::string text = singleHistogramText(record, config);
            writeFileReplacing(
                numberedExportPath(config.textExport.exportPath, static_cast<int>(i) + 1),
                {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        }
        record.kind = kKindMeasured;
        host.addHistogram(std::make_unique<Histogram>(std::move(record)));
    }

    host.closeProgress();
    host.repaintPlot();
    if (config.analyser.autoSave != 0) {
        host.save();
    }
    if (config.textExport.textAutoSave != 0 && config.textExport.exportOneFile != 0) {
        host.exportAllText();
    }
}

void runXraySeries(PortIo& io, RunHost& host, RunFlags& flags, AppConfig config) {
    const std::uint16_t base = portBase(config);
    const std::uint8_t command = commandByte(config);
    const std::uint32_t exposureMs = exposureMilliseconds(config.series.xrayExposure);
    const double periodSeconds = config.series.xrayExposure + config.series.seriesInterval;
    const bool expanded = config.countWindows.expandedResult != 0;
    Histogram work;
    work.channels.assign(kAnalyserChannels, 0);
    std::uint32_t firstTick = 0;

    for (std::int32_t i = 0; i < config.series.seriesMaxCount; ++i) {
        startCounting(io, base, static_cast<std::uint8_t>(config.analyser.threshold), command);
        const std::uint32_t startTick = tickMilliseconds();
        if (i == 0) {
            firstTick = startTick;
        }
        // The next start is fixed from the first one, so read-out and report time never make
        // the series drift.
        const std::uint32_t nextMs = exposureMilliseconds(periodSeconds * (i + 1));
        std::uint32_t nowTick = startTick;
        while (nowTick - startTick < exposureMs && flags.abort.load() == 0) {
            nowTick = tickMilliseconds();
        }
        readOut(io, base, work, nowTick - startTick);

        const CountWindowResult result = evaluateCountWindows(work, config);
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

        while (nowTick - firstTick < nextMs && flags.abort.load() == 0) {
            nowTick = tickMilliseconds();
        }
        if (flags.abort.load() != 0) {
            break;
        }
    }
    host.closeProgress();
}

} // namespace kv

#include "acquisition/measurement.h"

#include "acquisition/analyser_port.h"
#include "acquisition/count_windows.h"
#include "acquisition/report_log.h"
#include "platform/clock.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace kv {

namespace {

// A new run's record: kind number 0, marked.
constexpr std::int32_t kKindNewRun = kKindMeasured | kMarkedBit;
constexpr int kXrayKindNumber = kKindXray & kKindNumberMask;

// The progress bar moves in hundredths of a second; reporting more often would only keep the
// host busy while the worker waits for it.
constexpr std::uint32_t kProgressIntervalMs = 10;

Histogram namedRecord(Histogram record, std::string_view name, std::string_view comment,
                      std::int32_t kind, double exposureSeconds) {
    record.name.assign(name);
    record.comment.assign(comment);
    record.kind = kind;
    record.exposure = exposureSeconds;
    return record;
}

} // namespace

MeasurementJob prepareMeasurement(AnalyserSettings& analyser,
                                  const CountWindowSettings& countWindows, Histogram record,
                                  const MeasurementStart& start) {
    const std::string_view name = start.name;
    analyser.lastName = std::string(name.substr(0, kHistogramTextLimit));
    analyser.lastExposure = start.exposureSeconds;
    analyser.internalGating = analyser.gatingMode == 1 ? 1 : 0;
    analyser.autoSave = start.autoSave ? 1 : 0;
    analyser.threshold = start.threshold;
    return {namedRecord(std::move(record), name, start.comment, kKindNewRun, start.exposureSeconds),
            analyser, countWindows};
}

MeasurementJob prepareXrayMeasurement(AnalyserSettings& analyser, const SeriesSettings& series,
                                      const CountWindowSettings& countWindows, Histogram record,
                                      std::string_view name, std::string_view comment) {
    analyser.lastName = std::string(name.substr(0, kHistogramTextLimit));
    analyser.lastExposure = series.xrayExposure;
    return {namedRecord(std::move(record), name, comment, kKindXray, series.xrayExposure), analyser,
            countWindows};
}

std::uint32_t tickSpan(double milliseconds) {
    if (!(milliseconds > 0.0)) {
        return 0;
    }
    if (milliseconds >= static_cast<double>(UINT32_MAX)) {
        return UINT32_MAX;
    }
    return static_cast<std::uint32_t>(milliseconds);
}

void runMeasurement(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags, MeasurementJob job) {
    const AnalyserSettings& settings = job.analyser;
    Histogram& record = job.record;
    record.channels.resize(kAnalyserChannels);
    const std::uint16_t base = portBase(settings);
    const std::uint8_t command = commandByte(settings);
    const bool softwareGate = settings.gatingMode == 2;
    const std::uint32_t exposureMs = exposureMilliseconds(record.exposure);
    HistogramHandle listed;

    startCounting(io, base, static_cast<std::uint8_t>(settings.threshold), command);
    // Elapsed time is always taken as a difference of two readings, so the run is timed right
    // across the counter's wrap.
    std::uint32_t startTick = tickMilliseconds(clock);
    std::uint32_t nowTick = startTick;
    std::uint32_t reportedTick = startTick;

    const auto readOut = [&] {
        freezeCounting(io, clock, base);
        readSpectrum(io, base, record.channels);
        record.exposure = (nowTick - startTick) * 0.001;
        record.total = sumChannels(record, 0, kAnalyserChannels - 1);
    };
    // The run's entry takes each read-out. When the user has deleted it (or replaced the list)
    // meanwhile, the read-out is listed anew with kind, so the spectrum is never lost.
    const auto showReadOut = [&](std::int32_t kind) {
        if (listed && host.updateHistogram(listed, record)) {
            host.redrawList();
            return;
        }
        auto copy = std::make_unique<Histogram>(record);
        copy->kind = kind;
        listed = host.addHistogram(std::move(copy));
    };

    for (;;) {
        if (softwareGate) {
            softwareGatePulse(io, base);
        }
        nowTick = tickMilliseconds(clock);
        if (nowTick - reportedTick >= kProgressIntervalMs) {
            host.progress({nowTick - startTick, exposureMs});
            reportedTick = nowTick;
        }
        // Taken as it is read: a request given while this read-out waits for the host (the user
        // pressing "Контроль" again) brings another read-out rather than being lost.
        if (flags.readOutRequest.exchange(0) != 0) {
            const std::uint32_t elapsed = nowTick - startTick;
            readOut();
            showReadOut(kKindMeasured);
            host.repaintPlot();
            host.markDocumentChanged();
            // The read-out's time is neither exposure nor remaining time: the exposure goes on
            // from where it stood, so an abort straight after still gives the elapsed exposure.
            nowTick = tickMilliseconds(clock);
            startTick = nowTick - elapsed;
            resumeCounting(io, base, command);
        }
        const std::uint32_t elapsed = nowTick - startTick;
        if (flags.abort.load() != 0 || elapsed >= exposureMs) {
            break;
        }
        waitForPoll(clock, exposureMs - elapsed);
    }

    readOut();
    showReadOut(record.kind);
    host.closeProgress();
    host.repaintPlot();
    host.markDocumentChanged();
    if (settings.autoSave != 0) {
        host.save();
    }
    if (record.kindNumber() == kXrayKindNumber) {
        const CountWindowResult result = evaluateCountWindows(record, job.countWindows);
        host.reportLine(measurementReportLine(result, job.countWindows.expandedResult != 0),
                        kReportMagenta, 0);
    }
}

} // namespace kv

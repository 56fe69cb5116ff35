#pragma once

// The two series of measurements.
//
// Cyclic series (403): each cycle's exposure is started and stopped by an external logic line,
// bit 7 of a printer port's status register. With startOnHighLevel a cycle runs from a 1-to-0
// change of the bit to the next 0-to-1 change (the port reports the line inverted, so while the
// line is high), otherwise the other way round. Each cycle becomes a histogram of its own,
// listed as it completes, optionally also written to a numbered text file.
//
// X-ray series (407): timed exposures at a fixed period from the first start, each evaluated in
// the count windows and reported as one line of the report log; no histogram is kept.

#include "acquisition/port_io.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "model/energy_calibration.h"
#include "model/histogram.h"
#include "model/histogram_list.h"
#include "model/settings.h"
#include "platform/clock.h"

#include <string>
#include <string_view>

namespace kv {

// The text files of a cyclic series: whether and where they are written, and their form (the
// plot's axis modes and the energy calibration as they were when the series started).
struct CycleFiles {
    TextExportSettings textExport;
    PlotSettings plot;
    EnergyCalibration energyCalibration;
};

struct CyclicJob {
    // What every cycle's record starts as: the list's new histogram of the moment of "Пуск",
    // kind 16, without counts. Records are made one cycle at a time, so the memory a series
    // takes grows with the cycles measured, not with the count asked for.
    Histogram pattern;
    std::string name;    // the cycles' name before their number
    std::string comment; // the first cycle's
    AnalyserSettings analyser;
    SeriesSettings series;
    CycleFiles files;
};

// "Пуск" of the cyclic dialog, once triggerPort, cycleCount, startOnHighLevel and threshold are
// stored: cycleCount cycles, each a record named "%s%04d" with name and the cycle number
// (Co0001, Co0002, ...), the comment on the first only; lastName and internalGating as a run
// sets them.
CyclicJob prepareCyclicSeries(AnalyserSettings& analyser, const SeriesSettings& series,
                              CycleFiles files, const HistogramList& list, std::string_view name,
                              std::string_view comment);

// The cyclic worker. An abort while waiting for an edge, or memory running out for the next
// cycle's record, keeps the cycles listed so far and drops the rest, leaving the analyser as it
// was. At the end it closes the progress window,
// repaints, saves when autoSave is set and, with textAutoSave and exportOneFile, asks for the
// one-file text export. With textAutoSave and not exportOneFile each cycle is written, before
// it is listed, to numberedExportPath(exportPath, cycle number); a file that cannot be written
// is skipped. Exposures are timed on clock.
void runCyclicSeries(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags, CyclicJob job);

struct XraySeriesJob {
    AnalyserSettings analyser;
    SeriesSettings series;
    CountWindowSettings countWindows;
};

// The X-ray series worker: seriesMaxCount exposures of xrayExposure seconds, measurement k
// starting k x (xrayExposure + seriesInterval) seconds of clock after the first (at once when
// the previous one overran). Lines are red for the first and for failed evaluations, blue for
// every tenth. An abort still reads out, evaluates and reports the measurement under way.
void runXraySeries(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags,
                   const XraySeriesJob& job);

} // namespace kv

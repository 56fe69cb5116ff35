#pragma once

// A timed measurement run: clear and start the analyser, wait out the exposure on the tick
// counter, read the 2048 channels into the record and list it. Interim read-outs on request
// list the record early (kind word 0) and update it later; the time they take counts neither as
// exposure nor as remaining time. An aborted run is kept, with the exposure actually elapsed.
// The same worker serves the single X-ray measurement, which ends with a count-window line in
// the report log.

#include "acquisition/port_io.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "model/histogram.h"
#include "model/settings.h"
#include "platform/clock.h"

#include <string>
#include <string_view>

namespace kv {

// Everything a run needs, by value: the record to fill (its name, comment, kind and creation
// time set) and the settings as they were when it started.
struct MeasurementJob {
    Histogram record;
    AnalyserSettings analyser;
    CountWindowSettings countWindows; // for the report line of an X-ray measurement
};

// What the start dialog (401) was given. name and comment are Windows-1251.
struct MeasurementStart {
    std::string name;
    std::string comment;
    double exposureSeconds = 0.0;
    std::int32_t threshold = 0;
    bool autoSave = false;
};

// "Пуск" of the start dialog: names the record (name and comment cut to 127 bytes), takes the
// exposure, sets kind 16 and the settings a run starts with (lastName, lastExposure,
// internalGating, autoSave, threshold), and returns the job.
MeasurementJob prepareMeasurement(AnalyserSettings& analyser,
                                  const CountWindowSettings& countWindows, Histogram record,
                                  const MeasurementStart& start);

// "OK" of the X-ray measurement dialog (404), once the caller has stored xrayExposure, threshold
// and autoSave: kind 244 and lastExposure = xrayExposure; internalGating stays as it is.
MeasurementJob prepareXrayMeasurement(AnalyserSettings& analyser, const SeriesSettings& series,
                                      const CountWindowSettings& countWindows, Histogram record,
                                      std::string_view name, std::string_view comment);

// The worker: runs on the controller's thread, timing the exposure on clock, until it has
// passed or flags.abort is set; then reads out, lists, closes the progress window, repaints,
// marks the document changed, saves when autoSave is set and, for an X-ray record (kind number
// 4), reports its count-window result in magenta.
void runMeasurement(PortIo& io, Clock& clock, RunHost& host, RunFlags& flags, MeasurementJob job);

// Milliseconds as the tick counter times them: truncated to whole ones, negative and
// non-numbers giving 0, beyond the counter's range the longest it can time.
std::uint32_t tickSpan(double milliseconds);

// The exposure in whole milliseconds of the tick counter, as tickSpan.
inline std::uint32_t exposureMilliseconds(double seconds) {
    return tickSpan(seconds * 1000.0);
}

} // namespace kv

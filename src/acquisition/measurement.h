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
#include "model/app_config.h"
#include "model/histogram.h"

#include <string_view>

namespace kv {

// Everything a run needs, by value: the record to fill (its name, comment, kind and creation
// time set) and the settings as they were when it started.
struct MeasurementJob {
    Histogram record;
    AppConfig config;
};

// "Пуск" of the start dialog (401): names the record, takes the exposure in seconds and the
// threshold, sets kind 16 and the settings a run starts with (lastName, lastExposure,
// internalGating, autoSave, threshold), and returns the job. name and comment are Windows-1251
// and cut to 127 bytes.
MeasurementJob prepareMeasurement(AppConfig& config, Histogram record, std::string_view name,
                                  std::string_view comment, double exposureSeconds,
                                  std::int32_t threshold, bool autoSave);

// "OK" of the X-ray measurement dialog (404), once the caller has stored xrayExposure, threshold
// and autoSave: kind 244 and lastExposure = xrayExposure; internalGating stays as it is.
MeasurementJob prepareXrayMeasurement(AppConfig& config, Histogram record, std::string_view name,
                                      std::string_view comment);

// The worker: runs on the controller's thread until the exposure has passed or flags.abort is
// set, then reads out, lists, closes the progress window, repaints, marks the document changed,
// saves when autoSave is set and, for an X-ray record (kind number 4), reports its count-window
// result in magenta.
void runMeasurement(PortIo& io, RunHost& host, RunFlags& flags, MeasurementJob job);

// The exposure in whole milliseconds of the tick counter: truncated, negative and non-numbers
// giving 0, beyond the counter's range the longest it can time.
std::uint32_t exposureMilliseconds(double seconds);

} // namespace kv

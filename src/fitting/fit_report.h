#pragma once

// The report of a successful multi-component fit, as the approximation window shows it and the
// command-line tool prints it: UTF-8 text from the string table with CR LF line ends.

#include "fitting/component_model.h"
#include "model/energy_calibration.h"

#include <span>
#include <string>

namespace kv {

// One block per component in table order: its header line and one line per parameter with its
// error from errors (the fit's parameter vector; a missing entry reads as 0). Positions are
// shown 1-based and in keV by calibration on spectra of channelCount channels; areas as rates over
// exposureSeconds (pass Histogram::rateExposure(), so that a record without an exposure gives
// counts per second of 1). A number the parameters leave undefined (a relative width at channel 0)
// is shown as "?".
std::string fitReport(const ComponentTable& table, std::span<const double> errors,
                      double exposureSeconds, const EnergyCalibration& calibration,
                      std::int32_t channelCount);

} // namespace kv

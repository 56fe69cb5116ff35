#pragma once

// ANSI N42.42 XML spectra, in both its 2006 form (N42InstrumentData: Spectrum with RealTime,
// LiveTime, Calibration Type="Energy" / Equation / Coefficients, ChannelData; StartTime on
// the enclosing DetectorData or Measurement) and its 2012 form (RadInstrumentData:
// RadMeasurement with StartDateTime and RealTimeDuration, Spectrum with LiveTimeDuration and
// energyCalibrationReference to an EnergyCalibration's CoefficientValues). Every Spectrum
// element with channel data becomes one spectrum; counts may be compressed as CountedZeroes
// (a 0 followed by how many zeros it stands for). Durations are ISO 8601 ("PT639.92S").
// Start times are taken as the clock time written, without converting its time zone.
//
// Calibration convention: E(x) with x the 0-based channel number, where x = i is the lower
// edge of channel i (as the channel energies of N42 files are read), so the centre of the
// first channel is at x = 0.5.

#include "formats/imported_spectrum.h"

#include <optional>
#include <string_view>

namespace kv {

ImportResult readN42(std::string_view text);

// Seconds of an ISO 8601 duration "PnDTnHnMnS" (days, hours, minutes, seconds; no years or
// months), or nothing when it is not one.
std::optional<double> durationSeconds(std::string_view text);

} // namespace kv

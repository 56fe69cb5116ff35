#pragma once

// One spectrum as another analyser's file holds it, between a file format and the histogram
// list: the counts, the times, the start time and the energy calibration in the file's own
// channel numbering. Readers fill it, writers take it; toHistogram and exportedSpectrum
// convert to and from the program's Histogram and calibration.
//
// The program's calibration is E(x) = c0 + c1 x + ... in keV, where x = i is the centre of the
// 0-based channel i. Formats count channels differently (from 0 or 1, at a channel's centre or
// its lower edge); each reader says in firstChannelPosition where the centre of the spectrum's
// first channel lies in the file's own numbering, so one shift of the polynomial converts it.

#include "formats/format_refusal.h"
#include "model/energy_calibration.h"
#include "model/histogram.h"
#include "platform/clock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class SpectrumFormat { Hst, Spe, Chn, Iec, Csv, N42, Unknown };

// The most channels one file may hold over all its spectra: 16 spectra of the longest kind, or
// 8192 of 2048 channels, 64 MiB of counts (held twice while they become list entries). Real
// files hold far fewer (a portal's 8 detectors of 16384 channels, a few thousand short spectra
// of a search), but compressed counts let a file of a few kilobytes stand for gigabytes, so the
// readers refuse a file beyond this rather than let it take the memory.
inline constexpr std::size_t kMaxChannelsInFile = std::size_t{1} << 24;

struct ImportedCalibration {
    std::vector<double> coefficients; // keV, lowest power first, in the file's channel numbers
    // The file's channel coordinate of the centre of the spectrum's first channel: 0 for a
    // 0-based numbering at channel centres, 1 for a 1-based one, 0.5 where the polynomial
    // gives a channel's lower edge.
    double firstChannelPosition = 0.0;
};

struct ImportedSpectrum {
    SpectrumFormat format = SpectrumFormat::Unknown;
    std::string title; // UTF-8; empty when the file has none
    std::vector<std::int32_t> channels;
    double liveTimeSeconds = 0.0;
    double realTimeSeconds = 0.0;
    std::optional<SystemTime> startTime; // local clock time as the file writes it
    std::optional<ImportedCalibration> calibration;
};

// What a reader makes of a file: its spectra, or why and where it refused the file (then no
// spectra).
struct ImportResult {
    std::vector<ImportedSpectrum> spectra;
    std::optional<FormatRefusal> refusal;

    bool ok() const { return !refusal; }
    static ImportResult refused(RefusalReason reason, FilePosition at = {}) {
        return {{}, FormatRefusal{reason, at, {}}};
    }
};

// The coefficients of P(x + shift) for the coefficients of P (lowest power first).
std::vector<double> shiftedPolynomial(const std::vector<double>& coefficients, double shift);

// The program's coefficients (0-based channel centres) of a file's calibration, or nothing when
// the polynomial does not fit the program's record: fewer than 2 or more than 5 terms in use,
// or a coefficient that is not finite.
std::optional<std::vector<double>> programCoefficients(const ImportedCalibration& calibration);

// A list entry for an imported spectrum: name from the title (else the file name), comment
// "<format> (real <seconds> s): <file name>", exposure = live time, created = start time (all
// zeros when the file has none), kind 0. Texts become Windows-1251 and are cut to 127 bytes.
std::unique_ptr<Histogram> toHistogram(const ImportedSpectrum& spectrum, std::string_view fileName);

// The real time an imported histogram's comment carries, if it carries one.
std::optional<double> realTimeOf(const Histogram& h);

// Takes over an imported calibration as the program's: channelScale = the spectrum's channel
// count, so channel positions need no rescaling. False (calibration unchanged) when there is
// none or it does not fit the program's record.
bool applyImportedCalibration(const ImportedSpectrum& spectrum, EnergyCalibration& calibration);

// The spectrum a writer gets for a histogram under the calibration in force for channelCount
// channels; a calibration made at another channel count is rescaled to this one. The title is
// the name without its list number, control characters as blanks; the real time is the one the
// comment carries, else the exposure; the start time is the creation time when it is a date.
ImportedSpectrum exportedSpectrum(const Histogram& h, const EnergyCalibration& calibration,
                                  std::int32_t channelCount);

// A name for messages and comments: "ORTEC SPE", "N42" ...
std::string_view formatName(SpectrumFormat format);

} // namespace kv

#include "formats/imported_spectrum.h"

#include "formats/dates_and_titles.h"
#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/energy_calibration.h"
#include "model/histogram_list.h"
#include "model/text_scan.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

constexpr std::string_view kRealTimeOpen = " (real ";
constexpr std::string_view kRealTimeClose = " s): ";

} // namespace

std::optional<double> realTimeOf(const Histogram& h) {
    const std::string_view comment = h.comment.view();
    const std::size_t open = comment.find(kRealTimeOpen);
    const std::size_t close = comment.find(kRealTimeClose);
    if (open == comment.npos || close == comment.npos || close < open) {
        return std::nullopt;
    }
    const std::size_t start = open + kRealTimeOpen.size();
    return wholeNumber(comment.substr(start, close - start));
}

std::vector<double> shiftedPolynomial(const std::vector<double>& coefficients, double shift) {
    // Horner's scheme on polynomials: P(x + s) = c0 + (x + s)(c1 + (x + s)(c2 + ...)).
    std::vector<double> result;
    for (auto c = coefficients.rbegin(); c != coefficients.rend(); ++c) {
        // result <- result * (x + s) + c
        result.push_back(0.0);
        for (std::size_t k = result.size() - 1; k > 0; --k) {
            result[k] = result[k - 1] + shift * result[k];
        }
        result[0] = shift * result[0] + *c;
    }
    return result;
}

std::optional<std::vector<double>> programCoefficients(const ImportedCalibration& calibration) {
    std::vector<double> coefficients = calibration.coefficients;
    while (!coefficients.empty() && coefficients.back() == 0.0) {
        coefficients.pop_back();
    }
    const bool finite = std::all_of(coefficients.begin(), coefficients.end(),
                                    [](double c) { return std::isfinite(c); });
    if (!finite || coefficients.size() > kMaxCalibrationTerms ||
        !std::isfinite(calibration.firstChannelPosition)) {
        return std::nullopt;
    }
    coefficients.resize(std::max<std::size_t>(coefficients.size(), 2), 0.0);
    if (coefficients[1] == 0.0 && coefficients.size() == 2) {
        return std::nullopt; // a constant says nothing about energies
    }
    coefficients = shiftedPolynomial(coefficients, calibration.firstChannelPosition);
    const bool stillFinite = std::all_of(coefficients.begin(), coefficients.end(),
                                         [](double c) { return std::isfinite(c); });
    return stillFinite ? std::optional(coefficients) : std::nullopt;
}

std::string_view formatName(SpectrumFormat format) {
    switch (format) {
    case SpectrumFormat::Hst:
        return "HST";
    case SpectrumFormat::Spe:
        return "ASCII SPE";
    case SpectrumFormat::Chn:
        return "ORTEC CHN";
    case SpectrumFormat::Iec:
        return "IEC 61455";
    case SpectrumFormat::Csv:
        return "CSV";
    case SpectrumFormat::N42:
        return "N42";
    case SpectrumFormat::Unknown:
        break;
    }
    return "?";
}

std::unique_ptr<Histogram> toHistogram(const ImportedSpectrum& spectrum,
                                       std::string_view fileName) {
    auto h = std::make_unique<Histogram>();
    h->kind = kKindMeasured;
    const std::string_view name = spectrum.title.empty() ? fileName : spectrum.title;
    h->name.assign(cp1251FromUtf8(name));
    // The record keeps one time, the exposure; the real time rides in the comment, ahead of
    // the file name so a long name cannot cut it off.
    std::string comment(formatName(spectrum.format));
    comment += kRealTimeOpen;
    comment += shortestNumberText(spectrum.realTimeSeconds);
    comment += kRealTimeClose;
    comment += fileName;
    h->comment.assign(cp1251FromUtf8(comment));
    h->created = spectrum.startTime.value_or(SystemTime{});
    h->exposure = spectrum.liveTimeSeconds;
    h->channels.assign(spectrum.channels.begin(), spectrum.channels.end());
    h->total = sumAllChannels(*h);
    return h;
}

bool applyImportedCalibration(const ImportedSpectrum& spectrum, EnergyCalibration& calibration) {
    if (!spectrum.calibration || spectrum.channels.size() < 2) {
        return false;
    }
    const auto coefficients = programCoefficients(*spectrum.calibration);
    if (!coefficients) {
        return false;
    }
    calibration.coefficients.fill(0.0);
    std::copy(coefficients->begin(), coefficients->end(), calibration.coefficients.begin());
    calibration.termCount = static_cast<std::int32_t>(coefficients->size());
    calibration.channelScale = static_cast<std::int32_t>(spectrum.channels.size());
    return true;
}

ImportedSpectrum exportedSpectrum(const Histogram& h, const EnergyCalibration& calibration,
                                  std::int32_t channelCount) {
    ImportedSpectrum s;
    // The number belongs to the list. Titles are single lines: what a reader would make of
    // the name (control characters as blanks) is what is written.
    s.title = titleText(utf8FromCp1251(nameRemainder(h.name.view())));
    s.channels.assign(h.channels.begin(), h.channels.end());
    s.liveTimeSeconds = h.exposure;
    s.realTimeSeconds = realTimeOf(h).value_or(h.exposure);
    // A creation time that is no date (all zeros: none) is left out rather than written as
    // one that reads back as another date.
    const SystemTime& t = h.created;
    if (validTime(t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds)) {
        s.startTime = h.created;
    }
    if (calibration.inForce()) {
        // t = channelScale x / channelCount, so the coefficient of x^k is c_k (scale)^k.
        const double scale = static_cast<double>(calibration.channelScale) / channelCount;
        ImportedCalibration exported;
        double power = 1.0;
        for (int k = 0; k < calibration.termsInUse(); ++k) {
            exported.coefficients.push_back(calibration.coefficients[k] * power);
            power *= scale;
        }
        s.calibration = exported;
    }
    return s;
}

} // namespace kv

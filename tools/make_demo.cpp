// kv_make_demo: writes the demo histogram file shipped in data/ — synthetic spectra of a
// Cs-137 + Co-60 point source, of the room background and of Cs-137 alone, as a 63x63 mm
// (3"x3") NaI(Tl) detector records them on 2048 channels, with the energy calibration in the
// trailer. The counts come from a fixed-seed generator and from arithmetic that gives the same
// bits on every platform, so rebuilding the file changes no byte.
//
// usage: kv_make_demo OUTPUT.hst

#include "model/app_config.h"
#include "model/cp1251.h"
#include "model/document_state.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr std::int32_t kChannels = 2048;

// E(keV) = c0 + c1 t + c2 t^2, t the 0-based channel (the channel scale equals the channel
// count). The small quadratic term stands for the crystal's non-proportional light yield.
constexpr std::array<double, 3> kCalibration{0.5, 1.5, 2.0e-6};

double energyOfChannel(double channel) {
    return kCalibration[0] + channel * (kCalibration[1] + channel * kCalibration[2]);
}

// keV per channel at a channel.
double channelWidth(double channel) {
    return kCalibration[1] + 2.0 * kCalibration[2] * channel;
}

// The root of the quadratic in the form that does not cancel for a small c2.
double channelOfEnergy(double energy) {
    const double above = energy - kCalibration[0];
    return 2.0 * above /
           (kCalibration[1] +
            std::sqrt(kCalibration[1] * kCalibration[1] + 4.0 * kCalibration[2] * above));
}

// e^x from +, -, *, / and exact scaling by a power of two: the C library's exp may differ in
// the last bit between platforms, and one such bit can change a Poisson draw and the file.
double portableExp(double x) {
    if (x < -700.0) {
        return 0.0;
    }
    constexpr double kLn2 = std::numbers::ln2;
    const double k = std::floor(x / kLn2 + 0.5);
    const double r = x - k * kLn2; // |r| <= ln2 / 2, so 18 Taylor terms reach full precision
    double series = 1.0;
    for (int n = 17; n >= 1; --n) {
        series = 1.0 + series * r / n;
    }
    return std::ldexp(series, static_cast<int>(k));
}

// SplitMix64 (Steele, Lea and Flood, "Fast splittable pseudorandom number generators", 2014):
// tiny, fully specified, and identical wherever it runs, unlike std:: distributions.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}

    // Uniform in [0, 1), 53 random bits.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state;
};

// Knuth's multiplication method (TAOCP vol. 2, 3.4.1). A large mean is drawn as a sum of
// Poisson counts of at most kPiece each, so e^-mean never comes near underflow; the cost stays
// about one uniform per count, about a million for the whole file.
std::int32_t poisson(double mean, SplitMix64& random) {
    constexpr double kPiece = 32.0;
    std::int32_t count = 0;
    while (mean > 0.0) {
        const double piece = std::min(mean, kPiece);
        mean -= piece;
        const double limit = portableExp(-piece);
        for (double product = random.uniform(); product > limit; product *= random.uniform()) {
            ++count;
        }
    }
    return count;
}

// Expected counts per second in each channel.
using Rates = std::vector<double>;

// Standard deviation in keV of the line an energy deposit of `energy` keV gives: photoelectron
// statistics (FWHM 7.0 % at 661.66 keV, growing as the square root of the energy) and 3 keV
// FWHM of electronic noise, which keeps the lowest deposits at least a channel wide.
double resolutionSigma(double energy) {
    constexpr double kStatistical = 0.070 * 0.070 * 661.66; // FWHM^2 per keV deposited, keV
    constexpr double kNoise = 3.0 * 3.0;                    // keV^2, FWHM^2
    constexpr double kFwhmPerSigma = 2.3548200450309493;    // 2 sqrt(2 ln 2)
    return std::sqrt(kStatistical * std::max(energy, 0.0) + kNoise) / kFwhmPerSigma;
}

// Adds `rate` counts per second deposited at `energy` keV as the detector records them: a
// Gaussian of the resolution at that energy, widened by `extraSigma` keV for radiation that
// already arrives with a spread of energies.
void addSmeared(Rates& rates, double energy, double rate, double extraSigma) {
    const double resolution = resolutionSigma(energy);
    const double sigma = std::sqrt(resolution * resolution + extraSigma * extraSigma);
    const auto first = static_cast<std::int32_t>(std::floor(channelOfEnergy(energy - 6 * sigma)));
    const auto last = static_cast<std::int32_t>(std::ceil(channelOfEnergy(energy + 6 * sigma)));
    const double scale = rate / (sigma * std::sqrt(2.0 * std::numbers::pi));
    for (std::int32_t ch = std::max(first, 0); ch <= std::min(last, kChannels - 1); ++ch) {
        const double z = (energyOfChannel(ch) - energy) / sigma;
        rates[static_cast<std::size_t>(ch)] += scale * channelWidth(ch) * portableExp(-0.5 * z * z);
    }
}

// Adds `rate` counts per second spread over the channels by a relative density per keV of
// deposited energy; deposits get the resolution applied later, all together.
template <typename Density> void addDeposits(Rates& deposits, double rate, Density density) {
    Rates shares(deposits.size());
    double total = 0.0;
    for (std::int32_t ch = 0; ch < kChannels; ++ch) {
        const double share = density(energyOfChannel(ch)) * channelWidth(ch);
        shares[static_cast<std::size_t>(ch)] = share;
        total += share;
    }
    for (std::size_t ch = 0; ch < deposits.size(); ++ch) {
        deposits[ch] += rate * shares[ch] / total;
    }
}

struct GammaLine {
    double energy = 0.0;      // keV
    double rate = 0.0;        // photons interacting in the crystal per second
    double peakToTotal = 1.0; // share of them absorbed whole
    // Photons scattered back into the crystal by the surroundings, per interacting photon.
    double backscatter = 0.0;
};

constexpr double kElectronMass = 510.999; // keV
// Of the photons not absorbed whole, the share that scatters more than once and fills the
// valley between the Compton edge and the photopeak.
constexpr double kMultipleScatterShare = 0.12;
// Spread of the backscattered energies from the range of scattering angles, keV.
constexpr double kBackscatterSigma = 12.0;

// Adds one line: its photopeak, its single-scatter Compton continuum up to the edge, the
// multiple-scatter valley fill, and the backscatter peak at E / (1 + 2E / m c^2).
void addLine(Rates& rates, Rates& deposits, const GammaLine& line) {
    const double e = line.energy;
    addSmeared(rates, e, line.rate * line.peakToTotal, 0.0);

    const double scattered = line.rate * (1.0 - line.peakToTotal);
    const double epsilon = e / kElectronMass;
    if (scattered > 0.0) {
        const double edge = e * 2.0 * epsilon / (1.0 + 2.0 * epsilon);
        // Klein-Nishina distribution of the electron energy T (Knoll, Radiation Detection and
        // Measurement, ch. 10), s = T / E, without its constant factor.
        addDeposits(deposits, scattered * (1.0 - kMultipleScatterShare), [&](double t) {
            const double s = t / e;
            if (t <= 0.0 || t >= edge) {
                return 0.0;
            }
            return 2.0 + s * s / (epsilon * epsilon * (1.0 - s) * (1.0 - s)) +
                   s / (1.0 - s) * (s - 2.0 / epsilon);
        });
        addDeposits(deposits, scattered * kMultipleScatterShare,
                    [&](double t) { return t >= edge && t < e ? 1.0 : 0.0; });
    }
    if (line.backscatter > 0.0) {
        addSmeared(rates, e / (1.0 + 2.0 * epsilon), line.rate * line.backscatter,
                   kBackscatterSigma);
    }
}

// The discriminator: channels below about channel 10 (15 keV) lose their counts.
void applyThreshold(Rates& rates) {
    constexpr double kThresholdChannel = 10.0;
    constexpr double kThresholdWidth = 0.8; // channels
    for (std::int32_t ch = 0; ch < kChannels; ++ch) {
        rates[static_cast<std::size_t>(ch)] /=
            1.0 + portableExp((kThresholdChannel - ch) / kThresholdWidth);
    }
}

// What the detector records from a set of lines plus a continuum already given as deposits.
Rates detectorRates(std::span<const GammaLine> lines, Rates deposits) {
    Rates rates(static_cast<std::size_t>(kChannels));
    for (const GammaLine& line : lines) {
        addLine(rates, deposits, line);
    }
    for (std::int32_t ch = 0; ch < kChannels; ++ch) {
        addSmeared(rates, energyOfChannel(ch), deposits[static_cast<std::size_t>(ch)], 0.0);
    }
    applyThreshold(rates);
    return rates;
}

// Line energies in keV, also the calibration points.
constexpr double kCs137Energy = 661.657;
constexpr double kCo60LowEnergy = 1173.228;
constexpr double kCo60HighEnergy = 1332.492;

// Point sources 15 cm from the detector face. Total efficiencies (interacting photons per
// emitted photon) are the 1.6 % solid angle times the crystal's interaction probability;
// peak-to-total ratios are typical of a 3"x3" crystal. Emission yields per decay from the
// decay data tables.
constexpr double kCs137Activity = 50e3; // Bq
constexpr double kCo60Activity = 40e3;  // Bq
// Source photons scattered back into the crystal by the walls and the bench, per interacting
// photon.
constexpr double kRoomBackscatter = 0.04;

Rates cs137Rates() {
    constexpr double kGammaEfficiency = 0.0130;
    constexpr double kXrayEfficiency = 0.0140;
    const std::array<GammaLine, 3> lines{{
        {kCs137Energy, kCs137Activity * 0.851 * kGammaEfficiency, 0.50, kRoomBackscatter},
        {32.06, kCs137Activity * 0.0563 * kXrayEfficiency, 1.0, 0.0}, // Ba K-alpha
        {36.40, kCs137Activity * 0.0134 * kXrayEfficiency, 1.0, 0.0}, // Ba K-beta
    }};
    return detectorRates(lines, Rates(static_cast<std::size_t>(kChannels)));
}

Rates co60Rates() {
    constexpr double kLowRate = kCo60Activity * 0.9985 * 0.0105;
    constexpr double kLowPeakToTotal = 0.32;
    constexpr double kHighRate = kCo60Activity * 0.9998 * 0.0100;
    constexpr double kHighPeakToTotal = 0.29;
    // Both photons of one decay absorbed whole together.
    constexpr double kSumRate =
        kLowRate * kLowPeakToTotal * kHighRate * kHighPeakToTotal / kCo60Activity;
    const std::array<GammaLine, 3> lines{{
        {kCo60LowEnergy, kLowRate, kLowPeakToTotal, kRoomBackscatter},
        {kCo60HighEnergy, kHighRate, kHighPeakToTotal, kRoomBackscatter},
        {kCo60LowEnergy + kCo60HighEnergy, kSumRate, 1.0, 0.0},
    }};
    return detectorRates(lines, Rates(static_cast<std::size_t>(kChannels)));
}

// An unshielded room: K-40 from the walls, Tl-208 from the thorium series, and a continuum
// falling steeply from the cosmic and scattered component.
Rates backgroundRates() {
    const std::array<GammaLine, 2> lines{{
        {1460.82, 2.0, 0.27, 0.0},
        {2614.51, 0.6, 0.18, 0.0},
    }};
    Rates deposits(static_cast<std::size_t>(kChannels));
    addDeposits(deposits, 60.0, [](double e) { return portableExp(-e / 200.0); });
    addDeposits(deposits, 25.0, [](double e) { return portableExp(-e / 900.0); });
    return detectorRates(lines, std::move(deposits));
}

Rates sumOf(std::initializer_list<const Rates*> parts) {
    Rates total(static_cast<std::size_t>(kChannels));
    for (const Rates* part : parts) {
        for (std::size_t ch = 0; ch < total.size(); ++ch) {
            total[ch] += (*part)[ch];
        }
    }
    return total;
}

struct Measurement {
    std::string_view name;    // UTF-8
    std::string_view comment; // UTF-8
    SystemTime created;
    double exposureSeconds = 0.0;
    Rates rates;
};

std::unique_ptr<Histogram> measure(const HistogramList& list, const Measurement& m,
                                   SplitMix64& random) {
    auto h = list.newHistogram();
    h->kind = kKindMeasured;
    h->name.assign(cp1251FromUtf8(m.name));
    h->comment.assign(cp1251FromUtf8(m.comment));
    h->created = m.created;
    h->exposure = m.exposureSeconds;
    for (std::size_t ch = 0; ch < h->channels.size(); ++ch) {
        h->channels[ch] = poisson(m.rates[ch] * m.exposureSeconds, random);
    }
    h->total = sumChannels(*h, 0, kChannels - 1);
    return h;
}

AppConfig demoConfig() {
    AppConfig config;
    constexpr std::array<double, 3> kPoints{kCs137Energy, kCo60LowEnergy, kCo60HighEnergy};
    config.energyCalibration.pointCount = static_cast<std::int32_t>(kPoints.size());
    for (std::size_t i = 0; i < kPoints.size(); ++i) {
        config.energyCalibration.pointChannel[i] = channelOfEnergy(kPoints[i]);
        config.energyCalibration.pointEnergy[i] = kPoints[i];
    }
    config.energyCalibration.termCount = static_cast<std::int32_t>(kCalibration.size());
    config.energyCalibration.coefficients = {kCalibration[0], kCalibration[1], kCalibration[2], 0.0,
                                             0.0};
    config.energyCalibration.channelScale = kChannels;
    config.plot.firstChannel = 0;
    config.plot.lastChannel = kChannels - 1;
    return config;
}

// Writes the three measurements and the calibration to path; false after reporting a failure.
bool writeDemo(const std::string& path) {
    const Rates cs137 = cs137Rates();
    const Rates co60 = co60Rates();
    const Rates background = backgroundRates();
    // 20 November 2026 is a Friday (day of week 5).
    const std::array<Measurement, 3> measurements{{
        {"Cs-137 + Co-60",
         "Источник Cs-137 + Co-60, NaI(Tl) 63x63 мм",
         {2026, 11, 5, 20, 10, 15, 0, 0},
         600.0,
         sumOf({&cs137, &co60, &background})},
        {"Фон", "Фон помещения", {2026, 11, 5, 20, 10, 27, 40, 0}, 600.0, background},
        {"Cs-137",
         "Источник Cs-137, NaI(Tl) 63x63 мм",
         {2026, 11, 5, 20, 10, 41, 5, 0},
         300.0,
         sumOf({&cs137, &background})},
    }};

    DocumentState document;
    HistogramList list(document);
    list.setChannelCount(kChannels);
    SplitMix64 random(20261120);
    for (const Measurement& m : measurements) {
        list.addHistogram(measure(list, m, random));
    }

    const WriteOutcome outcome = writeFileReplacing(path, encodeHistogramFile(list, demoConfig()));
    if (!outcome.written) {
        std::cerr << "kv_make_demo: cannot write " << path << ": " << outcome.reason << '\n';
    }
    return outcome.written;
}

} // namespace

} // namespace kv

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kv_make_demo OUTPUT.hst\n";
        return 1;
    }
    return kv::writeDemo(argv[1]) ? 0 : 1;
}

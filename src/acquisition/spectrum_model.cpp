#include "acquisition/spectrum_model.h"

#include "acquisition/analyser_port.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <numeric>

namespace kv {

namespace {

struct Line {
    double energy = 0.0; // keV
    double yield = 0.0;  // photons per decay
};

// Lines of at least about 1 % per decay from the LNHB evaluations (data/nuclides/gamma_lines.tsv
// and xray_lines.tsv), X-rays last.
constexpr Line kCs137[] = {
    {661.6553, 0.8501}, {31.8174, 0.0199}, {32.1939, 0.0366}, {36.4457, 0.01078}};
constexpr Line kCo60[] = {{1173.228, 0.9985}, {1332.492, 0.999826}};
constexpr Line kK40[] = {{1460.822, 0.1034}};
constexpr Line kAm241[] = {
    {59.5409, 0.3592}, {26.3446, 0.0231}, {13.852, 0.1302}, {16.96, 0.1858}, {21.16, 0.0483}};
constexpr Line kEu152[] = {{121.7817, 0.2841},  {244.6974, 0.0755}, {344.2785, 0.2659},
                           {411.1165, 0.02238}, {443.965, 0.0312},  {778.9045, 0.1297},
                           {867.380, 0.04243},  {964.079, 0.145},   {1085.837, 0.1013},
                           {1089.737, 0.0173},  {1112.076, 0.1341}, {1212.948, 0.01416},
                           {1299.142, 0.01633}, {1408.013, 0.2085}, {39.5229, 0.208},
                           {40.1186, 0.377},    {45.4777, 0.1178},  {46.6977, 0.0304}};
constexpr Line kBa133[] = {{53.1622, 0.0214},  {79.6142, 0.0263},  {80.9979, 0.3331},
                           {276.3989, 0.0713}, {302.8508, 0.1831}, {356.0129, 0.6205},
                           {383.8485, 0.0894}, {30.6254, 0.338},   {30.9731, 0.624},
                           {35.053, 0.1824},   {35.9003, 0.0445}};
// The Th-232 chain in equilibrium, per decay of each member: Ac-228, Pb-212 and Bi-212 with
// their X-rays here, and Tl-208, reached by Bi-212's 35.94 % alpha branch.
constexpr Line kTh232[] = {
    {338.320, 0.114},  {911.196, 0.262},  {968.960, 0.159},  {964.786, 0.0499}, {463.002, 0.0445},
    {794.942, 0.0431}, {209.248, 0.0397}, {270.245, 0.0355}, {328.004, 0.0304}, {1588.200, 0.0306},
    {129.065, 0.025},  {409.460, 0.0202}, {835.704, 0.017},  {772.291, 0.0152}, {1630.618, 0.0152},
    {238.632, 0.436},  {300.089, 0.0318}, {727.330, 0.0665}, {785.37, 0.0111},  {1620.738, 0.0151},
    {74.8157, 0.1007}, {77.1088, 0.169},  {87.347, 0.0577},  {89.954, 0.025},   {93.351, 0.041}};
constexpr Line kTl208[] = {{2614.511, 0.99755}, {583.187, 0.85}, {510.74, 0.225},
                           {860.53, 0.124},     {277.37, 0.066}, {763.45, 0.018}};
constexpr double kTl208Branch = 0.3594;

// Lines of one nuclide and its decays per decay of the source.
struct Member {
    std::span<const Line> lines;
    double share = 1.0;
};

std::vector<Member> membersOf(Source source) {
    switch (source) {
    case Source::Cs137:
        return {{kCs137}};
    case Source::Co60:
        return {{kCo60}};
    case Source::K40:
        return {{kK40}};
    case Source::Th232:
        return {{kTh232}, {kTl208, kTl208Branch}};
    case Source::Am241:
        return {{kAm241}};
    case Source::Eu152:
        return {{kEu152}};
    case Source::Ba133:
        return {{kBa133}};
    }
    return {};
}

// Phenomenological response of the two detectors, close to datasheet figures.
struct Response {
    double noiseFwhm;           // keV, electronic noise
    double statisticalFwhm2;    // keV: FWHM^2 grows by this much per keV deposited
    double windowCutoff;        // keV: the entrance window passes exp(-(cutoff / E)^3)
    double efficiencyKnee;      // keV: interaction probability 1 / (1 + (E / knee)^slope)
    double efficiencySlope;     //
    double peakToTotalKnee;     // keV: photopeak share 1 / (1 + (E / knee)^slope)
    double peakToTotalSlope;    //
    double multipleScatterFill; // share of the Compton events between the edge and the peak
};

// NaI(Tl): 7.0 % FWHM at 661.66 keV. HPGe: 0.9 keV FWHM of noise and 1.8 keV at 1332.5 keV.
constexpr Response kNaI{3.0, 0.070 * 0.070 * 661.66, 10.0, 1500.0, 0.8, 700.0, 1.3, 0.12};
constexpr Response kHPGe{0.9, (1.8 * 1.8 - 0.9 * 0.9) / 1332.5, 15.0, 300.0, 1.0, 250.0, 1.1, 0.05};

constexpr double kElectronMass = 510.999; // keV
constexpr double kFwhmPerSigma = 2.3548200450309493;
// Photons scattered back into the crystal by the shield and the bench, per interacting photon,
// and the spread of their energies over the range of angles (keV).
constexpr double kBackscatterShare = 0.04;
constexpr double kBackscatterSigma = 12.0;
// Lead K X-rays excited in the shield per emitted photon above the lead K edge (88.0 keV).
constexpr double kLeadKEdge = 88.0;
constexpr double kLeadFluorescence = 0.015;
constexpr Line kLeadXrays[] = {{74.97, 1.0}, {72.80, 0.6}, {84.94, 0.35}, {87.30, 0.1}};
// Photons scattered in the room that reach the crystal, per emitted photon above 100 keV, and
// the decay constant of their falling spectrum (keV).
constexpr double kRoomScatter = 0.10;
constexpr double kRoomScatterScale = 180.0;

using Rates = std::vector<double>;

double channelEnergy(int channel) {
    return kSimulatedKeVPerChannel * channel;
}

class ResponseModel {
public:
    explicit ResponseModel(const Response& r)
        : m_r(r), m_rates(kAnalyserChannels), m_deposits(kAnalyserChannels) {}

    double efficiency(double energy) const {
        const double window = std::exp(-std::pow(m_r.windowCutoff / energy, 3.0));
        return window / (1.0 + std::pow(energy / m_r.efficiencyKnee, m_r.efficiencySlope));
    }

    // A line of `rate` photons per second reaching the detector.
    void addLine(double energy, double rate) {
        const double interacting = rate * efficiency(energy);
        const double peakShare =
            1.0 / (1.0 + std::pow(energy / m_r.peakToTotalKnee, m_r.peakToTotalSlope));
        smear(energy, interacting * peakShare, 0.0);
        addCompton(energy, interacting * (1.0 - peakShare));
        const double backscattered = energy / (1.0 + 2.0 * energy / kElectronMass);
        smear(backscattered, interacting * kBackscatterShare * efficiency(backscattered),
              kBackscatterSigma);
    }

    // A continuum of `rate` photons per second falling as exp(-E / scale) below maxEnergy,
    // absorbed whole (they are soft enough).
    void addContinuum(double rate, double scale, double maxEnergy) {
        Rates shares(kAnalyserChannels);
        for (int c = 1; c < kAnalyserChannels && channelEnergy(c) < maxEnergy; ++c) {
            const double e = channelEnergy(c);
            shares[static_cast<std::size_t>(c)] = std::exp(-e / scale) * efficiency(e);
        }
        addDeposits(shares, rate);
    }

    // The recorded spectrum: the line responses plus the continuum deposits smeared by the
    // resolution.
    Rates finish() {
        for (int c = 0; c < kAnalyserChannels; ++c) {
            smear(channelEnergy(c), m_deposits[static_cast<std::size_t>(c)], 0.0);
        }
        return m_rates;
    }

private:
    double sigma(double energy) const {
        return std::sqrt(m_r.noiseFwhm * m_r.noiseFwhm +
                         m_r.statisticalFwhm2 * std::max(energy, 0.0)) /
               kFwhmPerSigma;
    }

    // A Gaussian of the resolution at `energy` (widened by extraSigma keV), integrated over
    // each channel, so that peaks narrower than a channel (HPGe) keep their area.
    void smear(double energy, double rate, double extraSigma) {
        if (rate <= 0.0) {
            return;
        }
        const double s = std::hypot(sigma(energy), extraSigma);
        const double half = 0.5 * kSimulatedKeVPerChannel;
        const int first = std::max(0, static_cast<int>((energy - 6.0 * s) / (2.0 * half)));
        const int last = std::min(kAnalyserChannels - 1,
                                  static_cast<int>((energy + 6.0 * s) / (2.0 * half)) + 1);
        const double scale = 1.0 / (s * std::numbers::sqrt2);
        double below = std::erf((channelEnergy(first) - half - energy) * scale);
        for (int c = first; c <= last; ++c) {
            const double above = std::erf((channelEnergy(c) + half - energy) * scale);
            m_rates[static_cast<std::size_t>(c)] += 0.5 * rate * (above - below);
            below = above;
        }
    }

    // Single Compton scattering by the Klein-Nishina cross-section over the electron energy T
    // (Knoll, Radiation Detection and Measurement, ch. 10), s = T / E, up to the edge; the
    // multiple-scatter share spread evenly from the edge to the peak.
    void addCompton(double energy, double rate) {
        const double epsilon = energy / kElectronMass;
        const double edge = energy * 2.0 * epsilon / (1.0 + 2.0 * epsilon);
        Rates single(kAnalyserChannels);
        Rates multiple(kAnalyserChannels);
        for (int c = 1; c < kAnalyserChannels; ++c) {
            const double t = channelEnergy(c);
            const double s = t / energy;
            if (t < edge) {
                single[static_cast<std::size_t>(c)] =
                    2.0 + s * s / (epsilon * epsilon * (1.0 - s) * (1.0 - s)) +
                    s / (1.0 - s) * (s - 2.0 / epsilon);
            } else if (t < energy) {
                multiple[static_cast<std::size_t>(c)] = 1.0;
            }
        }
        addDeposits(single, rate * (1.0 - m_r.multipleScatterFill));
        addDeposits(multiple, rate * m_r.multipleScatterFill);
    }

    void addDeposits(const Rates& shares, double rate) {
        const double total = std::accumulate(shares.begin(), shares.end(), 0.0);
        if (total <= 0.0) {
            return;
        }
        for (std::size_t c = 0; c < shares.size(); ++c) {
            m_deposits[c] += rate * shares[c] / total;
        }
    }

    Response m_r;
    Rates m_rates;
    Rates m_deposits;
};

} // namespace

std::optional<Source> sourceFromName(std::string_view name) {
    constexpr std::pair<std::string_view, Source> kNames[] = {
        {"cs137", Source::Cs137}, {"co60", Source::Co60},   {"k40", Source::K40},
        {"th232", Source::Th232}, {"am241", Source::Am241}, {"eu152", Source::Eu152},
        {"ba133", Source::Ba133}};
    for (const auto& [text, source] : kNames) {
        if (name == text) {
            return source;
        }
    }
    return std::nullopt;
}

std::optional<Detector> detectorFromName(std::string_view name) {
    if (name == "nai") {
        return Detector::NaI;
    }
    if (name == "hpge") {
        return Detector::HPGe;
    }
    return std::nullopt;
}

std::vector<double> spectrumShape(std::span<const Source> sources, Detector detector) {
    ResponseModel model(detector == Detector::NaI ? kNaI : kHPGe);
    double aboveLeadEdge = 0.0;
    double scatterable = 0.0;
    double highest = 0.0;
    for (const Source source : sources) {
        for (const Member& member : membersOf(source)) {
            for (const Line& line : member.lines) {
                const double photons = line.yield * member.share;
                model.addLine(line.energy, photons);
                aboveLeadEdge += line.energy > kLeadKEdge ? photons : 0.0;
                scatterable += line.energy > 100.0 ? photons : 0.0;
                highest = std::max(highest, line.energy);
            }
        }
    }
    for (const Line& xray : kLeadXrays) {
        model.addLine(xray.energy, kLeadFluorescence * aboveLeadEdge * xray.yield);
    }
    model.addContinuum(kRoomScatter * scatterable, kRoomScatterScale, highest);

    std::vector<double> shape = model.finish();
    const double total = std::accumulate(shape.begin(), shape.end(), 0.0);
    if (total > 0.0) {
        for (double& share : shape) {
            share /= total;
        }
    }
    return shape;
}

} // namespace kv

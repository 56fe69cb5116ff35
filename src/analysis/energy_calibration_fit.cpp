#include "analysis/energy_calibration_fit.h"

#include "analysis/exchange_sort.h"
#include "fitting/least_squares.h"
#include "model/append_format.h"
#include "model/strings.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

namespace kv {

std::size_t calibrationPointCount(const EnergyCalibration& calibration) {
    const std::int32_t n = calibration.pointCount;
    return n >= 0 && n <= kMaxCalibrationPoints ? static_cast<std::size_t>(n) : 0;
}

void sortCalibrationPoints(EnergyCalibration& calibration) {
    auto& x = calibration.pointChannel;
    auto& e = calibration.pointEnergy;
    exchangeSort(
        calibrationPointCount(calibration),
        [&](std::size_t i, std::size_t j) { return x[i] > x[j]; },
        [&](std::size_t i, std::size_t j) {
            std::swap(x[i], x[j]);
            std::swap(e[i], e[j]);
        });
}

AddCalibrationPointOutcome addCalibrationPoint(EnergyCalibration& calibration,
                                               double oneBasedChannel, double energyKeV) {
    const std::size_t n = calibrationPointCount(calibration);
    if (n == kMaxCalibrationPoints) {
        return AddCalibrationPointOutcome::TableFull;
    }
    calibration.pointChannel[n] = oneBasedChannel - 1.0;
    calibration.pointEnergy[n] = energyKeV;
    calibration.pointCount = static_cast<std::int32_t>(n + 1);
    sortCalibrationPoints(calibration);
    return AddCalibrationPointOutcome::Added;
}

void deleteCalibrationPoint(EnergyCalibration& calibration, std::size_t index) {
    const std::size_t n = calibrationPointCount(calibration);
    if (index >= n) {
        return;
    }
    for (std::size_t i = index; i + 1 < n; ++i) {
        calibration.pointChannel[i] = calibration.pointChannel[i + 1];
        calibration.pointEnergy[i] = calibration.pointEnergy[i + 1];
    }
    calibration.pointCount = static_cast<std::int32_t>(n - 1);
}

std::string calibrationListRow(double channel, double energyKeV) {
    return formatText("%0.2f    :     %0.2f", channel + 1.0, energyKeV);
}

CalibrateOutcome calibrate(EnergyCalibration& calibration, int degree, std::int32_t channelCount) {
    const std::size_t n = calibrationPointCount(calibration);
    if (n == 0) {
        // Zero terms would map every channel to 0 keV.
        return CalibrateOutcome::NoPoints;
    }
    if (n == 1) {
        if (calibration.pointChannel[0] == 0.0) {
            return CalibrateOutcome::Unchanged;
        }
        calibration.channelScale = 0;
        return CalibrateOutcome::SwitchedOff;
    }
    const auto terms =
        std::min(static_cast<std::size_t>(std::clamp(degree, 1, kMaxCalibrationDegree) + 1), n);
    std::array<double, kMaxCalibrationTerms> coefficients{};
    if (!fitPolynomial(std::span(calibration.pointChannel).first(n),
                       std::span(calibration.pointEnergy).first(n),
                       std::span(coefficients).first(terms))) {
        return CalibrateOutcome::Singular;
    }
    calibration.termCount = static_cast<std::int32_t>(terms);
    calibration.coefficients = coefficients;
    calibration.channelScale = channelCount;
    return CalibrateOutcome::Fitted;
}

std::optional<std::string> calibrationCopyText(const EnergyCalibration& calibration,
                                               std::int32_t channelCount) {
    const std::size_t n = calibrationPointCount(calibration);
    if (n == 0) {
        return std::nullopt;
    }
    std::string text(kv::text(StringId::EnergyCalibrationTableHeader));
    for (std::size_t i = 0; i < n; ++i) {
        const double channel = calibration.pointChannel[i];
        const double energy = calibration.pointEnergy[i];
        text += formatText("%0.2f\t%0.2f\t%0.4f\r\n", channel, energy,
                           calibration.channelToEnergy(channel, channelCount) - energy);
    }
    return text;
}

} // namespace kv

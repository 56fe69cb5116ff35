#include "analysis/efficiency.h"

#include "analysis/exchange_sort.h"
#include "model/append_format.h"
#include "model/strings.h"
#include "model/text_scan.h"

#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace kv {

namespace {

// Between (e0, v0) and (e1, v1) at energy, the logarithm of the value or the value itself
// taken as linear in energy. Log-linear needs both values positive; otherwise linear.
double interpolate(double e0, double v0, double e1, double v1, double energy, bool logarithmic) {
    if (logarithmic && v0 > 0.0 && v1 > 0.0) {
        const double l0 = std::log(v0);
        return std::exp(l0 + (std::log(v1) - l0) * (energy - e0) / (e1 - e0));
    }
    return v0 + (energy - e0) / (e1 - e0) * (v1 - v0);
}

} // namespace

std::size_t efficiencyPointCount(const EfficiencyCalibration& efficiency) {
    const std::int32_t n = efficiency.efficiencyPointCount;
    return n >= 0 && n <= static_cast<std::int32_t>(kMaxEfficiencyPoints)
               ? static_cast<std::size_t>(n)
               : 0;
}

double efficiencyAt(const EfficiencyCalibration& efficiency, double energyKeV) {
    const std::size_t n = efficiencyPointCount(efficiency);
    const auto& e = efficiency.efficiencyEnergy;
    const auto& v = efficiency.efficiencyValue;
    if (n == 0) {
        return 1.0;
    }
    if (n == 1) {
        return v[0];
    }
    if (energyKeV <= e[0]) {
        return e[0] == 0.0 ? v[0] : energyKeV / e[0] * v[0];
    }
    if (energyKeV >= e[n - 1]) {
        if (e[n - 1] == e[n - 2]) {
            return v[n - 1];
        }
        return interpolate(e[n - 2], v[n - 2], e[n - 1], v[n - 1], energyKeV, true);
    }
    // e[0] < E < e[n - 1], so e[k - 1] < E <= e[k]: the span is never empty.
    std::size_t k = 1;
    while (k < n - 1 && e[k] < energyKeV) {
        ++k;
    }
    return interpolate(e[k - 1], v[k - 1], e[k], v[k], energyKeV,
                       energyKeV >= kLogInterpolationFromKeV);
}

std::optional<double> efficiencyCorrected(double rate, double efficiency) {
    if (!(efficiency > 0.0)) {
        return std::nullopt;
    }
    const double corrected = rate / efficiency;
    return std::isfinite(corrected) ? std::optional(corrected) : std::nullopt;
}

void sortEfficiencyPoints(EfficiencyCalibration& efficiency) {
    auto& e = efficiency.efficiencyEnergy;
    auto& v = efficiency.efficiencyValue;
    exchangeSort(
        efficiencyPointCount(efficiency), [&](std::size_t i, std::size_t j) { return e[i] > e[j]; },
        [&](std::size_t i, std::size_t j) {
            std::swap(e[i], e[j]);
            std::swap(v[i], v[j]);
        });
}

AddEfficiencyPointOutcome addEfficiencyPoint(EfficiencyCalibration& efficiency, double energyKeV,
                                             double countRate, double emissionRate) {
    const std::size_t n = efficiencyPointCount(efficiency);
    if (n == kMaxEfficiencyPoints) {
        return AddEfficiencyPointOutcome::TableFull;
    }
    if (!(emissionRate > 0.0)) {
        return AddEfficiencyPointOutcome::NoEmissionRate;
    }
    efficiency.efficiencyEnergy[n] = energyKeV;
    efficiency.efficiencyValue[n] = countRate / emissionRate;
    efficiency.efficiencyPointCount = static_cast<std::int32_t>(n + 1);
    sortEfficiencyPoints(efficiency);
    return AddEfficiencyPointOutcome::Added;
}

void deleteEfficiencyPoint(EfficiencyCalibration& efficiency, std::size_t index) {
    const std::size_t n = efficiencyPointCount(efficiency);
    if (index >= n) {
        return;
    }
    for (std::size_t i = index; i + 1 < n; ++i) {
        efficiency.efficiencyEnergy[i] = efficiency.efficiencyEnergy[i + 1];
        efficiency.efficiencyValue[i] = efficiency.efficiencyValue[i + 1];
    }
    efficiency.efficiencyPointCount = static_cast<std::int32_t>(n - 1);
}

std::string efficiencyListRow(double energyKeV, double efficiency) {
    return formatText("%0.2f    :     %0.2E", energyKeV, efficiency);
}

std::optional<std::string> efficiencyCopyText(const EfficiencyCalibration& efficiency) {
    const std::size_t n = efficiencyPointCount(efficiency);
    if (n == 0) {
        return std::nullopt;
    }
    std::string text(kv::text(StringId::EfficiencyTableHeader));
    for (std::size_t i = 0; i < n; ++i) {
        text += formatText("%0.2f\t%0.2E\r\n", efficiency.efficiencyEnergy[i],
                           efficiency.efficiencyValue[i]);
    }
    return text;
}

bool pasteEfficiencyPoints(EfficiencyCalibration& efficiency, std::string_view text) {
    // Read aside first: a text without points leaves the table as it was.
    std::vector<std::pair<double, double>> points;
    try {
        for (const std::string_view line : splitLines(text)) {
            if (points.size() == kMaxEfficiencyPoints) {
                break;
            }
            if (const auto pair = scanNumberPair(line)) {
                points.push_back(*pair);
            }
        }
    } catch (const std::bad_alloc&) {
        return false; // the lines of a clipboard text too long for the memory
    }
    if (points.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        efficiency.efficiencyEnergy[i] = points[i].first;
        efficiency.efficiencyValue[i] = points[i].second;
    }
    efficiency.efficiencyPointCount = static_cast<std::int32_t>(points.size());
    sortEfficiencyPoints(efficiency);
    return true;
}

} // namespace kv

#include "fitting/model_counts.h"

#include <cmath>
#include <limits>

namespace kv {

std::int32_t modelCount(double value) {
    using Limits = std::numeric_limits<std::int32_t>;
    if (std::isnan(value)) {
        return 0;
    }
    // Converting a double beyond the target's range is undefined, so hold it first.
    if (value <= Limits::min()) {
        return Limits::min();
    }
    if (value >= Limits::max()) {
        return Limits::max();
    }
    return static_cast<std::int32_t>(value);
}

void fillModelCounts(std::span<std::int32_t> counts, const ComponentTable& table, int component) {
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const int x = static_cast<int>(i);
        counts[i] =
            modelCount(component < 0 ? table.modelValue(x) : table.componentValue(component, x));
    }
}

void subtractModel(std::span<std::int32_t> counts, const ComponentTable& table, FitRegion region) {
    if (!region.fits(counts.size())) {
        return;
    }
    for (int x = region.firstChannel; x <= region.lastChannel; ++x) {
        std::int32_t& count = counts[static_cast<std::size_t>(x)];
        count = modelCount(count - table.modelValue(x));
    }
}

} // namespace kv

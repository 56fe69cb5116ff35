#pragma once

// The component model turned into counts: the curves the approximation window draws over the
// spectrum and the residual histogram it makes. Values are truncated toward zero, as the counts
// of a histogram are whole numbers.

#include "fitting/component_model.h"

#include <cstdint>
#include <span>

namespace kv {

// A model value as a count: truncated toward zero, held to the range of a 32-bit count; not a
// number gives 0.
std::int32_t modelCount(double value);

// Channel i of counts becomes the sum of all components at i (component < 0) or the value of
// that one component at i, over every channel of counts.
void fillModelCounts(std::span<std::int32_t> counts, const ComponentTable& table,
                     int component = -1);

// Subtracts the model from the counts of the region (both ends included), truncating each
// difference toward zero and holding it to the range of a count; channels outside the region
// and a region not inside counts are left alone.
void subtractModel(std::span<std::int32_t> counts, const ComponentTable& table, FitRegion region);

} // namespace kv

#include "model/settings.h"

#include <algorithm>

namespace kv {

void clampVisibleRange(PlotSettings& plot, std::int32_t channelCount) {
    const std::int32_t count = std::max(channelCount, 1);
    if (plot.firstChannel < 0 || plot.firstChannel >= count) {
        plot.firstChannel = 0;
    }
    if (plot.lastChannel < 0 || plot.lastChannel >= count) {
        plot.lastChannel = count - 1;
    }
    if (plot.firstChannel >= plot.lastChannel) {
        plot.firstChannel = 0;
        plot.lastChannel = count - 1;
    }
}

} // namespace kv

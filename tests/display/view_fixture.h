#pragma once

// A list, its settings and a view: what the plot's geometry, the cursor and the painter work on.

#include "display/plot_view.h"
#include "model/app_config.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kv::test {

class ViewFixture : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};
    AppConfig config;
    PlotView view;

    // Adds a histogram of these channels, which becomes current; the list takes their count.
    void add(std::vector<std::int32_t> channels, bool marked = false, std::uint32_t total = 0,
             double exposure = 0.0) {
        list.setChannelCount(static_cast<std::int32_t>(channels.size()));
        auto h = list.newHistogram();
        h->channels = std::move(channels);
        h->kind = marked ? kMarkedBit : 0;
        h->total = total;
        h->exposure = exposure;
        list.addHistogram(std::move(h));
    }

    void showRange(std::int32_t first, std::int32_t last) {
        config.plot.firstChannel = first;
        config.plot.lastChannel = last;
    }
};

} // namespace kv::test

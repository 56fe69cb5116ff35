// Painting the plot of 1 and of 50 marked 2048-channel histograms into a 1920 x 1080 image,
// beside clearing the same image and drawing the same points as bare polylines, so the cost of
// the scaling, axes, labels and markers shows as a ratio that does not depend on the machine.
// Then 50 histograms of 65,536 channels in a 1400-pixel-wide plot, where each curve is drawn
// through its pixel columns' envelopes, beside the bare polylines through every channel.

#include "display/plot_painter.h"
#include "display/plot_view.h"
#include "model/app_config.h"
#include "model/document_state.h"
#include "model/histogram_list.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr std::int32_t kChannelCount = 2048;
constexpr std::int32_t kLargeChannelCount = 65536;
constexpr PixelRect kPane{0, 0, 1920, 1080};
// 1400 pixels between the axes.
constexpr PixelRect kLargePane{0, 0, 1437, 800};

// A continuum with a few lines and some noise, different per histogram so the curves do not
// coincide; the lines keep their widths in channels whatever the channel count.
std::vector<std::int32_t> spectrum(int seed, std::int32_t channelCount) {
    std::vector<std::int32_t> channels(static_cast<std::size_t>(channelCount));
    const double stretch = channelCount / double(kChannelCount);
    for (std::int32_t c = 0; c < channelCount; ++c) {
        const double e = c / stretch;
        double value = 5000.0 * std::exp(-e / 600.0) + 20.0 + (c * 7919 + seed * 104729) % 13;
        for (const double centre : {300.0 + seed, 662.0, 1173.0 + 2 * seed, 1332.0}) {
            value += 4000.0 * std::exp(-0.5 * std::pow((e - centre) / 6.0, 2.0));
        }
        channels[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(value);
    }
    return channels;
}

struct Scene {
    DocumentState document;
    HistogramList list{document};
    AppConfig config;
    PlotView view;
    PlotPainter plot;
    PixelRect pane;
    QImage image;

    explicit Scene(int histograms, std::int32_t channelCount = kChannelCount,
                   const PixelRect& paneRect = kPane)
        : pane(paneRect), image(paneRect.right, paneRect.bottom, QImage::Format_RGB32) {
        config.plot.firstChannel = 0;
        config.plot.lastChannel = channelCount - 1;
        config.plot.showSelectedOnly = 0;
        list.setChannelCount(channelCount);
        for (int i = 0; i < histograms; ++i) {
            auto h = list.newHistogram();
            h->channels = spectrum(i, channelCount);
            h->kind = kMarkedBit;
            list.addHistogram(std::move(h));
        }
    }

    void paint() {
        QPainter painter(&image);
        plot.paintPlotPane(painter, pane, view, config, list);
    }
};

void paintPlot(benchmark::State& state, Scene& scene) {
    for (auto _ : state) {
        scene.paint();
        benchmark::ClobberMemory();
    }
}

// Every channel's point, mapped as the plot maps it, and those points drawn as polylines.
void barePolylines(benchmark::State& state, Scene& scene) {
    scene.paint(); // for the rectangle and range the points are mapped into
    std::vector<std::vector<QPoint>> curves;
    for (int i = 0; i < scene.list.histogramCount(); ++i) {
        const Histogram& h = *scene.list.histogramAt(i);
        std::vector<QPoint>& points = curves.emplace_back();
        for (std::size_t c = 0; c < h.channels.size(); ++c) {
            const PixelPoint p = mapToPixel(scene.view, scene.config.plot, static_cast<double>(c),
                                            h.channels[c], 1.0, scene.view.plotRect);
            points.emplace_back(p.x, p.y);
        }
    }
    for (auto _ : state) {
        QPainter painter(&scene.image);
        painter.fillRect(scene.image.rect(), Qt::white);
        for (const auto& points : curves) {
            painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        }
        painter.end();
        benchmark::ClobberMemory();
    }
}

void BM_PaintPlot(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    paintPlot(state, scene);
}

void BM_BarePolylines(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    barePolylines(state, scene);
}

void BM_PaintPlot65536Channels(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), kLargeChannelCount, kLargePane);
    paintPlot(state, scene);
}

void BM_BarePolylines65536Channels(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), kLargeChannelCount, kLargePane);
    barePolylines(state, scene);
}

BENCHMARK(BM_BarePolylines)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlot)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePolylines65536Channels)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlot65536Channels)->Arg(50)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace kv

// Fonts need a QGuiApplication; without a display the offscreen platform stands in.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

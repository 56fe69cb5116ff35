// Painting the plot of 1 and of 50 marked 2048-channel histograms into a 1920 x 1080 image,
// beside clearing the same image and drawing the same points as bare polylines, so the cost of
// the scaling, axes, labels and markers shows as a ratio that does not depend on the machine.

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
constexpr PixelRect kPane{0, 0, 1920, 1080};

// A continuum with a few lines, different per histogram so the curves do not coincide.
std::vector<std::int32_t> spectrum(int seed) {
    std::vector<std::int32_t> channels(kChannelCount);
    for (std::int32_t c = 0; c < kChannelCount; ++c) {
        double value = 5000.0 * std::exp(-c / 600.0) + 20.0 + (c * 7919 + seed * 104729) % 13;
        for (const double centre : {300.0 + seed, 662.0, 1173.0 + 2 * seed, 1332.0}) {
            value += 4000.0 * std::exp(-0.5 * std::pow((c - centre) / 6.0, 2.0));
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
    QImage image{kPane.right, kPane.bottom, QImage::Format_RGB32};

    explicit Scene(int histograms) {
        config.plot.firstChannel = 0;
        config.plot.lastChannel = kChannelCount - 1;
        config.plot.showSelectedOnly = 0;
        for (int i = 0; i < histograms; ++i) {
            auto h = list.newHistogram();
            h->channels = spectrum(i);
            h->kind = kMarkedBit;
            list.addHistogram(std::move(h));
        }
    }

    void paint() {
        QPainter painter(&image);
        plot.paintPlotPane(painter, kPane, view, config, list);
    }
};

void BM_PaintPlot(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        scene.paint();
        benchmark::ClobberMemory();
    }
}

void BM_BarePolylines(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    scene.paint(); // for the rectangle and range the points are mapped into
    std::vector<std::vector<QPoint>> curves;
    for (int i = 0; i < scene.list.histogramCount(); ++i) {
        const Histogram& h = *scene.list.histogramAt(i);
        std::vector<QPoint>& points = curves.emplace_back();
        for (std::int32_t c = 0; c < kChannelCount; ++c) {
            const PixelPoint p = mapToPixel(scene.view, scene.config.plot, c, h.channels[c], 1.0,
                                            scene.view.plotRect);
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

BENCHMARK(BM_BarePolylines)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPlot)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

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

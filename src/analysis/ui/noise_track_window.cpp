#include "analysis/ui/noise_track_window.h"

#include "analysis/noise_track.h"
#include "model/cp1251.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <string>
#include <utility>

namespace kv {

namespace {

constexpr int kHelpContext = 18;

} // namespace

NoiseTrackWindow::NoiseTrackWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    using C = Control;
    setWindowTitle(qs("Шумовая дорожка"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [id, caption] :
         {std::pair(C::Name, "Имя:"), std::pair(C::Mean, "Среднее:"), std::pair(C::Sigma, "Сигма:"),
          std::pair(C::PoissonSigma, "Сигма Пуассон:")}) {
        grid->addWidget(new QLabel(qs(caption)), row, 0);
        auto* field = m_controls.add(id, new QLineEdit(this));
        field->setReadOnly(true);
        grid->addWidget(field, row++, 1);
    }
    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] :
         {std::pair(C::Ok, "OK"), std::pair(C::Cancel, "Cancel"), std::pair(C::Help, "Help")}) {
        buttons->addWidget(
            m_controls.addButton(id, new QPushButton(qs(label), this), this,
                                 [this](C clicked) { command(static_cast<int>(clicked)); }));
    }
    grid->addLayout(buttons, row, 0, 1, 2);
    for (const Notification n : {Notification::CurrentHistogramChanged, Notification::ListChanged,
                                 Notification::VisibleRangeChanged}) {
        follow(n, kRefreshCommand);
    }
    recompute();
}

void NoiseTrackWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::Ok:
    case Control::Cancel:
        close();
        return;
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        return;
    default:
        break;
    }
    if (id == kRefreshCommand) {
        recompute();
    }
}

void NoiseTrackWindow::recompute() {
    const AppState& state = m_services.state();
    const Histogram* h = state.list.currentHistogram();
    NoiseTrackTexts texts;
    std::string name;
    if (h) {
        const PlotSettings& plot = state.config.plot;
        texts = noiseTrackTexts(noiseTrack(h->channels, plot.firstChannel, plot.lastChannel));
        name = utf8FromCp1251(h->name.str());
    }
    for (const auto& [id, text] :
         {std::pair(Control::Name, &name), std::pair(Control::Mean, &texts.mean),
          std::pair(Control::Sigma, &texts.sigma),
          std::pair(Control::PoissonSigma, &texts.poissonSigma)}) {
        static_cast<QLineEdit*>(control(id))->setText(QString::fromStdString(*text));
    }
}

void openNoiseTrack(MainWindowServices& services, QWidget* parent) {
    WindowRegistry& windows = services.state().windows;
    if (windows.send(WindowKind::NoiseTrack, kRefreshCommand) == 0) {
        windows.open(WindowKind::NoiseTrack,
                     [&] { return std::make_unique<NoiseTrackWindow>(services, parent); });
    }
}

} // namespace kv

#include "fitting/ui/single_peak_window.h"

#include "display/cursor.h"
#include "gui/dialog_fields.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace kv {

namespace {

// The main window's topic, which describes this window.
constexpr int kHelpContext = 28;
// Parameters of the fit without and with the constant level.
constexpr int kPeakParameters = 3;

// The rows of value and error fields with their captions and units.
struct ReadoutRow {
    const char* caption;
    SinglePeakWindow::Control value;
    SinglePeakWindow::Control error;
    const char* unit;
};

} // namespace

SinglePeakWindow::SinglePeakWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    using C = Control;
    setWindowTitle(QString::fromUtf8("Аппроксимация пика"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QString::fromUtf8("Значение")), 0, 1);
    grid->addWidget(new QLabel(QString::fromUtf8("Сигма")), 0, 2);
    int row = 1;
    for (const ReadoutRow& r :
         {ReadoutRow{"Интенсивность:", C::Intensity, C::IntensityError, "имп/с"},
          ReadoutRow{"Положение:", C::Channel, C::ChannelError, "канал"},
          ReadoutRow{"Положение:", C::Energy, C::EnergyError, "кэВ"},
          ReadoutRow{"ПШПМ:", C::Fwhm, C::FwhmError, "канал"},
          ReadoutRow{"ПШПМ:", C::FwhmKeV, C::FwhmKeVError, "кэВ"}}) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.caption)), row, 0);
        for (const auto& [id, column] : {std::pair(r.value, 1), std::pair(r.error, 2)}) {
            auto* edit = m_controls.add(id, new QLineEdit(this));
            edit->setReadOnly(true);
            grid->addWidget(edit, row, column);
        }
        grid->addWidget(new QLabel(QString::fromUtf8(r.unit)), row, 3);
        ++row;
    }
    m_fitConstant = m_controls.add(
        C::FitConstant, new QCheckBox(QString::fromUtf8("Учитывать постоянный уровень"), this));
    grid->addWidget(m_fitConstant, row++, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] :
         {std::pair(C::Fit, "Попытка"), std::pair(C::Calibration, "Калибровка"),
          std::pair(C::Help, "Помощь"), std::pair(C::Close, "Закрыть")}) {
        auto* button = m_controls.add(id, new QPushButton(QString::fromUtf8(label), this));
        connect(button, &QPushButton::clicked, this, [this, id] { command(static_cast<int>(id)); });
        buttons->addWidget(button);
    }
    grid->addLayout(buttons, row, 0, 1, 4);

    follow(Notification::CursorMoved, kCursorMovedCommand);
    follow(Notification::CursorSettled, kCursorMovedCommand);
    // The keV fields follow a new calibration at once.
    follow(Notification::CalibrationChanged, kRefreshCommand);
    followCursor();
}

void SinglePeakWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::Fit:
        fit();
        return;
    case Control::Calibration:
        m_services.runCommand(Command::Calibration);
        return;
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        return;
    case Control::Close:
        close();
        return;
    default:
        break;
    }
    const Histogram* current = m_services.state().list.currentHistogram();
    if (id == kRefreshCommand && m_showsFit && current) {
        showFit(*current);
    } else if (id == kCursorMovedCommand || id == kRefreshCommand) {
        followCursor();
    }
}

QLineEdit& SinglePeakWindow::field(Control id) const {
    return *m_controls.get<QLineEdit>(id);
}

void SinglePeakWindow::followCursor() {
    AppState& state = m_services.state();
    // The next fit starts here; the calibration windows take it as the current peak position.
    state.peakFit.centre =
        showCursorPosition(state, field(Control::Channel), field(Control::Energy));
    m_showsFit = false;
    m_fitConstant->setChecked(state.config.singlePeakOption != 0);
}

void SinglePeakWindow::fit() {
    using C = Control;
    AppState& state = m_services.state();
    state.config.singlePeakOption = m_fitConstant->isChecked() ? 1 : 0;
    const Histogram* h = state.list.currentHistogram();
    if (!h) {
        return;
    }
    const double startPosition = state.peakFit.centre;
    const std::int32_t channels = state.list.channelCount();
    // A position off the spectrum (or not a number) starts nowhere: the fit refuses it.
    const double rounded = roundHalfDown(startPosition);
    const int start = rounded >= 0.0 && rounded < channels ? static_cast<int>(rounded) : -1;
    if (!fitPeakAt(state.peakFit, h->channels, start,
                   kPeakParameters + state.config.singlePeakOption)
             .converged()) {
        // The start position stays for the next try, as the fields show it.
        state.peakFit.centre = startPosition;
        m_showsFit = false;
        for (const C id : {C::Intensity, C::IntensityError, C::ChannelError, C::EnergyError,
                           C::Fwhm, C::FwhmError, C::FwhmKeV, C::FwhmKeVError}) {
            field(id).setText(QStringLiteral("?"));
        }
        return;
    }
    const SinglePeakReadout shown = showFit(*h);
    const PeakFit& peak = state.peakFit;
    // The calibration windows take the peak; the efficiency one its rate as measured.
    const HandedPeak handed{
        .position = peak.centre, .energy = shown.energy, .rate = peak.area / h->rateExposure()};
    state.windows.handPeak(handed);
    // Held within the visible range, so the cursor never leaves the plot.
    placeCursorAt(state.plotView, state.config.plot, peak.centre);
    m_services.repaintPlot();
}

SinglePeakReadout SinglePeakWindow::showFit(const Histogram& h) {
    using C = Control;
    const AppState& state = m_services.state();
    const SinglePeakReadout shown = singlePeakReadout(
        state.peakFit, state.config.energyCalibration, state.list.channelCount(), h.rateExposure(),
        state.config.identification.efficiencyCorrection != 0 ? &state.config.efficiency : nullptr);
    for (const auto& [id, value] :
         {std::pair(C::Intensity, shown.intensity),
          std::pair(C::IntensityError, shown.intensityError), std::pair(C::Channel, shown.channel),
          std::pair(C::ChannelError, shown.channelError), std::pair(C::Energy, shown.energy),
          std::pair(C::EnergyError, shown.energyError), std::pair(C::Fwhm, shown.fwhm),
          std::pair(C::FwhmError, shown.fwhmError), std::pair(C::FwhmKeV, shown.fwhmKeV),
          std::pair(C::FwhmKeVError, shown.fwhmKeVError)}) {
        setDialogDouble(field(id), "%0.2f", value);
    }
    m_showsFit = true;
    return shown;
}

void openSinglePeak(MainWindowServices& services, QWidget* parent) {
    services.state().windows.open(WindowKind::SinglePeak, [&] {
        return std::make_unique<SinglePeakWindow>(services, parent);
    });
}

} // namespace kv

#include "acquisition/ui/progress_window.h"

#include "acquisition/measurement.h"
#include "model/energy_calibration.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

// The bar's unit: hundredths of a second. Even the longest exposure the tick counter times,
// 49.7 days, is 4.3 x 10^8 of them, well inside the bar's int range.
constexpr std::uint32_t kBarStepMs = 10;

} // namespace

ProgressWindow::ProgressWindow(AcquisitionRuns& runs, double exposureSeconds, QWidget* parent)
    : ToolWindow(parent), m_runs(runs) {
    setWindowTitle(qs("Измерение"));
    const std::uint32_t exposureMs = exposureMilliseconds(exposureSeconds);
    auto* layout = new QVBoxLayout(this);
    auto* bar = m_controls.add(Control::Bar, new QProgressBar(this));
    // A bar of no length would show an endless busy animation instead of a full bar.
    bar->setRange(0, static_cast<int>(std::max<std::uint32_t>(exposureMs / kBarStepMs, 1)));
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    layout->addWidget(bar);

    auto* remainingRow = new QHBoxLayout;
    remainingRow->addWidget(new QLabel(qs("Оставшееся время, сек"), this));
    auto* remaining = m_controls.add(Control::Remaining, new QLineEdit(this));
    remaining->setReadOnly(true);
    // The keyboard goes to the buttons.
    remaining->setFocusPolicy(Qt::NoFocus);
    remaining->setText(QString::number(exposureMs / 1000));
    remainingRow->addWidget(remaining);
    layout->addLayout(remainingRow);

    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] :
         {std::pair{Control::Abort, "Прервать"}, std::pair{Control::ReadOut, "Контроль"}}) {
        auto* button = m_controls.add(id, new QPushButton(qs(label), this));
        // Enter in the window presses neither: a stop or a read-out is always a choice.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, id = id] { command(static_cast<int>(id)); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
}

void ProgressWindow::command(int id) {
    switch (id) {
    case kTickCommand:
        showStatus();
        break;
    case static_cast<int>(Control::ReadOut):
        m_runs.requestReadOut();
        break;
    case static_cast<int>(Control::Abort):
        reject();
        break;
    default:
        break;
    }
}

void ProgressWindow::reject() {
    m_runs.abort();
    ToolWindow::reject();
}

void ProgressWindow::showStatus() {
    const RunProgress progress = m_runs.status().progress;
    auto* bar = m_controls.get<QProgressBar>(Control::Bar);
    bar->setValue(
        static_cast<int>(std::min<std::uint32_t>(progress.elapsedMs / kBarStepMs, bar->maximum())));
    // Whole seconds, halves rounded down: 1.25 s left shows 1, 2.5 s shows 2.
    const auto remaining = static_cast<qlonglong>(roundHalfDown(progress.remainingMs() * 0.001));
    auto* field = m_controls.get<QLineEdit>(Control::Remaining);
    if (field->text().toLongLong() != remaining) {
        field->setText(QString::number(remaining));
    }
}

} // namespace kv

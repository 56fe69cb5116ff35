#include "acquisition/ui/series_progress_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

SeriesProgressWindow::SeriesProgressWindow(AcquisitionRuns& runs, QWidget* parent)
    : ToolWindow(parent), m_runs(runs) {
    setWindowTitle(QString::fromUtf8("Тихо, идут измерения."));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QString::fromUtf8("Количество измерений"), this));
    auto* count = m_controls.add(Control::Count, new QLineEdit(this));
    count->setReadOnly(true);
    count->setFocusPolicy(Qt::NoFocus);
    count->setText(QString::number(runs.status().seriesCompleted));
    row->addWidget(count);
    layout->addLayout(row);

    auto* abort =
        m_controls.add(Control::Abort, new QPushButton(QString::fromUtf8("Прервать"), this));
    // Enter does not stop a series by accident.
    abort->setAutoDefault(false);
    connect(abort, &QPushButton::clicked, this, [this] { reject(); });
    layout->addWidget(abort, 0, Qt::AlignHCenter);
}

void SeriesProgressWindow::command(int id) {
    if (id == kTickCommand) {
        m_controls.get<QLineEdit>(Control::Count)
            ->setText(QString::number(m_runs.status().seriesCompleted));
    } else if (id == static_cast<int>(Control::Abort)) {
        reject();
    }
}

void SeriesProgressWindow::reject() {
    m_runs.abort();
    ToolWindow::reject();
}

} // namespace kv

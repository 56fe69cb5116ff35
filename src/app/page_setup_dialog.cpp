#include "app/page_setup_dialog.h"

#include "gui/dialog_controls.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kIconSize = 16;

// A 16 x 16 page (12 x 16 outline) with the part the plot goes on filled.
QIcon positionIcon(int position) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PrintSettings page;
    page.marginLeft = page.marginRight = page.marginTop = page.marginBottom = 0;
    page.pagePosition = position;
    const PageRect part = printRectangle(page, 12, 16, 1.0, 1.0);
    painter.fillRect(QRect(2 + part.left, part.top, part.right - part.left, part.bottom - part.top),
                     Qt::darkBlue);
    painter.setPen(Qt::black);
    painter.drawRect(2, 0, 11, 15);
    return QIcon(pixmap);
}

} // namespace

PageSetupDialog::PageSetupDialog(PrintSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(qs("Параметры страницы"));
    auto* layout = new QVBoxLayout(this);

    auto* margins = new QGroupBox(qs("Отступы (мм):"), this);
    auto* marginForm = new QFormLayout(margins);
    const char* labels[4] = {"Левый:", "Правый:", "Верхний:", "Нижний:"};
    const std::int32_t values[4] = {settings.marginLeft, settings.marginRight, settings.marginTop,
                                    settings.marginBottom};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = new QSpinBox(margins);
        m_margins[i]->setRange(0, kMaxMarginMm);
        m_margins[i]->setValue(std::clamp(values[i], 0, kMaxMarginMm));
        marginForm->addRow(qs(labels[i]), m_margins[i]);
    }
    layout->addWidget(margins);

    // The whole page, then the halves, then the quarters.
    auto* positions = new QGridLayout;
    auto* group = new QButtonGroup(this);
    for (int p = 0; p < kPagePositionCount; ++p) {
        auto* button = new QRadioButton(this);
        button->setIcon(positionIcon(p));
        button->setIconSize(QSize(kIconSize, kIconSize));
        group->addButton(button, p);
        m_positions[p] = button;
        positions->addWidget(button, p == 0 ? 0 : (p - 1) / 4 + 1, p == 0 ? 0 : (p - 1) % 4);
    }
    const bool known = settings.pagePosition >= 0 && settings.pagePosition < kPagePositionCount;
    m_positions[known ? settings.pagePosition : 0]->setChecked(true);
    layout->addLayout(positions);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(qs("OK"), this);
    auto* cancel = new QPushButton(qs("Отменить"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QSpinBox* PageSetupDialog::margin(Control id) const {
    switch (id) {
    case Control::Left:
        return m_margins[0];
    case Control::Right:
        return m_margins[1];
    case Control::Top:
        return m_margins[2];
    case Control::Bottom:
        return m_margins[3];
    default:
        return nullptr;
    }
}

QAbstractButton* PageSetupDialog::positionButton(int position) const {
    return position >= 0 && position < kPagePositionCount ? m_positions[position] : nullptr;
}

void PageSetupDialog::accept() {
    m_settings.marginLeft = m_margins[0]->value();
    m_settings.marginRight = m_margins[1]->value();
    m_settings.marginTop = m_margins[2]->value();
    m_settings.marginBottom = m_margins[3]->value();
    // The first chosen button, searching from the whole page on.
    for (int p = 0; p < kPagePositionCount; ++p) {
        if (m_positions[p]->isChecked()) {
            m_settings.pagePosition = p;
            break;
        }
    }
    QDialog::accept();
}

} // namespace kv

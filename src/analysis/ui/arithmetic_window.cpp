#include "analysis/ui/arithmetic_window.h"

#include "analysis/spectrum_arithmetic.h"
#include "gui/dialog_fields.h"
#include "model/cp1251.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>
#include <tuple>
#include <utility>

namespace kv {

namespace {

constexpr int kHelpContext = 18;

} // namespace

ArithmeticWindow::ArithmeticWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    using C = Control;
    setWindowTitle(qs("Математические операции"));
    const auto onClick = [this](Control id) { command(static_cast<int>(id)); };
    const auto button = [&](Control id, QAbstractButton* b) {
        return m_controls.addButton(id, b, this, onClick);
    };
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [caption, name, take, factor] :
         {std::tuple("1-я", C::FirstName, C::TakeFirst, C::FirstFactor),
          std::tuple("2-я", C::SecondName, C::TakeSecond, C::SecondFactor)}) {
        grid->addWidget(new QLabel(qs(caption)), row, 0);
        auto* nameField = m_controls.add(name, new QLineEdit(this));
        nameField->setReadOnly(true);
        grid->addWidget(nameField, row, 1);
        grid->addWidget(button(take, new QPushButton(qs("Вставить"), this)), row, 2);
        grid->addWidget(new QLabel(qs("Умножить на:")), row + 1, 0);
        grid->addWidget(m_controls.add(factor, new QLineEdit(this)), row + 1, 1);
        row += 2;
    }
    grid->addWidget(button(C::Add, new QRadioButton(qs("Сложить"), this)), row, 0);
    grid->addWidget(button(C::Subtract, new QRadioButton(qs("Вычесть"), this)), row++, 1);
    auto* buttons = new QHBoxLayout;
    for (const auto& [id, label] :
         {std::pair(C::Ok, "OK"), std::pair(C::Cancel, "Отменить"), std::pair(C::Help, "Помощь")}) {
        buttons->addWidget(button(id, new QPushButton(qs(label), this)));
    }
    grid->addLayout(buttons, row, 0, 1, 3);

    const ArithmeticSettings& settings = services.state().arithmetic;
    take(m_first, C::FirstName);
    setDialogDouble(*static_cast<QLineEdit*>(control(C::FirstFactor)), "%0.2f",
                    settings.firstFactor);
    setDialogDouble(*static_cast<QLineEdit*>(control(C::SecondFactor)), "%0.2f",
                    settings.secondFactor);
    setChecked(control(settings.subtractMode ? C::Subtract : C::Add), true);
}

void ArithmeticWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::TakeFirst:
        take(m_first, Control::FirstName);
        return;
    case Control::TakeSecond:
        take(m_second, Control::SecondName);
        return;
    case Control::Ok:
        compose();
        return;
    case Control::Cancel:
        close();
        return;
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        return;
    default:
        return;
    }
}

void ArithmeticWindow::take(HistogramHandle& operand, Control nameField) {
    const HistogramList& list = m_services.state().list;
    operand = list.handleAt(list.currentIndex());
    const Histogram* h = m_services.state().list.find(operand);
    static_cast<QLineEdit*>(control(nameField))
        ->setText(h ? QString::fromStdString(utf8FromCp1251(h->name.str())) : QString());
}

void ArithmeticWindow::compose() {
    AppState& state = m_services.state();
    const Histogram* first = state.list.find(m_first);
    const Histogram* second = m_second == HistogramHandle() ? first : state.list.find(m_second);
    if (!first || !second) {
        // The window stays open, so another operand can be taken.
        m_services.ui().showMessage(StringId::OperandDeleted, StringId::BadNews);
        return;
    }
    ArithmeticSettings& settings = state.arithmetic;
    settings.subtractMode = isChecked(control(Control::Subtract));
    getDialogDouble(*static_cast<QLineEdit*>(control(Control::FirstFactor)), settings.firstFactor);
    getDialogDouble(*static_cast<QLineEdit*>(control(Control::SecondFactor)),
                    settings.secondFactor);
    state.list.addHistogram(composeHistograms(state.list, *first, *second, settings));
    m_services.refreshList();
    close();
}

void openArithmetic(MainWindowServices& services, QWidget* parent) {
    if (services.state().list.empty()) {
        return;
    }
    services.state().windows.open(WindowKind::Arithmetic, [&] {
        return std::make_unique<ArithmeticWindow>(services, parent);
    });
}

} // namespace kv

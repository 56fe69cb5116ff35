#include "acquisition/ui/mode_dialog.h"

#include "model/strings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>
#include <type_traits>
#include <utility>

namespace kv {

namespace {

constexpr int kHelpContext = 21;
constexpr int kAddressCount = 8;
constexpr int kInternalGating = 1;

void fill(QComboBox& list, std::initializer_list<StringId> entries, std::int32_t index) {
    for (const StringId entry : entries) {
        list.addItem(qs(text(entry)));
    }
    // A stored value the list does not have (a damaged file) shows no entry.
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}

} // namespace

ModeDialog::ModeDialog(AnalyserSettings& settings, UiServices& ui, MemoryTestRunner runTest,
                       QWidget* parent)
    : QDialog(parent), m_settings(settings), m_ui(ui), m_runTest(std::move(runTest)) {
    setWindowTitle(qs("Выбор режима"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    auto* address = m_controls.add(Control::Address, new QComboBox(this));
    for (int i = 0; i < kAddressCount; ++i) {
        address->addItem(QString::number(0x300 + 16 * i, 16).toUpper());
    }
    address->setCurrentIndex(settings.portBaseIndex < kAddressCount ? settings.portBaseIndex : -1);
    auto* gating = m_controls.add(Control::Gating, new QComboBox(this));
    fill(*gating, {StringId::GatingExternal, StringId::GatingInternal, StringId::GatingProgram},
         settings.gatingMode);
    auto* coincidence = m_controls.add(Control::Coincidence, new QComboBox(this));
    fill(*coincidence, {StringId::Coincidence, StringId::Anticoincidence},
         settings.coincidenceMode);
    auto* memory = m_controls.add(Control::Memory, new QComboBox(this));
    fill(*memory, {StringId::MemoryHistogram, StringId::MemoryStack}, settings.memoryMode);
    auto* interrupt = m_controls.add(Control::Interrupt, new QComboBox(this));
    fill(*interrupt, {StringId::InterruptMasked, StringId::InterruptEnabled},
         settings.interruptMode);
    fields->addRow(qs("Адрес:"), address);
    fields->addRow(qs("Режим стробирования:"), gating);
    fields->addRow(qs("Режим совпадений:"), coincidence);
    fields->addRow(qs("Память:"), memory);
    fields->addRow(qs("Прерывание:"), interrupt);
    layout->addLayout(fields);
    connect(gating, &QComboBox::activated, this, [this] { onGatingChosen(); });

    const auto addButton = [this](Control id, const char* label, QBoxLayout& row) {
        auto* button = m_controls.add(id, new QPushButton(qs(label), this));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        row.addWidget(button);
    };
    auto* tests = new QGroupBox(qs("Тесты памяти:"), this);
    auto* testRow = new QHBoxLayout(tests);
    addButton(Control::TestZeros, "0", *testRow);
    addButton(Control::TestOnes, "1", *testRow);
    addButton(Control::TestRandom, "Random", *testRow);
    layout->addWidget(tests);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    addButton(Control::Ok, "OK", *buttons);
    addButton(Control::Cancel, "Отменить", *buttons);
    addButton(Control::Help, "Помощь", *buttons);
    layout->addLayout(buttons);
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);

    applyDependencyRule();
}

int ModeDialog::selected(Control id) const {
    return m_controls.get<QComboBox>(id)->currentIndex();
}

void ModeDialog::applyDependencyRule() {
    const bool internal = selected(Control::Gating) == kInternalGating;
    m_controls.find(Control::Coincidence)->setEnabled(internal);
    m_controls.find(Control::Memory)->setEnabled(!internal);
}

void ModeDialog::onGatingChosen() {
    applyDependencyRule();
    if (selected(Control::Gating) == kInternalGating) {
        m_controls.get<QComboBox>(Control::Memory)->setCurrentIndex(0);
    }
}

void ModeDialog::store() {
    // A list showing no entry keeps the stored value.
    const auto take = [this](Control id, auto& setting) {
        if (const int index = selected(id); index >= 0) {
            setting = static_cast<std::remove_reference_t<decltype(setting)>>(index);
        }
    };
    take(Control::Address, m_settings.portBaseIndex);
    take(Control::Gating, m_settings.gatingMode);
    take(Control::Coincidence, m_settings.coincidenceMode);
    take(Control::Memory, m_settings.memoryMode);
    take(Control::Interrupt, m_settings.interruptMode);
    m_settings.internalGating = m_settings.gatingMode == kInternalGating ? 1 : 0;
}

void ModeDialog::command(Control id) {
    if (closeOrHelp(*this, static_cast<int>(id), m_ui, kHelpContext)) {
        return;
    }
    switch (id) {
    case Control::Ok:
        store();
        accept();
        break;
    case Control::TestZeros:
    case Control::TestOnes:
    case Control::TestRandom:
        store();
        m_runTest(id == Control::TestZeros  ? MemoryPattern::Zeros
                  : id == Control::TestOnes ? MemoryPattern::Ones
                                            : MemoryPattern::Random);
        break;
    default:
        break;
    }
}

} // namespace kv

#include "app/toolbar.h"

#include "app/command_table.h"
#include "gui/toolbar_icons.h"
#include "model/strings.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>

#include <algorithm>
#include <array>
#include <utility>

namespace kv {

namespace {

// The tooltip is a string-table text; at most 79 characters show.
QString tooltip(StringId id) {
    return QString::fromUtf8(text(id)).left(79);
}

bool isToolbarButton(Command command) {
    const CommandInfo* info = findCommand(command);
    return info && info->button;
}

QString settingsKey(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

} // namespace

const ToolbarLayout& defaultToolbarLayout() {
    static const ToolbarLayout layout{Command::New,
                                      Command::Open,
                                      Command::Save,
                                      Command::Print,
                                      std::nullopt,
                                      Command::SetLeftBoundary,
                                      Command::SetRightBoundary,
                                      Command::ClearBoundaries,
                                      Command::ShowMarkedHistograms,
                                      Command::Zoom,
                                      std::nullopt,
                                      Command::LogScale,
                                      Command::FromZero,
                                      std::nullopt,
                                      Command::Start,
                                      Command::ToggleOrientation,
                                      std::nullopt,
                                      Command::Delete,
                                      Command::Copy,
                                      Command::AddCopy,
                                      Command::Paste,
                                      std::nullopt,
                                      Command::Help,
                                      std::nullopt};
    return layout;
}

QStringList storedToolbarLayout(const ToolbarLayout& layout) {
    QStringList stored;
    for (const std::optional<Command>& entry : layout) {
        stored << QString::number(entry ? static_cast<int>(*entry) : 0);
    }
    return stored;
}

std::optional<ToolbarLayout> toolbarLayoutFromStored(const QStringList& stored) {
    ToolbarLayout layout;
    for (const QString& item : stored) {
        bool ok = false;
        const int number = item.toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
        if (number == 0) {
            layout.push_back(std::nullopt);
            continue;
        }
        const auto command = static_cast<Command>(number);
        if (!isToolbarButton(command) ||
            std::find(layout.begin(), layout.end(), command) != layout.end()) {
            return std::nullopt;
        }
        layout.push_back(command);
    }
    return layout;
}

Toolbar::Toolbar(std::unique_ptr<QSettings> settings, const std::function<void(Command)>& send,
                 QWidget* parent)
    : QToolBar(parent), m_settings(std::move(settings)) {
    setObjectName("ToolBar");
    setMovable(false);
    setIconSize(QSize(16, 16));
    for (const CommandInfo& info : commandTable()) {
        if (!info.button) {
            continue;
        }
        auto* action =
            new QAction(toolbarIcon(info.button->image), tooltip(info.button->tooltip), this);
        action->setCheckable(info.button->check);
        const Command command = info.command;
        connect(action, &QAction::triggered, this, [send, command] { send(command); });
        m_buttons[command] = action;
    }
    setCurrentLayout(defaultToolbarLayout());
    saveLayout(kToolbarDefaultKey);
    restoreLayout(kToolbarKey);
}

Toolbar::~Toolbar() = default;

void Toolbar::setCurrentLayout(const ToolbarLayout& layout) {
    // The buttons outlive a change of layout, so check buttons keep their pressed state.
    for (QAction* action : actions()) {
        removeAction(action);
        if (action->isSeparator()) {
            delete action;
        }
    }
    for (const std::optional<Command>& entry : layout) {
        if (entry) {
            addAction(m_buttons.at(*entry));
        } else {
            addSeparator();
        }
    }
    m_layout = layout;
}

QAction* Toolbar::button(Command command) const {
    const auto it = m_buttons.find(command);
    return it == m_buttons.end() ? nullptr : it->second;
}

void Toolbar::setChecked(Command command, bool pressed) {
    if (QAction* action = button(command)) {
        action->setChecked(pressed);
    }
}

bool Toolbar::isChecked(Command command) const {
    const QAction* action = button(command);
    return action && action->isChecked();
}

void Toolbar::saveLayout(std::string_view key) {
    m_settings->setValue(settingsKey(key), storedToolbarLayout(m_layout));
    m_settings->sync();
}

bool Toolbar::restoreLayout(std::string_view key) {
    const QVariant value = m_settings->value(settingsKey(key));
    if (!value.isValid()) {
        return false;
    }
    const std::optional<ToolbarLayout> layout = toolbarLayoutFromStored(value.toStringList());
    if (!layout) {
        return false;
    }
    setCurrentLayout(*layout);
    return true;
}

void Toolbar::customise() {
    ToolbarCustomiseDialog dialog(*this, this);
    dialog.exec();
    saveLayout(kToolbarKey);
}

void Toolbar::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    customise();
}

ToolbarCustomiseDialog::ToolbarCustomiseDialog(Toolbar& toolbar, QWidget* parent)
    : QDialog(parent), m_toolbar(toolbar) {
    setWindowTitle(QString::fromUtf8("Настройка панели инструментов"));
    m_available = new QListWidget(this);
    m_current = new QListWidget(this);
    m_controls[Control::Available] = m_available;
    m_controls[Control::Current] = m_current;

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QString::fromUtf8("Имеющиеся кнопки:"), this), 0, 0);
    grid->addWidget(new QLabel(QString::fromUtf8("Панель инструментов:"), this), 0, 2);
    grid->addWidget(m_available, 1, 0, 6, 1);
    grid->addWidget(m_current, 1, 2, 6, 1);
    const std::array<std::pair<Control, const char*>, 6> buttons{{
        {Control::Add, "Добавить ->"},
        {Control::Remove, "<- Удалить"},
        {Control::MoveUp, "Вверх"},
        {Control::MoveDown, "Вниз"},
        {Control::Reset, "Сброс"},
        {Control::Close, "Закрыть"},
    }};
    int row = 1;
    for (const auto& [id, label] : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(label), this);
        const Control control = id;
        connect(button, &QPushButton::clicked, this, [this, control] { command(control); });
        grid->addWidget(button, row++, control == Control::Close ? 3 : 1);
        m_controls[id] = button;
    }
    fillLists();
}

QWidget* ToolbarCustomiseDialog::control(Control id) const {
    return m_controls.at(id);
}

void ToolbarCustomiseDialog::command(Control id) {
    ToolbarLayout layout = m_toolbar.currentLayout();
    const int row = m_current->currentRow();
    const bool onEntry = row >= 0 && row < static_cast<int>(layout.size());
    switch (id) {
    case Control::Add:
        if (const QListWidgetItem* item = m_available->currentItem()) {
            const int number = item->data(Qt::UserRole).toInt();
            const int at = onEntry ? row : static_cast<int>(layout.size());
            layout.insert(layout.begin() + at,
                          number ? std::optional(static_cast<Command>(number)) : std::nullopt);
            setLayoutAndSelect(layout, at);
        }
        break;
    case Control::Remove:
        if (onEntry) {
            layout.erase(layout.begin() + row);
            setLayoutAndSelect(layout, std::min(row, static_cast<int>(layout.size()) - 1));
        }
        break;
    case Control::MoveUp:
        if (onEntry && row > 0) {
            std::swap(layout[row], layout[row - 1]);
            setLayoutAndSelect(layout, row - 1);
        }
        break;
    case Control::MoveDown:
        if (onEntry && row + 1 < static_cast<int>(layout.size())) {
            std::swap(layout[row], layout[row + 1]);
            setLayoutAndSelect(layout, row + 1);
        }
        break;
    case Control::Reset:
        m_toolbar.restoreLayout(kToolbarDefaultKey);
        fillLists();
        break;
    case Control::Close:
        accept();
        break;
    case Control::Available:
    case Control::Current:
        break;
    }
}

void ToolbarCustomiseDialog::setLayoutAndSelect(const ToolbarLayout& layout, int currentRow) {
    m_toolbar.setCurrentLayout(layout);
    fillLists();
    m_current->setCurrentRow(currentRow);
}

void ToolbarCustomiseDialog::fillLists() {
    const QString separator = QString::fromUtf8("Разделитель");
    m_available->clear();
    m_current->clear();
    auto* item = new QListWidgetItem(separator, m_available);
    item->setData(Qt::UserRole, 0);
    const ToolbarLayout& layout = m_toolbar.currentLayout();
    for (const std::optional<Command>& entry : defaultToolbarLayout()) {
        if (entry && std::find(layout.begin(), layout.end(), entry) == layout.end()) {
            QAction* action = m_toolbar.button(*entry);
            item = new QListWidgetItem(action->icon(), action->text(), m_available);
            item->setData(Qt::UserRole, static_cast<int>(*entry));
        }
    }
    for (const std::optional<Command>& entry : layout) {
        if (entry) {
            QAction* action = m_toolbar.button(*entry);
            new QListWidgetItem(action->icon(), action->text(), m_current);
        } else {
            new QListWidgetItem(separator, m_current);
        }
    }
}

} // namespace kv

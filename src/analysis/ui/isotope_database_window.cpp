#include "analysis/ui/isotope_database_window.h"

#include "analysis/isotope_text.h"
#include "analysis/ui/isotope_editor_dialog.h"
#include "model/strings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kHelpContext = 28;
constexpr const char* kDatabaseFileName = "SPECTORS.DAT";
// PlotSettings::xAxisMode of the energy axis.
constexpr std::int32_t kEnergyAxis = 1;

} // namespace

std::string databasePath(const AppState& state) {
    return state.programDirectory + kDatabaseFileName;
}

LookupDatabase::LookupDatabase(const AppState& state) {
    if (const auto* window = dynamic_cast<const IsotopeDatabaseWindow*>(
            state.windows.find(WindowKind::IsotopeDatabase))) {
        m_open = &window->database();
    } else {
        m_loaded = loadDatabase(databasePath(state)).database;
    }
}

IsotopeDatabaseWindow::IsotopeDatabaseWindow(MainWindowServices& services, QWidget* parent)
    : ToolWindow(parent), m_services(services) {
    setWindowTitle(qs("База данных"));
    const auto onClick = [this](Control id) { command(static_cast<int>(id)); };
    auto* row = new QHBoxLayout(this);
    m_list = m_controls.add(Control::List, new QListWidget(this));
    row->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    for (const auto& [id, label] :
         {std::pair(Control::Add, "Добавить"), std::pair(Control::Edit, "Изменить"),
          std::pair(Control::Delete, "Удалить"), std::pair(Control::Mark, "Разрешить"),
          std::pair(Control::Close, "Закрыть"), std::pair(Control::Help, "Помощь")}) {
        buttons->addWidget(m_controls.addButton(id, new QPushButton(qs(label)), this, onClick));
    }
    buttons->addStretch();
    row->addLayout(buttons);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int selected) {
        if (selected >= 0) {
            m_selected = static_cast<std::size_t>(selected);
            selectionChanged();
        }
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this] { command(static_cast<int>(Control::Edit)); });

    AppState& state = services.state();
    LoadedDatabase loaded = loadDatabase(databasePath(state));
    m_database = std::move(loaded.database);
    m_readWhole = loaded.condition == DatabaseCondition::Complete ||
                  loaded.condition == DatabaseCondition::Missing;
    state.config.plot.xAxisMode = kEnergyAxis;
    rebuild();
    if (!m_readWhole) {
        services.ui().showMessage(StringId::IsotopeDatabaseNotReadWhole, StringId::BadNews,
                                  databasePath(state));
    }
}

void IsotopeDatabaseWindow::command(int id) {
    switch (static_cast<Control>(id)) {
    case Control::Add:
        edit(std::nullopt);
        break;
    case Control::Edit:
        if (!m_database.empty()) {
            edit(m_selected);
        }
        break;
    case Control::Delete:
        deleteSelected();
        break;
    case Control::Mark:
        m_database.toggleEnabled(m_selected);
        rebuild();
        break;
    case Control::Close:
        close();
        break;
    case Control::Help:
        m_services.ui().showHelp(kHelpContext);
        break;
    default:
        if (id == kRefreshCommand) {
            rebuild();
        }
        break;
    }
}

void IsotopeDatabaseWindow::edit(std::optional<std::size_t> editing) {
    if (!editing && m_database.full()) {
        m_services.ui().showMessage(StringId::IsotopeDatabaseFull, StringId::BadNews);
        return;
    }
    IsotopeEditorDialog editor(m_database, editing, m_services.ui(), this);
    if (editor.exec() == QDialog::Accepted) {
        // The table is sorted by name after every edit: the selection follows the record.
        if (const auto at = editor.recordIndex()) {
            m_selected = *at;
        }
        rebuild();
    }
}

void IsotopeDatabaseWindow::deleteSelected() {
    if (m_services.ui().ask(StringId::DeleteHistogramQuestion, StringId::Question,
                            QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    m_database.deleteRecord(m_selected);
    m_selected = std::min(m_selected, m_database.empty() ? 0 : m_database.size() - 1);
    rebuild();
}

void IsotopeDatabaseWindow::rebuild() {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (const IsotopeRecord& record : m_database.records()) {
        m_list->addItem(QString::fromStdString(databaseListText(record)));
    }
    if (!m_database.empty()) {
        m_list->setCurrentRow(static_cast<int>(m_selected));
    }
    selectionChanged();
    m_services.state().windows.send(WindowKind::FoundLines, kRefreshCommand);
}

void IsotopeDatabaseWindow::selectionChanged() {
    const bool any = !m_database.empty();
    const bool enabled = any && m_database[m_selected].isEnabled();
    static_cast<QPushButton*>(control(Control::Mark))
        ->setText(QString::fromUtf8(text(enabled ? StringId::Disable : StringId::Enable)));
    for (const Control id : {Control::Edit, Control::Delete, Control::Mark}) {
        control(id)->setEnabled(any);
    }
    m_overlay.setLines(any ? m_database[m_selected].lines : std::vector<IsotopeLine>{});
    m_services.repaintPlot();
}

void IsotopeDatabaseWindow::reject() {
    close();
}

void IsotopeDatabaseWindow::closeEvent(QCloseEvent* event) {
    save();
    event->accept();
    // Hidden now, so the plot and the found lines no longer take this window's table.
    hide();
    m_services.repaintPlot();
    m_services.state().windows.send(WindowKind::FoundLines, kRefreshCommand);
}

void IsotopeDatabaseWindow::save() {
    UiServices& ui = m_services.ui();
    if (!m_database.changed() || m_database.empty()) {
        return;
    }
    if (!m_readWhole && ui.ask(StringId::ReplaceDamagedDatabase, StringId::Question,
                               QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    const std::string path = databasePath(m_services.state());
    const SaveDatabaseOutcome outcome = saveDatabase(m_database, path);
    if (outcome.status == SaveDatabaseStatus::Failed) {
        ui.showMessage(StringId::FileWriteFailed, StringId::BadNews, path + ": " + outcome.reason);
    }
}

} // namespace kv

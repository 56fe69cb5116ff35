#include "acquisition/ui/autosave_options_dialog.h"

#include "acquisition/ui/run_dialog_parts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kHelpContext = 31;

std::string pathIn(const QLineEdit& field) {
    return field.text().toStdString().substr(0, kPathFieldSize - 1);
}

} // namespace

AutoSaveOptionsDialog::AutoSaveOptionsDialog(AppConfig& config, DocumentState& document,
                                             UiServices& ui, QWidget* parent)
    : QDialog(parent), m_config(config), m_document(document), m_ui(ui) {
    setWindowTitle(qs("Автоматическое сохранение"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const auto addPathRow = [&](int row, Control check, const char* label, Control path,
                                Control browse) {
        grid->addWidget(m_controls.add(check, new QCheckBox(qs(label), this)), row, 0, 1, 2);
        grid->addWidget(m_controls.add(path, new QLineEdit(this)), row + 1, 0);
        auto* button = m_controls.add(browse, new QPushButton(qs("Обзор..."), this));
        connect(button, &QPushButton::clicked, this, [this, browse] { command(browse); });
        grid->addWidget(button, row + 1, 1);
        connect(m_controls.get<QCheckBox>(check), &QCheckBox::toggled, this,
                [this] { applyEnablingRules(); });
    };
    addPathRow(0, Control::SaveHistograms, "Сохранять файл гистограмм", Control::HistogramPath,
               Control::BrowseHistogramPath);
    addPathRow(2, Control::SaveText, "Сохранять в текстовом формате", Control::TextPath,
               Control::BrowseTextPath);
    grid->addWidget(m_controls.add(Control::FilePerCycle,
                                   new QRadioButton(qs("каждый цикл в отдельном файле"), this)),
                    4, 0, 1, 2);
    grid->addWidget(
        m_controls.add(Control::OneFile, new QRadioButton(qs("все циклы в одном файле"), this)), 5,
        0, 1, 2);
    grid->addWidget(
        m_controls.add(Control::IncludeNames, new QCheckBox(qs("Включать имена гистограмм"), this)),
        6, 0, 1, 2);
    m_controls.get<QLineEdit>(Control::HistogramPath)
        ->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    layout->addLayout(grid);
    addButtonRow(*this, *layout, m_controls,
                 {{Control::Ok, "OK"}, {Control::Cancel, "Отменить"}, {Control::Help, "Помощь"}},
                 [this](Control id) { command(id); });
    m_controls.get<QPushButton>(Control::Ok)->setDefault(true);

    const TextExportSettings& text = config.textExport;
    m_controls.get<QCheckBox>(Control::SaveHistograms)->setChecked(config.analyser.autoSave != 0);
    m_controls.get<QLineEdit>(Control::HistogramPath)
        ->setText(QString::fromStdString(config.documentPath));
    m_controls.get<QCheckBox>(Control::SaveText)->setChecked(text.textAutoSave != 0);
    m_controls.get<QLineEdit>(Control::TextPath)->setText(QString::fromStdString(text.exportPath));
    m_controls
        .get<QRadioButton>(text.exportOneFile != 0 ? Control::OneFile : Control::FilePerCycle)
        ->setChecked(true);
    m_controls.get<QCheckBox>(Control::IncludeNames)->setChecked(text.exportNames != 0);
    applyEnablingRules();
}

void AutoSaveOptionsDialog::command(Control id) {
    switch (id) {
    case Control::Ok:
        store();
        accept();
        break;
    case Control::BrowseHistogramPath:
        browseHistogramPath();
        break;
    case Control::BrowseTextPath:
        browseTextPath();
        break;
    default:
        closeOrHelp(*this, static_cast<int>(id), m_ui, kHelpContext);
        break;
    }
}

void AutoSaveOptionsDialog::applyEnablingRules() {
    const bool histograms = m_controls.get<QCheckBox>(Control::SaveHistograms)->isChecked();
    for (const Control id : {Control::HistogramPath, Control::BrowseHistogramPath}) {
        m_controls.find(id)->setEnabled(histograms);
    }
    const bool text = m_controls.get<QCheckBox>(Control::SaveText)->isChecked();
    for (const Control id : {Control::TextPath, Control::BrowseTextPath, Control::FilePerCycle,
                             Control::OneFile, Control::IncludeNames}) {
        m_controls.find(id)->setEnabled(text);
    }
}

void AutoSaveOptionsDialog::browseHistogramPath() {
    auto* field = m_controls.get<QLineEdit>(Control::HistogramPath);
    FileDialogRequest request;
    request.title = StringId::SaveFileAsTitle;
    request.filter = StringId::HistogramFilter;
    request.initialName = pathIn(*field);
    request.initialDirectory = m_config.lastDirectory;
    request.defaultExtension = "HST";
    if (const auto chosen = m_ui.chooseSaveFile(request)) {
        field->setText(QString::fromStdString(*chosen));
    }
}

void AutoSaveOptionsDialog::browseTextPath() {
    auto* field = m_controls.get<QLineEdit>(Control::TextPath);
    FileDialogRequest request;
    request.title = StringId::SaveAsTextTitle;
    request.filter = StringId::TextFileFilter;
    request.filterIndex = 1; // "Файлы данных(*.DAT)"
    request.initialName = pathIn(*field);
    request.initialDirectory = m_config.lastDirectory;
    request.defaultExtension = "DAT";
    if (const auto chosen = m_ui.chooseSaveFile(request)) {
        field->setText(QString::fromStdString(*chosen));
    }
}

void AutoSaveOptionsDialog::store() {
    m_config.analyser.autoSave =
        m_controls.get<QCheckBox>(Control::SaveHistograms)->isChecked() ? 1 : 0;
    m_config.documentPath = pathIn(*m_controls.get<QLineEdit>(Control::HistogramPath));
    // Without a name the save at the end asks for one rather than failing on an empty path.
    m_document.documentUntitled = m_config.documentPath.empty();
    TextExportSettings& text = m_config.textExport;
    text.textAutoSave = m_controls.get<QCheckBox>(Control::SaveText)->isChecked() ? 1 : 0;
    text.exportPath = pathIn(*m_controls.get<QLineEdit>(Control::TextPath));
    text.exportOneFile = m_controls.get<QRadioButton>(Control::OneFile)->isChecked() ? 1 : 0;
    text.exportNames = m_controls.get<QCheckBox>(Control::IncludeNames)->isChecked() ? 1 : 0;
}

} // namespace kv

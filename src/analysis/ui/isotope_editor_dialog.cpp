#include "analysis/ui/isotope_editor_dialog.h"

#include "analysis/isotope_text.h"
#include "model/strings.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kHelpContext = 28;

// Clipboard texts keep CR LF; the edit field holds plain LF.
QString withLf(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string withCrLf(QString text) {
    // A selection separates its lines by the paragraph separator.
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

} // namespace

IsotopeEditorDialog::IsotopeEditorDialog(IsotopeDatabase& database,
                                         std::optional<std::size_t> editing, UiServices& ui,
                                         QWidget* parent)
    : ControlDialog(ui, kHelpContext, parent), m_database(database), m_editing(editing) {
    setWindowTitle(QString::fromUtf8(text(editing ? StringId::Editing : StringId::NewSpectrum)));
    auto* layout = new QVBoxLayout(this);
    m_text = add(Control::Text, new QPlainTextEdit(this));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_text);
    auto* row = okCancelHelpRow("Отменить");
    row->insertWidget(1, addButton(Control::Copy, new QPushButton(qs("Копировать"))));
    row->insertWidget(2, addButton(Control::Paste, new QPushButton(qs("Вставить"))));
    layout->addLayout(row);
    if (editing && *editing < database.size()) {
        m_text->setPlainText(withLf(formatRecord(database[*editing])));
    }
}

void IsotopeEditorDialog::otherCommand(Control id) {
    if (id == Control::Copy) {
        ui().setClipboardText(withCrLf(m_text->textCursor().selectedText()));
    } else if (id == Control::Paste) {
        m_text->insertPlainText(withLf(ui().clipboardText()));
    }
}

bool IsotopeEditorDialog::store() {
    const std::string text = m_text->toPlainText().toStdString();
    const std::optional<IsotopeRecord> record = parseRecord(text);
    if (!record) {
        // The text stays for the user to mend; the table is not touched.
        ui().showMessage(StringId::IsotopeTextWithoutLines, StringId::BadNews);
        return false;
    }
    if (applyEditorText(m_database, m_editing, text) == EditOutcome::DatabaseFull) {
        ui().showMessage(StringId::IsotopeDatabaseFull, StringId::BadNews);
        return false;
    }
    const auto& records = m_database.records();
    const auto at =
        std::find_if(records.begin(), records.end(), [&record](const IsotopeRecord& stored) {
            return stored.name == record->name && stored.lines == record->lines;
        });
    if (at != records.end()) {
        m_recordIndex = static_cast<std::size_t>(at - records.begin());
    }
    return true;
}

} // namespace kv

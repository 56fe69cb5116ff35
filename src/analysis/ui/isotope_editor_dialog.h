#pragma once

// The isotope editor ("Редактирование" of a record, "Новый спектр" for a new one): the record
// as text, the name on the first line and one "energy intensity" pair per line below it (keV,
// emissions per decay). OK puts the record into the table, which is then sorted by name; a text
// without a single pair is refused with a message and the editor stays open.

#include "analysis/isotope_database.h"
#include "analysis/ui/dialog_controls.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <cstddef>
#include <optional>

class QPlainTextEdit;

namespace kv {

class IsotopeEditorDialog : public QDialog {
public:
    enum class Control { Ok = 1, Cancel = 2, Help = 9, Text = 101, Copy = 102, Paste = 103 };

    // editing: the index of the record to edit; none for a new record, which the table must
    // have room for. ui: the clipboard, messages and the help topic.
    IsotopeEditorDialog(IsotopeDatabase& database, std::optional<std::size_t> editing,
                        UiServices& ui, QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls[id]; }
    void command(Control id);

    // After OK: where the added or edited record stands in the sorted table.
    std::optional<std::size_t> recordIndex() const { return m_recordIndex; }

private:
    void store();

    IsotopeDatabase& m_database;
    std::optional<std::size_t> m_editing;
    UiServices& m_ui;
    ControlMap<Control> m_controls;
    QPlainTextEdit* m_text = nullptr;
    std::optional<std::size_t> m_recordIndex;
};

} // namespace kv

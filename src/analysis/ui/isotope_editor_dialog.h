#pragma once

// The isotope editor ("Редактирование" of a record, "Новый спектр" for a new one): the record
// as text, the name on the first line and one "energy intensity" pair per line below it (keV,
// emissions per decay). OK puts the record into the table, which is then sorted by name; a text
// without a single pair is refused with a message and the editor stays open.

#include "analysis/isotope_database.h"
#include "analysis/ui/dialog_controls.h"
#include <cstddef>
#include <optional>

class QPlainTextEdit;

namespace kv {

enum class IsotopeEditorControl {
    Ok = 1,
    Cancel = 2,
    Help = 9,
    Text = 101,
    Copy = 102,
    Paste = 103
};

class IsotopeEditorDialog : public ControlDialog<IsotopeEditorControl> {
public:
    using Control = IsotopeEditorControl;

    // editing: the index of the record to edit; none for a new record, which the table must
    // have room for. ui: the clipboard, messages and the help topic.
    IsotopeEditorDialog(IsotopeDatabase& database, std::optional<std::size_t> editing,
                        UiServices& ui, QWidget* parent = nullptr);

    // After OK: where the added or edited record stands in the sorted table.
    std::optional<std::size_t> recordIndex() const { return m_recordIndex; }

private:
    bool store() override;
    // "Копировать" and "Вставить".
    void otherCommand(Control id) override;

    IsotopeDatabase& m_database;
    std::optional<std::size_t> m_editing;
    QPlainTextEdit* m_text = nullptr;
    std::optional<std::size_t> m_recordIndex;
};

} // namespace kv

#pragma once

// The dialog "Гистограмма": name, comment and exposure of one histogram, edited in place. OK
// stores the three fields into the record (names and comments cut to 127 bytes, no renumbering;
// the counts and the total stay as they are); "Отменить" changes nothing.

#include "model/histogram.h"
#include "platform/ui_services.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kv {

// The dialog's control ids.
enum class NameDialogControl : int {
    Ok = 1,
    Cancel = 2,
    Help = 9,
    Name = 101,
    Comment = 102,
    Exposure = 105,
};

class NameDialog : public QDialog {
public:
    // ui shows the help topic of the dialog.
    NameDialog(Histogram& histogram, UiServices& ui, QWidget* parent = nullptr);

    // The edit field or button of a control id; nothing for an id of neither kind.
    QLineEdit* field(NameDialogControl id) const;
    QPushButton* button(NameDialogControl id) const;

    void accept() override;

private:
    Histogram& m_histogram;
    QLineEdit* m_name;
    QLineEdit* m_comment;
    QLineEdit* m_exposure;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_help;
};

} // namespace kv

#pragma once

// "Параметры страницы": the four margins in millimetres and the part of the page the plot is
// printed on (the whole page, a half or a quarter), each position a button with a small picture
// of the page. OK stores them into the settings; "Отменить" changes nothing.

#include "model/print_settings.h"

#include <QDialog>

class QAbstractButton;
class QSpinBox;

namespace kv {

class PageSetupDialog : public QDialog {
public:
    // The margin fields and their up-down controls are one spin box each. The position buttons
    // are FirstPosition + PagePosition.
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Left = 101,
        Right = 103,
        Top = 105,
        Bottom = 107,
        FirstPosition = 109,
    };

    PageSetupDialog(PrintSettings& settings, QWidget* parent = nullptr);

    QSpinBox* margin(Control id) const;
    QAbstractButton* positionButton(int position) const;

    void accept() override;

private:
    PrintSettings& m_settings;
    QSpinBox* m_margins[4];
    QAbstractButton* m_positions[kPagePositionCount];
};

} // namespace kv

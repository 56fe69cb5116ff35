#pragma once

// The display configuration dialog ("Конфигурация изображения"): which histograms are drawn,
// the horizontal unit and visible range, the vertical unit and the vertical-axis switches. It
// edits the view settings in AppConfig; the caller brings the toolbar's check buttons into step
// and repaints after OK.

#include "model/app_config.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <cstdint>
#include <map>

class QAbstractButton;
class QLineEdit;
class QSpinBox;

namespace kv {

class DisplayDialog : public QDialog {
public:
    // Control ids. The channel fields and their up-down controls are one spin box each, so
    // FirstChannelUpDown and LastChannelUpDown name the same widgets as FirstChannel and
    // LastChannel.
    enum class Control {
        Ok = 1,
        Cancel = 2,
        Help = 9,
        ShowMarked = 101,
        ShowSelected = 102,
        Channels = 103,
        Energy = 104,
        RoundRange = 105,
        FirstChannel = 107,
        LastChannel = 108,
        FirstEnergy = 109,
        LastEnergy = 110,
        Counts = 113,
        Intensity = 114,
        Probability = 115,
        LogScale = 116,
        FirstChannelUpDown = 117,
        LastChannelUpDown = 118,
        FromZero = 119,
    };

    // channelCount: the histogram list's ChannelCount, for the energies and the range limits.
    // ui: the help topic.
    DisplayDialog(AppConfig& config, std::int32_t channelCount, UiServices& ui,
                  QWidget* parent = nullptr);

    QWidget* control(Control id) const;
    // A click on a button of the dialog.
    void command(Control id);

private:
    QAbstractButton* addButton(Control id, QAbstractButton* button);
    void applyEnabling();
    void store();
    std::int32_t channelOfEnergyField(Control id) const;
    bool isChecked(Control id) const;

    AppConfig& m_config;
    std::int32_t m_channelCount;
    UiServices& m_ui;
    std::map<Control, QWidget*> m_controls;
    QSpinBox* m_firstChannel = nullptr;
    QSpinBox* m_lastChannel = nullptr;
    QLineEdit* m_firstEnergy = nullptr;
    QLineEdit* m_lastEnergy = nullptr;
};

} // namespace kv

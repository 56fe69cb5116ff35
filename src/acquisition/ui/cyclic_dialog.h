#pragma once

// The dialog of the cyclic measurement ("Циклическое измерение", command 403): the cycles' base
// name and the first cycle's comment, the threshold, the printer port of the trigger line, the
// level at which a cycle counts, the number of cycles, and the autosave options. "Пуск" refuses
// stack memory, stores the settings and hands over to launch; a series that could not start
// is reported and the dialog stays open.

#include "acquisition/run_control.h"
#include "gui/dialog_controls.h"
#include "model/app_config.h"
#include "model/document_state.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <functional>
#include <string>

namespace kv {

class CyclicDialog : public QDialog {
public:
    enum class Control {
        Start = kOkButton,
        Cancel = kCancelButton,
        Name = 101,
        Comment = 102,
        Port = 103,
        CycleCount = 104,
        AutoSaveOptions = 105,
        StartOnLow = 106,
        StartOnHigh = 107,
        Threshold = 111,
    };

    // Starts the series once triggerPort, cycleCount, startOnHighLevel and threshold are
    // stored; name and comment in Windows-1251.
    using Launch = std::function<StartOutcome(const std::string& name, const std::string& comment)>;

    // Shows lastName and the series settings of config; the autosave options dialog edits
    // config and document.
    CyclicDialog(AppConfig& config, DocumentState& document, UiServices& ui, Launch launch,
                 QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    void command(Control id);

private:
    void start();

    AppConfig& m_config;
    DocumentState& m_document;
    UiServices& m_ui;
    Launch m_launch;
    DialogControls<Control> m_controls;
};

} // namespace kv

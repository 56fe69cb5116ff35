#pragma once

// The start dialog of a measurement ("Старт", command 401): name, comment, exposure and
// threshold of the run and whether its spectrum is saved when it ends. "Пуск" refuses stack
// memory (a run needs histogram memory) and otherwise hands the values to launch; a run that
// could not start is reported and the dialog stays open.

#include "acquisition/measurement.h"
#include "acquisition/run_control.h"
#include "gui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <functional>

namespace kv {

class StartDialog : public QDialog {
public:
    enum class Control {
        Start = kOkButton,
        Cancel = kCancelButton,
        Help = kHelpButton,
        Name = 101,
        Comment = 102,
        Exposure = 103,
        AutoSave = 105,
        Threshold = 111,
    };

    // Starts the run given by the dialog's values (name and comment in Windows-1251).
    using Launch = std::function<StartOutcome(const MeasurementStart&)>;

    // Shows lastName, lastExposure, autoSave and threshold of analyser.
    StartDialog(const AnalyserSettings& analyser, UiServices& ui, Launch launch,
                QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    // A click on one of the dialog's buttons.
    void command(Control id);

private:
    void start();

    const AnalyserSettings& m_analyser;
    UiServices& m_ui;
    Launch m_launch;
    DialogControls<Control> m_controls;
};

} // namespace kv

#pragma once

// The dialogs of the X-ray measurements. "Рентгеновские измерения" (404) starts one timed run
// of an X-ray spectrum, which ends with its count-window line in the report log; "Серия
// рентгеновских измерений" (407) starts a series of exposures at a fixed period, each reported
// as one line. OK shows the report window and stores the values; with stack memory chosen it
// says so and the dialog stays open, otherwise it hands over to launch. A run that could not
// start is reported and the dialog stays open.

#include "acquisition/run_control.h"
#include "gui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <functional>
#include <string>

namespace kv {

class XrayDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Exposure = 103,
        Threshold = 106,
        AutoSave = 107,
        Name = 108,
        Comment = 109,
    };

    // Starts the run once xrayExposure, threshold and autoSave are stored; name and comment in
    // Windows-1251.
    using Launch = std::function<StartOutcome(const std::string& name, const std::string& comment)>;

    // Shows lastName, xrayExposure ("%g"), threshold and autoSave.
    XrayDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
               std::function<void()> showReport, Launch launch, QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    void command(Control id);

private:
    void start();

    AnalyserSettings& m_analyser;
    SeriesSettings& m_series;
    UiServices& m_ui;
    std::function<void()> m_showReport;
    Launch m_launch;
    DialogControls<Control> m_controls;
};

class XraySeriesDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Exposure = 103,
        Interval = 104,
        MaxCount = 105,
        Threshold = 106,
    };

    // Starts the series once its settings are stored.
    using Launch = std::function<StartOutcome()>;

    // Shows xrayExposure and seriesInterval ("%g"), seriesMaxCount and threshold.
    XraySeriesDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
                     std::function<void()> showReport, Launch launch, QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    void command(Control id);

private:
    void start();

    AnalyserSettings& m_analyser;
    SeriesSettings& m_series;
    UiServices& m_ui;
    std::function<void()> m_showReport;
    Launch m_launch;
    DialogControls<Control> m_controls;
};

} // namespace kv

#pragma once

// The dialogs of the X-ray measurements. "Рентгеновские измерения" (404) starts one timed run
// of an X-ray spectrum, which ends with its count-window line in the report log; "Серия
// рентгеновских измерений" (407) starts a series of exposures at a fixed period, each reported
// as one line. OK shows the report window and stores the values; with stack memory chosen it
// says so and the dialog stays open, otherwise it hands over to launch. A run that could not
// start is reported and the dialog stays open.

#include "acquisition/run_control.h"
#include "acquisition/ui/run_dialog_parts.h"
#include "gui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

#include <functional>
#include <string>
#include <utility>

namespace kv {

// What the two dialogs share: the settings they edit, their controls, "OK" (the report window
// shown, the fields stored, stack memory refused, the run launched) and "Отмена".
template <typename Control> class XrayRunDialog : public QDialog {
public:
    QWidget* control(Control id) const { return m_controls.find(id); }

    void command(Control id) {
        if (id == Control::Ok) {
            start();
        } else if (id == Control::Cancel) {
            reject();
        }
    }

protected:
    XrayRunDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
                  std::function<void()> showReport, QWidget* parent)
        : QDialog(parent), m_analyser(analyser), m_series(series), m_ui(ui),
          m_showReport(std::move(showReport)) {}

    // The right-aligned "OK" and "Отмена" at the foot of layout, "OK" the default button.
    void addOkCancelRow(QBoxLayout& layout) {
        addButtonRow(*this, layout, m_controls, {{Control::Ok, "OK"}, {Control::Cancel, "Отмена"}},
                     [this](Control id) { command(id); });
        m_controls.template get<QPushButton>(Control::Ok)->setDefault(true);
    }

    // Takes the fields over into the settings.
    virtual void storeFields() = 0;
    // Hands the stored settings over to the dialog's launch.
    virtual StartOutcome launchRun() = 0;

    AnalyserSettings& m_analyser;
    SeriesSettings& m_series;
    DialogControls<Control> m_controls;

private:
    void start() {
        m_showReport();
        storeFields();
        if (refusedStackMemory(m_analyser, m_ui)) {
            return;
        }
        if (!reportedStartFailure(m_ui, launchRun())) {
            accept();
        }
    }

    UiServices& m_ui;
    std::function<void()> m_showReport;
};

enum class XrayControl {
    Ok = kOkButton,
    Cancel = kCancelButton,
    Exposure = 103,
    Threshold = 106,
    AutoSave = 107,
    Name = 108,
    Comment = 109,
};

class XrayDialog : public XrayRunDialog<XrayControl> {
public:
    using Control = XrayControl;

    // Starts the run once xrayExposure, threshold and autoSave are stored; name and comment in
    // Windows-1251.
    using Launch = std::function<StartOutcome(const std::string& name, const std::string& comment)>;

    // Shows lastName, xrayExposure ("%g"), threshold and autoSave.
    XrayDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
               std::function<void()> showReport, Launch launch, QWidget* parent = nullptr);

private:
    void storeFields() override;
    StartOutcome launchRun() override;

    Launch m_launch;
};

enum class XraySeriesControl {
    Ok = kOkButton,
    Cancel = kCancelButton,
    Exposure = 103,
    Interval = 104,
    MaxCount = 105,
    Threshold = 106,
};

class XraySeriesDialog : public XrayRunDialog<XraySeriesControl> {
public:
    using Control = XraySeriesControl;

    // Starts the series once its settings are stored.
    using Launch = std::function<StartOutcome()>;

    // Shows xrayExposure and seriesInterval ("%g"), seriesMaxCount and threshold.
    XraySeriesDialog(AnalyserSettings& analyser, SeriesSettings& series, UiServices& ui,
                     std::function<void()> showReport, Launch launch, QWidget* parent = nullptr);

private:
    void storeFields() override;
    StartOutcome launchRun() override { return m_launch(); }

    Launch m_launch;
};

} // namespace kv

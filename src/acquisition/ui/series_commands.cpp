#include "acquisition/ui/series_commands.h"

#include "acquisition/measurement.h"
#include "acquisition/series.h"
#include "acquisition/ui/access_dialog.h"
#include "acquisition/ui/count_window_parameters.h"
#include "acquisition/ui/cyclic_dialog.h"
#include "acquisition/ui/measurement_commands.h"
#include "acquisition/ui/progress_window.h"
#include "acquisition/ui/series_progress_window.h"
#include "acquisition/ui/xray_dialogs.h"

#include <memory>
#include <utility>

namespace kv {

void openCyclicDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner) {
    PortIo* ports = portsForNewRun(main, runs, StringId::News);
    if (ports == nullptr) {
        return;
    }
    AppState& state = main.state();
    AppConfig& config = state.config;
    const auto launch = [&, ports](const std::string& name, const std::string& comment) {
        CyclicJob job = prepareCyclicSeries(
            config.analyser, config.series,
            {config.textExport, config.plot, config.energyCalibration}, state.list, name, comment);
        return startWithProgress(state, runs, *ports, std::move(job), runCyclicSeries, [&] {
            return std::make_unique<SeriesProgressWindow>(runs, owner);
        });
    };
    CyclicDialog dialog(config, state.document, main.ui(), launch, owner);
    dialog.exec();
}

void openXrayDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner) {
    PortIo* ports = portsForNewRun(main, runs, StringId::BadNews);
    if (ports == nullptr) {
        return;
    }
    AppState& state = main.state();
    AppConfig& config = state.config;
    const auto launch = [&, ports](const std::string& name, const std::string& comment) {
        MeasurementJob job =
            prepareXrayMeasurement(config.analyser, config.series, config.countWindows,
                                   *state.list.newHistogram(), name, comment);
        return startWithProgress(state, runs, *ports, std::move(job), runMeasurement, [&] {
            return std::make_unique<ProgressWindow>(runs, config.analyser.lastExposure, owner);
        });
    };
    XrayDialog dialog(
        config.analyser, config.series, main.ui(),
        [&main, owner] { showReportWindow(main, owner); }, launch, owner);
    dialog.exec();
}

void openXraySeriesDialog(MainWindowServices& main, AcquisitionRuns& runs, QWidget* owner) {
    PortIo* ports = portsForNewRun(main, runs, StringId::BadNews);
    if (ports == nullptr) {
        return;
    }
    AppState& state = main.state();
    AppConfig& config = state.config;
    const auto launch = [&, ports] {
        XraySeriesJob job{config.analyser, config.series, config.countWindows};
        return startWithProgress(state, runs, *ports, std::move(job), runXraySeries, [&] {
            return std::make_unique<SeriesProgressWindow>(runs, owner);
        });
    };
    XraySeriesDialog dialog(
        config.analyser, config.series, main.ui(),
        [&main, owner] { showReportWindow(main, owner); }, launch, owner);
    dialog.exec();
}

void openCountWindowParameters(MainWindowServices& main, QWidget* owner) {
    AppState& state = main.state();
    if (!state.countWindowsUnlocked) {
        AccessDialog access(owner);
        access.exec();
        state.countWindowsUnlocked = access.granted();
    }
    if (!state.countWindowsUnlocked) {
        return;
    }
    state.windows.open(WindowKind::CountWindowParameters,
                       [&] { return std::make_unique<CountWindowParametersWindow>(main, owner); });
    main.repaintPlot();
}

} // namespace kv

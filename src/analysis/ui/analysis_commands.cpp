#include "analysis/ui/analysis_commands.h"

#include "analysis/channel_filter.h"
#include "analysis/ui/found_lines_window.h"
#include "analysis/ui/isotope_database_window.h"
#include "analysis/ui/peak_extraction_dialog.h"
#include "analysis/ui/search_settings_dialog.h"
#include "analysis/ui/smoothing_dialog.h"

#include <memory>

namespace kv {

void smoothWithDialog(MainWindowServices& services, QWidget* parent) {
    AppState& state = services.state();
    SmoothingDialog dialog(state.config.filters, services.ui(), parent);
    if (dialog.exec() == QDialog::Accepted) {
        smoothCurrentHistogram(state.list, state.config.filters);
    }
}

void extractPeaksWithDialog(MainWindowServices& services, QWidget* parent) {
    AppState& state = services.state();
    PeakExtractionDialog dialog(state.config.lineSearch, services.ui(), parent);
    if (dialog.exec() == QDialog::Accepted) {
        extractPeaks(state.list, state.config.lineSearch);
    }
}

void searchLinesInWindow(MainWindowServices& services, QWidget* parent) {
    ToolWindow* window = services.state().windows.open(WindowKind::FoundLines, [&] {
        return std::make_unique<FoundLinesWindow>(services, parent);
    });
    if (auto* foundLines = dynamic_cast<FoundLinesWindow*>(window)) {
        foundLines->startSearch();
    }
}

void editSearchSettings(MainWindowServices& services, QWidget* parent) {
    SearchSettingsDialog dialog(services.state().config, services.state().refineAreas,
                                services.ui(), parent);
    if (dialog.exec() == QDialog::Accepted) {
        services.state().windows.send(WindowKind::FoundLines, kRefreshCommand);
    }
}

void openIsotopeDatabase(MainWindowServices& services, QWidget* parent) {
    services.state().windows.open(WindowKind::IsotopeDatabase, [&] {
        return std::make_unique<IsotopeDatabaseWindow>(services, parent);
    });
}

} // namespace kv

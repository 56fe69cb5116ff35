#pragma once

// Everything the desktop program keeps for its whole run. One object, created at start-up and
// handed by reference to the windows; the core functions take the pieces they need. The tool
// windows register themselves in its window registry.

#include "acquisition/port_selection.h"
#include "acquisition/report_log.h"
#include "analysis/found_lines.h"
#include "analysis/spectrum_arithmetic.h"
#include "display/plot_view.h"
#include "fitting/component_model.h"
#include "fitting/peak_fit.h"
#include "fitting/peak_search.h"
#include "gui/window_registry.h"
#include "model/app_config.h"
#include "model/document_state.h"
#include "model/histogram_list.h"
#include "platform/clock.h"

#include <string>
#include <utility>

namespace kv {

struct AppState {
    // programDirectory: where confadc.cnf, SPECTORS.DAT and Mirta.hlp live, with a trailing '/'.
    // runClock: what acquisition times its runs with, the real clock but in tests.
    explicit AppState(std::string directory, Clock& runClock = realClock())
        : programDirectory(std::move(directory)), clock(runClock) {}

    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    std::string programDirectory;
    // Whether start-up found a configuration file. Without one nothing is stored yet, the
    // window's placement included.
    bool configurationLoaded = false;
    AppConfig config;
    DocumentState document;
    HistogramList list{document};
    PlotView plotView;
    FoundLines foundLines; // of the last line search
    // "Уточнять площади" of the search settings: the found lines' areas are refitted on the raw
    // counts, with their errors shown (analysis/line_quantities.h). Held for the session only,
    // since the stored configuration record has no free byte for it; off at start.
    bool refineAreas = false;
    // The last peak fit: the line search leaves its last accepted peak here, centre as a
    // channel of the spectrum, for the windows that take the current peak position.
    PeakFit peakFit;
    // The approximation window's components, kept between its openings; the found-lines
    // window adds the selected one as a line.
    ComponentTable components;
    // The factors and the operation every arithmetic window shares, for the session.
    ArithmeticSettings arithmetic;
    // "Range:" and "Sigma Max" of the peak search, for the session.
    PeakSearchSettings peakSearch;
    // Acquisition: the analyser chosen at start-up (none before, and none when the one asked
    // for could not be opened) and the report log of the X-ray results, for the whole run.
    Clock& clock;
    Analyser analyser;
    ReportLog reportLog;
    // The access code of the count-window parameters was given since the program started.
    bool countWindowsUnlocked = false;

    // Last, so that it is destroyed first: the tool windows it deletes still find the rest.
    WindowRegistry windows;
};

} // namespace kv

#pragma once

// The open tool windows, so that one window can ask whether another is open and send it a
// command, and the main window can tell them what happened (the cursor moved, another
// histogram became current, ...). A window that closes or is deleted is forgotten at once:
// nothing here ever calls a window that is gone. All calls come from the user-interface thread.

#include "gui/tool_window.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kv {

// One kind per tool window of the program. A kind has one window at a time, except the
// arithmetic window, of which the user may open several.
enum class WindowKind {
    FoundLines,
    IsotopeDatabase,
    NoiseTrack,
    SinglePeak,
    EnergyCalibration,
    EfficiencyCalibration,
    CalibrationGraph,
    Approximation,
    CountWindowParameters,
    ReportLog,
    RunProgress,
    Arithmetic,
};

class WindowRegistry {
public:
    using WindowMaker = std::function<std::unique_ptr<ToolWindow>()>;

    WindowRegistry() = default;
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;
    // Deletes the windows still open, so none outlives the state it shows.
    ~WindowRegistry();

    // The open window of a one-window kind is raised (and restored from an icon) and given
    // back. Otherwise make builds a window, which is registered under kind and shown; null when
    // make gives none.
    ToolWindow* open(WindowKind kind, const WindowMaker& make);

    bool isOpen(WindowKind kind) const { return find(kind) != nullptr; }
    // The open window of the kind (of several, the one opened first); null when none is open.
    ToolWindow* find(WindowKind kind) const;

    // Sends command to every open window of the kind; how many windows it reached.
    int send(WindowKind kind, int command);

    // Sends every open window that follows the notification its command for it, in the order
    // the windows were opened.
    void notify(Notification notification);

    // The overlays of the open windows, in the order the windows were opened.
    std::vector<const PlotOverlay*> overlays() const;

    // Hands a peak to every open window (the calibration windows fill their fields from it).
    void handPeak(const HandedPeak& peak);

    // The graph the first open window that has one draws in the plot pane's place; null when
    // none.
    const PaneGraph* paneGraph() const;

    // Closes every tool window. False when one refused to close; it stays open.
    bool closeAll();

private:
    struct Entry {
        WindowKind kind;
        QPointer<ToolWindow> window;
    };

    // The open windows of the kind (of every kind: nothing), in opening order; forgets the
    // closed ones. A command sent to one may close others, so callers check each again before
    // calling it.
    std::vector<QPointer<ToolWindow>> openWindows(std::optional<WindowKind> kind);

    std::vector<Entry> m_entries;
};

} // namespace kv

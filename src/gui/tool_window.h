#pragma once

// The base of the modeless tool windows (found lines, calibrations, noise track, arithmetic,
// ...): a window in front of the main window, deleted when it closes, with one command handler
// that the main window and the other windows reach through the window registry.

#include <QDialog>

#include <array>
#include <optional>

namespace kv {

class PaneGraph;
class PlotOverlay;

// Commands every tool window may be sent, besides the ids of its own controls.
inline constexpr int kRefreshCommand = 1001;    // rebuild from the program's state
inline constexpr int kCursorMovedCommand = 201; // the plot cursor is being dragged

// A peak one window hands to the calibration windows (the single-peak fit, a found line).
struct HandedPeak {
    double position = 0.0; // zero-based channel
    double energy = 0.0;   // keV
    double rate = 0.0;     // counts per second in the peak
};

// What happens in the main window that tool windows may follow.
enum class Notification {
    CursorMoved,             // the plot cursor is being dragged
    CursorSettled,           // the cursor was released after a drag or stepped by an arrow key
    CurrentHistogramChanged, // the user picked another current histogram in the list pane
    // Entries were added, removed, reordered, renamed or (un)marked; the current entry may be
    // another one.
    ListChanged,
    // The energy or efficiency calibration is another one (a configuration restored, a file
    // whose trailer was taken, a calibration window's result).
    CalibrationChanged,
    // The plot shows another range of channels (boundaries, zoom, the display settings).
    VisibleRangeChanged,
};
inline constexpr int kNotificationCount = 6;

class ToolWindow : public QDialog {
public:
    // parent: the main window, which the tool window stays in front of.
    explicit ToolWindow(QWidget* parent);

    // Runs one of the window's commands: the ids of its controls, kRefreshCommand,
    // kCursorMovedCommand, or whatever else its kind takes.
    virtual void command(int id) = 0;

    // The command the window is sent on a notification; nothing when it does not follow it.
    std::optional<int> commandOn(Notification notification) const;

    // What the window draws over the plot while it is open; none by default.
    virtual const PlotOverlay* plotOverlay() const { return nullptr; }

    // What the window draws in the plot pane instead of the plot while it is open; none by
    // default.
    virtual const PaneGraph* paneGraph() const { return nullptr; }

    // Fills the window's fields from a peak handed over; windows that take none ignore it.
    virtual void takePeak(const HandedPeak&) {}

protected:
    // From now on the window is sent command on every notification of this kind.
    void follow(Notification notification, int command);

private:
    std::array<std::optional<int>, kNotificationCount> m_commands;
};

} // namespace kv

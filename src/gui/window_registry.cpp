#include "gui/window_registry.h"

#include <algorithm>

namespace kv {

namespace {

bool allowsSeveral(WindowKind kind) {
    return kind == WindowKind::Arithmetic;
}

// A closed window is hidden at once and deleted later; from the moment it is hidden it counts
// as gone.
bool stillOpen(const QPointer<ToolWindow>& window) {
    return window && !window->isHidden();
}

} // namespace

WindowRegistry::~WindowRegistry() {
    for (Entry& entry : m_entries) {
        delete entry.window.data();
    }
}

std::vector<QPointer<ToolWindow>> WindowRegistry::openWindows(std::optional<WindowKind> kind) {
    std::erase_if(m_entries, [](const Entry& entry) { return !stillOpen(entry.window); });
    std::vector<QPointer<ToolWindow>> windows;
    for (const Entry& entry : m_entries) {
        if (!kind || entry.kind == *kind) {
            windows.push_back(entry.window);
        }
    }
    return windows;
}

ToolWindow* WindowRegistry::open(WindowKind kind, const WindowMaker& make) {
    if (ToolWindow* window = allowsSeveral(kind) ? nullptr : find(kind)) {
        if (window->isMinimized()) {
            window->showNormal();
        }
        window->raise();
        window->activateWindow();
        return window;
    }
    std::unique_ptr<ToolWindow> made = make();
    if (!made) {
        return nullptr;
    }
    // From here on the window owns itself: it is deleted when it closes.
    ToolWindow* window = made.release();
    window->show();
    m_entries.push_back({kind, window});
    return window;
}

ToolWindow* WindowRegistry::find(WindowKind kind) const {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [kind](const Entry& entry) {
        return entry.kind == kind && stillOpen(entry.window);
    });
    return it == m_entries.end() ? nullptr : it->window.data();
}

int WindowRegistry::send(WindowKind kind, int command) {
    int reached = 0;
    for (const QPointer<ToolWindow>& window : openWindows(kind)) {
        if (stillOpen(window)) {
            window->command(command);
            ++reached;
        }
    }
    return reached;
}

void WindowRegistry::notify(Notification notification) {
    for (const QPointer<ToolWindow>& window : openWindows(std::nullopt)) {
        if (!stillOpen(window)) {
            continue;
        }
        if (const std::optional<int> command = window->commandOn(notification)) {
            window->command(*command);
        }
    }
}

std::vector<const PlotOverlay*> WindowRegistry::overlays() const {
    std::vector<const PlotOverlay*> drawn;
    for (const Entry& entry : m_entries) {
        if (stillOpen(entry.window)) {
            if (const PlotOverlay* overlay = entry.window->plotOverlay()) {
                drawn.push_back(overlay);
            }
        }
    }
    return drawn;
}

void WindowRegistry::handPeak(const HandedPeak& peak) {
    for (const QPointer<ToolWindow>& window : openWindows(std::nullopt)) {
        if (stillOpen(window)) {
            window->takePeak(peak);
        }
    }
}

const PaneGraph* WindowRegistry::paneGraph() const {
    for (const Entry& entry : m_entries) {
        if (stillOpen(entry.window)) {
            if (const PaneGraph* graph = entry.window->paneGraph()) {
                return graph;
            }
        }
    }
    return nullptr;
}

bool WindowRegistry::closeAll() {
    bool allClosed = true;
    for (const QPointer<ToolWindow>& window : openWindows(std::nullopt)) {
        if (stillOpen(window) && (!window->close() || stillOpen(window))) {
            allClosed = false;
        }
    }
    return allClosed;
}

} // namespace kv

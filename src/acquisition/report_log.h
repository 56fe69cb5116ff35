#pragma once

// The report log: the last 512 result lines of the X-ray evaluations, each with a colour and an
// indent, numbered from 1 since start or the last clear. Measurement workers append while the
// user-interface thread paints, copies and saves, so every access takes one lock; readers work
// on a snapshot and never hold the lock across painting or a file dialog, so a worker is never
// stopped by the report window.

#include "platform/files.h"
#include "platform/ui_services.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kReportLogCapacity = 512;
inline constexpr std::size_t kReportLineLimit = 127; // characters

// Colour flags: bit 0 red, bit 1 green, bit 2 blue. The values the callers use:
inline constexpr int kReportBlack = 0;
inline constexpr int kReportRed = 1;
inline constexpr int kReportBlue = 4;
inline constexpr int kReportMagenta = 5;

struct ReportColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const ReportColour&, const ReportColour&) = default;
};

// Each set flag bit turns its component fully on.
ReportColour reportColour(int flags);

struct ReportLine {
    std::string text; // UTF-8, at most kReportLineLimit characters
    ReportColour colour;
    std::int32_t indent = 0;   // in character widths
    std::int64_t sequence = 0; // 0 for the first line after start or a clear; shown as 1

    friend bool operator==(const ReportLine&, const ReportLine&) = default;
};

class ReportLog {
public:
    ReportLog();

    // Any thread. The text is cut to kReportLineLimit characters (never inside a UTF-8
    // sequence); beyond 512 lines the oldest is overwritten.
    void append(std::string_view text, int colourFlags, std::int32_t indent = 0);

    // The next line is numbered 1 again.
    void clear();

    // Lines added since start or the last clear, including those overwritten.
    std::int64_t reportCount() const;

    // The retained lines, oldest first, as one consistent state for painting.
    std::vector<ReportLine> snapshot() const;

    // The copy and save text of the retained lines, newest first: per line indent tabs, then
    // "%04d: %s" with the sequence + 1 and the text, then CR LF. Empty when no line is retained.
    std::string copyText() const;

    // Called after every append and clear on the thread that made it, without the lock held;
    // the window uses it to schedule a repaint on its own thread.
    void setChangeListener(std::function<void()> listener);

private:
    void notify();

    mutable std::mutex m_mutex;
    std::vector<ReportLine> m_ring;
    std::int64_t m_reportCount = 0;
    std::function<void()> m_listener;
};

// Copy (102): puts copyText on the clipboard; false, with the clipboard untouched, when the log
// holds no line.
bool copyReportLog(const ReportLog& log, UiServices& ui);

// Save (103) once the user has chosen path: writes copyText crash-safely over the file. Nothing
// is written (written false, no reason) when the log holds no line.
WriteOutcome saveReportLog(const ReportLog& log, const std::string& path);

} // namespace kv

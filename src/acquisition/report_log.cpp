#include "acquisition/report_log.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <span>

namespace kv {

namespace {

// The first limit characters of a UTF-8 text; a continuation byte never starts a character.
std::string_view firstCharacters(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == limit) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

ReportColour reportColour(int flags) {
    const auto on = [flags](int bit) -> std::uint8_t { return (flags & bit) != 0 ? 255 : 0; };
    return {on(1), on(2), on(4)};
}

ReportLog::ReportLog() : m_ring(kReportLogCapacity) {}

void ReportLog::append(std::string_view text, int colourFlags, std::int32_t indent) {
    {
        const std::lock_guard lock(m_mutex);
        ReportLine& line = m_ring[static_cast<std::size_t>(m_reportCount % kReportLogCapacity)];
        line.text.assign(firstCharacters(text, kReportLineLimit));
        line.colour = reportColour(colourFlags);
        line.indent = indent;
        line.sequence = m_reportCount++;
    }
    notify();
}

void ReportLog::clear() {
    {
        const std::lock_guard lock(m_mutex);
        m_reportCount = 0;
    }
    notify();
}

std::int64_t ReportLog::reportCount() const {
    const std::lock_guard lock(m_mutex);
    return m_reportCount;
}

std::vector<ReportLine> ReportLog::snapshot() const {
    const std::lock_guard lock(m_mutex);
    const std::int64_t n = std::min<std::int64_t>(m_reportCount, kReportLogCapacity);
    std::vector<ReportLine> lines;
    lines.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        lines.push_back(
            m_ring[static_cast<std::size_t>((m_reportCount - n + i) % kReportLogCapacity)]);
    }
    return lines;
}

std::string ReportLog::copyText() const {
    const std::vector<ReportLine> lines = snapshot();
    std::string out;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        out.append(static_cast<std::size_t>(std::max(line->indent, 0)), '\t');
        char number[32];
        std::snprintf(number, sizeof number, "%04" PRId64 ": ", line->sequence + 1);
        out += number;
        out += line->text;
        out += "\r\n";
    }
    return out;
}

void ReportLog::setChangeListener(std::function<void()> listener) {
    const std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

void ReportLog::notify() {
    std::function<void()> listener;
    {
        const std::lock_guard lock(m_mutex);
        listener = m_listener;
    }
    if (listener) {
        listener();
    }
}

bool copyReportLog(const ReportLog& log, UiServices& ui) {
    const std::string text = log.copyText();
    if (text.empty()) {
        return false;
    }
    ui.setClipboardText(text);
    return true;
}

WriteOutcome saveReportLog(const ReportLog& log, const std::string& path) {
    const std::string text = log.copyText();
    if (text.empty()) {
        return {};
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return writeFileReplacing(path, std::span(bytes, text.size()));
}

} // namespace kv

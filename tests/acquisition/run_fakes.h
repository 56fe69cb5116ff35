#pragma once

// A small analyser whose memory holds a fixed count in every channel from each start on, and a
// host that carries out and records the worker's requests with the time on the run's clock.
// Workers driven by a test's ManualClock run on the test's own thread; the test reads the host
// once the worker has returned (or been joined).

#include "acquisition/analyser_port.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "model/text_export.h"
#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace kv::test {

class FakeAnalyser : public PortIo {
public:
    std::int32_t count = 1;  // every channel after the next start
    std::int32_t growth = 0; // added to count at each start
    bool trigger = true;     // bit 7 of every status port
    std::vector<std::uint16_t> statusPortsRead;
    std::vector<std::uint8_t> controlWrites;

    void writePort(std::uint16_t port, std::uint8_t value) override {
        if (port != 0x300 + kControlOffset) {
            return;
        }
        controlWrites.push_back(value);
        if (value == 0) {
            m_address = 0;
        } else if (value != kSoftwareGateByte) {
            const auto word = static_cast<std::uint32_t>(count);
            count += growth;
            for (int i = 0; i < kAnalyserMemoryBytes; ++i) {
                m_memory[i] = static_cast<std::uint8_t>(word >> (8 * (i % 4)));
            }
        }
    }

    std::uint8_t readPort(std::uint16_t port) override {
        if (port == 0x300 + kDataOffset) {
            return m_memory[m_address++ % kAnalyserMemoryBytes];
        }
        if (statusPortsRead.empty() || statusPortsRead.back() != port) {
            statusPortsRead.push_back(port);
        }
        return trigger ? kTriggerBit : 0;
    }

private:
    std::array<std::uint8_t, kAnalyserMemoryBytes> m_memory{};
    int m_address = 0;
};

class FakeHost : public RunHost {
public:
    struct Line {
        std::string text;
        int colour = 0;
        std::chrono::nanoseconds at{}; // on the clock
    };

    explicit FakeHost(Clock& clock) : m_clock(clock) {}

    DocumentState state;
    HistogramList list{state};
    AppConfig config;                // the text export's settings
    std::vector<std::string> events; // the requests other than progress ticks, in order
    std::vector<RunProgress> progressShown;
    std::vector<Line> lines;
    std::vector<int> counts;
    std::vector<std::uint32_t> listedTotals; // each record's total when it was added
    std::chrono::nanoseconds closedAt{-1};
    // A slow user-interface thread: time the worker waits for an insertion or a report line.
    std::chrono::milliseconds addTakes{0};
    std::chrono::milliseconds reportTakes{0};

    void progress(const RunProgress& progress) override { progressShown.push_back(progress); }
    void seriesCount(int completed) override { counts.push_back(completed); }
    HistogramHandle addHistogram(std::unique_ptr<Histogram> h) override {
        m_clock.waitFor(addTakes);
        events.push_back("add");
        listedTotals.push_back(h->total);
        list.addHistogram(std::move(h));
        return list.handleAt(list.histogramCount() - 1);
    }
    bool updateHistogram(HistogramHandle listed, const Histogram& readOut) override {
        events.push_back("update");
        return takeReadOut(list, listed, readOut);
    }
    void redrawList() override { events.push_back("redraw"); }
    void repaintPlot() override { events.push_back("repaint"); }
    void markDocumentChanged() override { state.markChanged(); }
    void save() override { events.push_back("save"); }
    void exportAllText() override {
        events.push_back("export");
        exportAllToOneFile(list, config);
    }
    void reportLine(const std::string& text, int colourFlags, int) override {
        lines.push_back({text, colourFlags, m_clock.now()});
        m_clock.waitFor(reportTakes);
    }
    void closeProgress() override {
        events.push_back("close");
        closedAt = m_clock.now();
    }

    int countOf(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

private:
    Clock& m_clock;
};

} // namespace kv::test

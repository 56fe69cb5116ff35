#pragma once

// A small analyser whose memory holds a fixed count in every channel from each start on, and a
// host that carries out and records the worker's requests. The test reads the host only after
// the worker has been joined.

#include "acquisition/analyser_port.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "model/text_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kv::test {

using SteadyClock = std::chrono::steady_clock;

class FakeAnalyser : public PortIo {
public:
    std::atomic<std::int32_t> count{1}; // every channel after the next start
    std::int32_t growth = 0;            // added to count at each start
    std::atomic<bool> trigger{true};    // bit 7 of every status port
    std::atomic<std::uint64_t> statusReads{0};
    std::vector<std::uint16_t> statusPortsRead; // worker thread only; read after join
    std::vector<std::uint8_t> controlWrites;

    void writePort(std::uint16_t port, std::uint8_t value) override {
        if (port != 0x300 + kControlOffset) {
            return;
        }
        controlWrites.push_back(value);
        if (value == 0) {
            m_address = 0;
        } else if (value != kSoftwareGateByte) {
            const auto word = static_cast<std::uint32_t>(count.fetch_add(growth));
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
        ++statusReads;
        return trigger.load() ? kTriggerBit : 0;
    }

    // Sets the trigger line and, unless told not to, returns once the worker has polled it a few
    // times.
    void setTrigger(bool high, bool waitForPolls = true) {
        trigger.store(high);
        const std::uint64_t enough = statusReads.load() + (waitForPolls ? 3 : 0);
        const auto deadline = SteadyClock::now() + std::chrono::seconds(2);
        while (statusReads.load() < enough && SteadyClock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GE(statusReads.load(), enough) << "the worker stopped polling the trigger";
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
        SteadyClock::time_point at;
    };

    DocumentState state;
    HistogramList list{state};
    AppConfig config;                // the text export's settings
    std::vector<std::string> events; // the requests other than progress ticks, in order
    std::vector<Line> lines;
    std::vector<int> counts;
    std::vector<std::uint32_t> listedTotals; // each record's total when it was added
    std::chrono::milliseconds addDelay{0};   // a slow user-interface thread

    void progress(const RunProgress&) override {}
    void seriesCount(int completed) override { counts.push_back(completed); }
    Histogram* addHistogram(std::unique_ptr<Histogram> h) override {
        std::this_thread::sleep_for(addDelay);
        events.push_back("add");
        listedTotals.push_back(h->total);
        list.addHistogram(std::move(h));
        return list.histogramAt(list.histogramCount() - 1);
    }
    void updateHistogram(Histogram* listed, const Histogram& readOut) override {
        events.push_back("update");
        listed->channels = readOut.channels;
        listed->total = readOut.total;
        listed->exposure = readOut.exposure;
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
        lines.push_back({text, colourFlags, SteadyClock::now()});
    }
    void closeProgress() override { events.push_back("close"); }

    int countOf(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

// Waits for the worker to end (as the user-interface thread would) and joins it.
inline void finishRun(RunController& controller, double limitSeconds = 15.0) {
    const auto end = SteadyClock::now() + std::chrono::duration<double>(limitSeconds);
    while (controller.running() && SteadyClock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_FALSE(controller.running()) << "the worker did not end";
    controller.abort();
    controller.join();
}

} // namespace kv::test

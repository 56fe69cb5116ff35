#pragma once

// A small analyser and a host for the acquisition workers. The analyser's memory holds a fixed
// count in every channel from each start of counting on; the host carries out the worker's
// requests on the test's list under a lock and records them.

#include "acquisition/analyser_port.h"
#include "acquisition/run_control.h"
#include "acquisition/run_host.h"
#include "model/app_config.h"
#include "model/document_state.h"
#include "model/histogram_list.h"
#include "model/text_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kv::test {

using SteadyClock = std::chrono::steady_clock;

class FakeAnalyser : public PortIo {
public:
    static constexpr std::uint16_t kBase = 0x300;

    // The count every channel holds after the next start; grows by growth at each start.
    std::atomic<std::int32_t> count{1};
    std::int32_t growth = 0;
    std::atomic<std::uint8_t> triggerLevel{1}; // bit 7 of every status port
    std::atomic<std::uint64_t> statusReads{0};
    std::vector<std::uint16_t> statusPortsRead; // worker thread only; read after join
    std::vector<std::uint8_t> controlWrites;

    void writePort(std::uint16_t port, std::uint8_t value) override {
        if (port == kBase + kControlOffset) {
            controlWrites.push_back(value);
            if (value == 0) {
                m_address = 0;
            } else if (value != kSoftwareGateByte) {
                fill(count.fetch_add(growth));
            }
        } else if (port == kBase + kDataOffset) {
            m_memory[m_address++ % kAnalyserMemoryBytes] = value;
        }
    }

    std::uint8_t readPort(std::uint16_t port) override {
        if (port == kBase + kDataOffset) {
            return m_memory[m_address++ % kAnalyserMemoryBytes];
        }
        if (std::find(std::begin(kTriggerStatusPorts), std::end(kTriggerStatusPorts), port) !=
            std::end(kTriggerStatusPorts)) {
            if (statusPortsRead.empty() || statusPortsRead.back() != port) {
                statusPortsRead.push_back(port);
            }
            ++statusReads;
            return triggerLevel.load() != 0 ? kTriggerBit : 0;
        }
        return 0xFF;
    }

    // Sets the trigger line and, unless the series ends with it, returns once the worker has
    // polled the new level a few times, so it has seen it before the next change.
    void setTrigger(bool high, bool waitForPolls = true) {
        triggerLevel.store(high ? 1 : 0);
        if (!waitForPolls) {
            return;
        }
        // A read counted from here on loads the level after this store.
        const std::uint64_t before = statusReads.load();
        const auto deadline = SteadyClock::now() + std::chrono::seconds(2);
        while (statusReads.load() < before + 3 && SteadyClock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GE(statusReads.load(), before + 3) << "the worker stopped polling the trigger";
    }

private:
    void fill(std::int32_t value) {
        for (int i = 0; i < kAnalyserMemoryBytes; ++i) {
            m_memory[i] =
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * (i % 4)));
        }
    }

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

    std::mutex mutex;
    DocumentState state;
    HistogramList list{state};
    AppConfig config; // the text export's settings
    std::vector<std::string> events;
    std::vector<Line> lines;
    std::vector<int> counts;
    std::vector<std::uint32_t> listedTotals; // each record's total when it was added
    std::chrono::milliseconds addDelay{0};   // a slow user-interface thread

    void progress(const RunProgress&) override { record("progress"); }
    void seriesCount(int completed) override {
        std::lock_guard lock(mutex);
        counts.push_back(completed);
    }
    Histogram* addHistogram(std::unique_ptr<Histogram> h) override {
        std::this_thread::sleep_for(addDelay);
        std::lock_guard lock(mutex);
        events.push_back("add");
        listedTotals.push_back(h->total);
        list.addHistogram(std::move(h));
        return list.histogramAt(list.histogramCount() - 1);
    }
    void updateHistogram(Histogram* listed, const Histogram& readOut) override {
        std::lock_guard lock(mutex);
        events.push_back("update");
        listed->channels = readOut.channels;
        listed->total = readOut.total;
        listed->exposure = readOut.exposure;
    }
    void redrawList() override { record("redraw"); }
    void repaintPlot() override { record("repaint"); }
    void markDocumentChanged() override {
        std::lock_guard lock(mutex);
        state.markChanged();
    }
    void save() override { record("save"); }
    void exportAllText() override {
        std::lock_guard lock(mutex);
        events.push_back("export");
        exportAllToOneFile(list, config);
    }
    void reportLine(const std::string& text, int colourFlags, int) override {
        std::lock_guard lock(mutex);
        lines.push_back({text, colourFlags, SteadyClock::now()});
    }
    void closeProgress() override { record("close"); }

    // The requests other than progress ticks, in order.
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                     [](const std::string& e) { return e != "progress"; });
        return out;
    }
    int countOf(const std::string& event) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

private:
    void record(const char* event) {
        std::lock_guard lock(mutex);
        events.emplace_back(event);
    }
};

// Waits for the worker to end (as the user-interface thread would, serving requests meanwhile)
// and joins it.
inline void finishRun(RunController& controller, double limitSeconds = 15.0) {
    const auto start = SteadyClock::now();
    while (controller.running() &&
           SteadyClock::now() - start < std::chrono::duration<double>(limitSeconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_FALSE(controller.running()) << "the worker did not end";
    controller.abort();
    controller.join();
}

} // namespace kv::test

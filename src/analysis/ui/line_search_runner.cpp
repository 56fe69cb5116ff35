#include "analysis/ui/line_search_runner.h"

#include <memory>
#include <utility>

namespace kv {

LineSearchRunner::~LineSearchRunner() {
    stop();
}

void LineSearchRunner::stop() {
    if (m_worker.joinable()) {
        m_stop = true;
        m_worker.join();
    }
}

bool LineSearchRunner::start(Histogram spectrum, const LineSearchSettings& settings,
                             const EnergyCalibration& calibration, Finished finished) {
    if (running()) {
        return false;
    }
    m_stop = false;
    m_worker = std::thread([this, spectrum = std::move(spectrum), settings, calibration,
                            finished = std::move(finished)]() mutable {
        auto result = std::make_shared<LineSearchResult>(
            searchLines(spectrum, settings, calibration, m_stop));
        auto searched = std::make_shared<Histogram>(std::move(spectrum));
        // Delivered through the runner's event loop; a runner destroyed before then takes the
        // posted call with it.
        QMetaObject::invokeMethod(
            this,
            [this, searched, result, finished = std::move(finished)] {
                m_worker.join();
                if (!result->stopped) {
                    finished(std::move(*searched), std::move(*result));
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

} // namespace kv

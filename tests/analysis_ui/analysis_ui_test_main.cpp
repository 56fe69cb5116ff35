// The analysis windows offscreen.

#include "analysis_ui_fixture.h"

#include "support/main_window_tests.h"

#include <QDeadlineTimer>

namespace kv::test {

bool AnalysisWindows::waitUntil(const std::function<bool()>& condition) {
    // A bound for a machine under load, not an expected time: a search here takes milliseconds.
    QDeadlineTimer deadline(60'000);
    while (!condition() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return condition();
}

} // namespace kv::test

int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}

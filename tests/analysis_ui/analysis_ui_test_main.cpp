// The analysis windows offscreen.

#include "analysis_ui_fixture.h"

#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <clocale>

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
    // Test discovery runs this program without the test's environment, often without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // The toolbar's layout goes to a directory of this run, never to the user's settings.
    const QTemporaryDir settingsHome;
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings::setPath(format, scope, settingsHome.path());
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#pragma once

// The main() of the suites that drive the main window offscreen.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>

namespace kv::test {

// Answers the modal dialog of type Dialog that opens next with answer (looking every 10 ms, for
// 5 s at most).
template <typename Dialog>
void answerNext(std::function<void(Dialog&)> answer, int triesLeft = 500) {
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [answer = std::move(answer), triesLeft] {
        if (auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
            answer(*dialog);
        } else if (triesLeft > 0) {
            answerNext<Dialog>(answer, triesLeft - 1);
        } else {
            ADD_FAILURE() << "the dialog did not show";
        }
    });
}

// Runs the suite's tests offscreen (unless QT_QPA_PLATFORM says otherwise) under the C numeric
// locale, with the toolbar's layout kept in a directory of this run, never in the user's
// settings.
inline int runMainWindowTests(int argc, char** argv) {
    // Test discovery runs the program without the test's environment, often without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QTemporaryDir settingsHome;
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings::setPath(format, scope, settingsHome.path());
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace kv::test

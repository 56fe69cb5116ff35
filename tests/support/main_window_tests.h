#pragma once

// The main() of the suites that drive the main window offscreen.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>

namespace kv::test {

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

// The analysis windows offscreen.

#include "analysis_ui_fixture.h"

#include "app/plot_pane.h"
#include "support/main_window_tests.h"

#include <QAbstractButton>
#include <QAction>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>

namespace kv::test {

bool AnalysisWindows::waitUntil(const std::function<bool()>& condition) {
    // A bound for a machine under load, not an expected time: a search here takes milliseconds.
    QDeadlineTimer deadline(60'000);
    while (!condition() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return condition();
}

void AnalysisWindows::click(QWidget* button) {
    ASSERT_NE(button, nullptr);
    static_cast<QAbstractButton*>(button)->click();
}

void AnalysisWindows::type(QWidget* field, const char* text) {
    static_cast<QLineEdit*>(field)->setText(QString::fromUtf8(text));
}

QString AnalysisWindows::textOf(QWidget* field) {
    return static_cast<QLineEdit*>(field)->text();
}

void AnalysisWindows::triggerAnalysisItem(const QString& item) {
    for (const QAction* menu : window.menuBar()->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            if (menu->text() == "Анализ" && action->text() == item) {
                action->trigger();
                return;
            }
        }
    }
    ADD_FAILURE() << "no menu item " << item.toStdString();
}

QByteArray AnalysisWindows::cliOutput(const QStringList& arguments) {
    QProcess cli;
    cli.start(KV_CLI_PATH, arguments);
    EXPECT_TRUE(cli.waitForFinished(60'000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    return cli.readAllStandardOutput();
}

QImage AnalysisWindows::plotImage() {
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (auto* pane = dynamic_cast<PlotPane*>(child)) {
            return pane->grab().toImage();
        }
    }
    ADD_FAILURE() << "no plot pane";
    return {};
}

void AnalysisWindows::writeDatabase(const std::vector<IsotopeRecord>& records) {
    IsotopeDatabase db;
    for (const IsotopeRecord& record : records) {
        db.append(record);
    }
    ASSERT_EQ(saveDatabase(db, databasePath()).status, SaveDatabaseStatus::Written);
}

} // namespace kv::test

int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}

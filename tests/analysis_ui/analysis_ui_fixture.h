#pragma once

// The main window with a program directory of its own and scripted dialogs, for driving the
// analysis windows offscreen through their controls.

#include "analysis/isotope_database.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "gui/tool_window.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::test {

class AnalysisWindows : public ::testing::Test {
protected:
    TempDir home;
    AppState state{home.root() + "/"};
    FakeUiServices ui;
    MainWindow window{state, ui};

    // Opens a histogram file as the command line does.
    void open(const std::string& path) {
        window.dispatch(Command::CommandLineOpen, "\"" + path + "\"");
        ASSERT_FALSE(state.list.empty()) << path;
    }

    // Adds a histogram of these channels (the list takes their count), which becomes current.
    void add(std::vector<std::int32_t> channels, double exposure = 100.0) {
        state.list.setChannelCount(static_cast<std::int32_t>(channels.size()));
        auto h = state.list.newHistogram();
        h->channels = std::move(channels);
        h->exposure = exposure;
        state.list.addHistogram(std::move(h));
    }

    // Runs trigger, which opens a modal dialog of type Dialog; act gets the dialog as soon as
    // it shows and ends it through the dialog's own buttons. False when no such dialog came up.
    template <class Dialog>
    bool whileModal(const std::function<void()>& trigger, const std::function<void(Dialog&)>& act) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    other->reject();
                }
                return;
            }
            shown = true;
            act(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog->reject();
            }
        });
        trigger();
        return shown;
    }

    // The same for a main-window command.
    template <class Dialog>
    bool withDialog(Command command, const std::function<void(Dialog&)>& act) {
        return whileModal<Dialog>([&] { window.dispatch(command); }, act);
    }

    // The open tool window of a kind, as its class; null when none is open.
    template <class Window> Window* openWindow(WindowKind kind) {
        return dynamic_cast<Window*>(state.windows.find(kind));
    }

    // Processes events until condition holds or a minute has passed.
    static bool waitUntil(const std::function<bool()>& condition);

    // A button clicked, a line edit typed into or read, as the user does.
    static void click(QWidget* button);
    static void type(QWidget* field, const char* text);
    static QString textOf(QWidget* field);

    // Triggers an item of the "Анализ" menu.
    void triggerAnalysisItem(const QString& item);

    // What kvantira-cli prints on its standard output for these arguments; it must succeed.
    static QByteArray cliOutput(const QStringList& arguments);

    // The plot pane as it is drawn now.
    QImage plotImage();

    // The isotope database the windows read, in the program directory.
    std::string databasePath() const { return home.path("SPECTORS.DAT"); }
    void writeDatabase(const std::vector<IsotopeRecord>& records);
};

} // namespace kv::test

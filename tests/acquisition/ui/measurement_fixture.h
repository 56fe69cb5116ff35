#pragma once

// The main window on the simulated analyser, offscreen, with scripted message boxes and file
// dialogs. Runs are timed on the real clock: the tests wait for what the run shows (its status,
// the list), never for a fixed time.

#include "acquisition/simulated_analyser.h"
#include "acquisition/ui/progress_window.h"
#include "acquisition/ui/start_dialog.h"
#include "app/main_window.h"
#include "app/toolbar.h"
#include "gui/app_state.h"
#include "support/fake_ui_services.h"
#include "support/main_window_tests.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace kv::test {

// Long enough for a run on a loaded machine; a test that waits this long has failed.
inline constexpr int kPatienceMs = 60'000;

template <typename Dialog>
void type(Dialog& dialog, typename Dialog::Control id, const char* text) {
    static_cast<QLineEdit*>(dialog.control(id))->setText(QString::fromUtf8(text));
}

template <typename Dialog> void click(Dialog& dialog, typename Dialog::Control id) {
    static_cast<QAbstractButton*>(dialog.control(id))->click();
}

// Runs command and answers its dialog with answer.
template <typename Dialog>
void answer(MainWindow& window, Command command, std::function<void(Dialog&)> answer) {
    answerNext<Dialog>(std::move(answer));
    window.dispatch(command);
}

struct MeasurementFixture : ::testing::Test {
    TempDir home;
    AppState state{home.root() + "/"};
    SimulatedAnalyser* analyser = nullptr; // owned by state
    FakeUiServices ui;
    std::unique_ptr<MainWindow> window;

    MeasurementFixture() {
        auto simulated = std::make_unique<SimulatedAnalyser>(
            state.clock, SimulationOptions{{Source::Cs137}, Detector::NaI, 50'000.0});
        analyser = simulated.get();
        state.analyser = {AnalyserKind::Simulated, std::move(simulated)};
        window = std::make_unique<MainWindow>(state, ui);
        window->resize(900, 600);
    }

    // The start dialog of the next "Старт", filled in by fill and answered by its "Пуск".
    struct StartValues {
        std::string exposure = "2";
        bool autoSave = true;
        std::string name = "Cs-137";
    };
    // Presses the toolbar's green button and fills in the dialog; true when it started a run.
    bool start(const StartValues& values) {
        bool started = false;
        answerNext<StartDialog>([&](StartDialog& dialog) {
            using C = StartDialog::Control;
            type(dialog, C::Name, values.name.c_str());
            type(dialog, C::Exposure, values.exposure.c_str());
            static_cast<QAbstractButton*>(dialog.control(C::AutoSave))->setChecked(values.autoSave);
            click(dialog, C::Start);
            started = dialog.result() == QDialog::Accepted;
            if (!started) {
                dialog.reject();
            }
        });
        window->toolbar().button(Command::Start)->trigger();
        return started;
    }

    ProgressWindow* progressWindow() {
        return dynamic_cast<ProgressWindow*>(state.windows.find(WindowKind::RunProgress));
    }
    void press(ProgressWindow::Control button) {
        ProgressWindow* progress = progressWindow();
        ASSERT_NE(progress, nullptr);
        static_cast<QPushButton*>(progress->control(button))->click();
    }
    std::uint32_t elapsedMs() { return window->runs().status().progress.elapsedMs; }

    // Processes events until done holds; false when it never does.
    static bool waitFor(const std::function<bool()>& done) {
        return QTest::qWaitFor(done, kPatienceMs);
    }
    bool waitForRunEnd() {
        return waitFor([this] { return !window->runs().active(); });
    }

    // Runs action and fails the test when it opens a modal dialog (which is then rejected).
    static void expectNoDialog(const std::function<void()>& action) {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "a dialog opened";
                static_cast<QDialog*>(dialog)->reject();
            }
        });
        watch.start(0);
        action();
    }
};

} // namespace kv::test

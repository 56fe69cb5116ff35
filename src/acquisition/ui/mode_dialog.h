#pragma once

// The mode dialog ("Выбор режима", command 402): the analyser's base address, gating,
// coincidence, memory organisation and interrupt, and the three memory tests. The coincidence
// choice is open only with internal gating, the memory choice only without it, and switching to
// internal gating selects histogram memory. OK and each test button store the five choices (a
// later "Отменить" keeps what a test button stored); the settings take effect at the next run.

#include "acquisition/memory_test.h"
#include "gui/dialog_controls.h"
#include "model/settings.h"
#include "platform/ui_services.h"

#include <QDialog>

#include <functional>

namespace kv {

class ModeDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Help = kHelpButton,
        Address = 104,
        Gating = 107,
        Coincidence = 108,
        Memory = 109,
        Interrupt = 110,
        TestZeros = 112,
        TestOnes = 113,
        TestRandom = 114,
    };

    // Runs a memory test with the settings just stored and tells the user its result.
    using MemoryTestRunner = std::function<void(MemoryPattern)>;

    ModeDialog(AnalyserSettings& settings, UiServices& ui, MemoryTestRunner runTest,
               QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    // A click on one of the dialog's buttons.
    void command(Control id);

private:
    void applyDependencyRule();
    void onGatingChosen();
    void store();
    int selected(Control id) const;

    AnalyserSettings& m_settings;
    UiServices& m_ui;
    MemoryTestRunner m_runTest;
    DialogControls<Control> m_controls;
};

} // namespace kv

// "Выбор режима": the dependency between the choices, what OK, "Отменить" and the test buttons
// store, and the three memory tests on the simulated analyser.

#include "acquisition/ui/measurement_fixture.h"

#include "acquisition/ui/mode_dialog.h"
#include "app/list_pane.h"

#include <QComboBox>

namespace kv {
namespace {

using test::MeasurementFixture;
using C = ModeDialog::Control;

QComboBox& list(const ModeDialog& dialog, C id) {
    return *static_cast<QComboBox*>(dialog.control(id));
}

// Picks an entry as the user does, which tells the dialog.
void choose(ModeDialog& dialog, C id, int index) {
    list(dialog, id).setCurrentIndex(index);
    emit list(dialog, id).activated(index);
}

TEST(ModeDialog, InternalGatingOpensCoincidenceAndSelectsHistogramMemory) {
    AnalyserSettings settings{.coincidenceMode = 0, .gatingMode = 0, .memoryMode = 1};
    test::FakeUiServices ui;
    ModeDialog dialog(settings, ui, [](MemoryPattern) {});
    EXPECT_EQ(list(dialog, C::Address).itemText(7), "370");
    EXPECT_EQ(list(dialog, C::Gating).itemText(2), QString::fromUtf8("Програмный"));
    EXPECT_FALSE(list(dialog, C::Coincidence).isEnabled());
    EXPECT_TRUE(list(dialog, C::Memory).isEnabled());

    choose(dialog, C::Gating, 1);
    EXPECT_TRUE(list(dialog, C::Coincidence).isEnabled());
    EXPECT_FALSE(list(dialog, C::Memory).isEnabled());
    EXPECT_EQ(list(dialog, C::Memory).currentIndex(), 0);
    // Back to software gating: the lists swap again and keep their selections.
    choose(dialog, C::Coincidence, 1);
    choose(dialog, C::Gating, 2);
    EXPECT_FALSE(list(dialog, C::Coincidence).isEnabled());
    EXPECT_TRUE(list(dialog, C::Memory).isEnabled());
    EXPECT_EQ(list(dialog, C::Coincidence).currentIndex(), 1);
    EXPECT_EQ(list(dialog, C::Memory).currentIndex(), 0);

    choose(dialog, C::Address, 7);
    choose(dialog, C::Interrupt, 1);
    dialog.command(C::Ok);
    EXPECT_EQ(settings.portBaseIndex, 7);
    EXPECT_EQ(settings.gatingMode, 2);
    EXPECT_EQ(settings.coincidenceMode, 1);
    EXPECT_EQ(settings.memoryMode, 0);
    EXPECT_EQ(settings.interruptMode, 1);
    EXPECT_EQ(settings.internalGating, 0);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ModeDialog, StoredCombinationsAreShownAsTheyAreAndCancelStoresNothing) {
    // Internal gating with stack memory, from a file: shown with the memory list disabled, and
    // stored back unchanged; a damaged address shows no entry and keeps its value.
    AnalyserSettings settings{.portBaseIndex = 9, .gatingMode = 1, .memoryMode = 1};
    test::FakeUiServices ui;
    {
        ModeDialog dialog(settings, ui, [](MemoryPattern) {});
        EXPECT_EQ(list(dialog, C::Memory).currentIndex(), 1);
        EXPECT_FALSE(list(dialog, C::Memory).isEnabled());
        EXPECT_EQ(list(dialog, C::Address).currentIndex(), -1);
        dialog.command(C::Ok);
    }
    EXPECT_EQ(settings.memoryMode, 1);
    EXPECT_EQ(settings.portBaseIndex, 9);
    EXPECT_EQ(settings.internalGating, 1);

    const AnalyserSettings before = settings;
    ModeDialog dialog(settings, ui, [](MemoryPattern) {});
    choose(dialog, C::Gating, 0);
    dialog.command(C::Cancel);
    EXPECT_EQ(settings, before);
    dialog.command(C::Help);
    EXPECT_EQ(ui.helpContexts, std::vector{21});
}

// The test buttons through the main window's "Выбор режима", on the simulated analyser.
TEST_F(MeasurementFixture, MemoryTestsStoreTheChoicesReportAndListWhatFailed) {
    state.config.analyser.gatingMode = 0;
    std::vector<C> presses{C::TestZeros, C::TestOnes};
    const auto pressTestsThenCancel = [&](int gating) {
        test::answer<ModeDialog>(*window, Command::ModeSelection, [&, gating](ModeDialog& dialog) {
            choose(dialog, C::Gating, gating);
            for (const C button : presses) {
                test::click(dialog, button);
            }
            dialog.command(C::Cancel);
        });
    };

    // A healthy memory: good news each time, nothing added; "Отменить" keeps what the test
    // buttons stored.
    pressTestsThenCancel(1);
    EXPECT_EQ(ui.messageIds(),
              (std::vector{StringId::MemoryTestPassed, StringId::MemoryTestPassed}));
    EXPECT_EQ(ui.messages[0].caption, StringId::GoodNews);
    EXPECT_TRUE(state.list.empty());
    EXPECT_EQ(state.config.analyser.gatingMode, 1);
    EXPECT_EQ(state.config.analyser.internalGating, 1);

    // A dead channel reads as all ones: the zeros test finds it, the ones test cannot; the
    // random test adds what it read back and then what it wrote.
    ui.messages.clear();
    analyser->injectDeadChannel(1);
    presses = {C::TestZeros, C::TestOnes, C::TestRandom};
    pressTestsThenCancel(1);
    ASSERT_EQ(ui.messageIds(), (std::vector{StringId::MemoryTestErrors, StringId::MemoryTestPassed,
                                            StringId::MemoryTestErrors}));
    EXPECT_EQ(ui.messages[0].detail, "0.0% ошибок в тесте"); // 1 word of 2048
    EXPECT_EQ(ui.messages[0].caption, StringId::BadNews);
    ASSERT_EQ(state.list.histogramCount(), 3);
    EXPECT_EQ(state.list.histogramAt(0)->channels[1], -1);
    EXPECT_EQ(state.list.histogramAt(0)->channels[2], 0);
    EXPECT_EQ(state.list.histogramAt(2)->exposure, 1.0);
    EXPECT_EQ(window->listPane().topLevelItemCount(), 3);

    // No analyser: the tests say so and touch nothing.
    ui.messages.clear();
    state.analyser = {};
    presses = {C::TestOnes};
    pressTestsThenCancel(0);
    EXPECT_EQ(ui.messageIds(), std::vector{StringId::AnalyserUnavailable});
    EXPECT_EQ(state.config.analyser.gatingMode, 0);
}

} // namespace
} // namespace kv

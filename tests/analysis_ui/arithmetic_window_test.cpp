// The arithmetic windows, several at once, driven through their controls.

#include "analysis/ui/arithmetic_window.h"
#include "analysis_ui_fixture.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <set>
#include <vector>

namespace kv {
namespace {

using C = ArithmeticWindow::Control;

class Arithmetic : public test::AnalysisWindows {
protected:
    // Opens one more window with the entry at index current as its first operand.
    ArithmeticWindow* openWith(int current) {
        state.list.setCurrentIndex(current);
        window.dispatch(Command::Arithmetic);
        ArithmeticWindow* newest = nullptr;
        for (QWidget* child : window.findChildren<QWidget*>()) {
            auto* w = dynamic_cast<ArithmeticWindow*>(child);
            newest = w && w->isVisible() && !m_opened.contains(w) ? w : newest;
        }
        m_opened.insert(newest);
        return newest;
    }

private:
    std::set<const ArithmeticWindow*> m_opened;
};

TEST_F(Arithmetic, SeveralWindowsComposeAndADeletedOperandChangesNothing) {
    add({3, -3, 10, 7}, 100.0);
    add({1, 1, 1, 1}, 50.0);
    add({5, 5, 5, 5}, 10.0);
    ArithmeticWindow* sum = openWith(0);
    ArithmeticWindow* stale = openWith(2);
    ASSERT_NE(sum, nullptr);
    ASSERT_NE(stale, nullptr);
    ASSERT_NE(sum, stale);

    // 0.5 a + 1 b, truncated toward zero; the exposures add with the same factors.
    state.list.setCurrentIndex(1);
    click(sum->control(C::TakeSecond));
    EXPECT_EQ(textOf(sum->control(C::SecondName)).toStdString(),
              utf8FromCp1251(state.list.histogramAt(1)->name.str()));
    type(sum->control(C::FirstFactor), "0.5");
    click(sum->control(C::Add));
    click(sum->control(C::Ok));
    ASSERT_EQ(state.list.histogramCount(), 4);
    const Histogram& result = *state.list.histogramAt(3);
    EXPECT_EQ(result.channels, (std::vector<std::int32_t>{2, 0, 6, 4}));
    EXPECT_DOUBLE_EQ(result.exposure, 100.0);
    EXPECT_EQ(utf8FromCp1251(result.comment.str()), text(StringId::Composition));
    EXPECT_FALSE(sum->isVisible());
    EXPECT_DOUBLE_EQ(state.arithmetic.firstFactor, 0.5) << "shared with the next window";

    // The other window's only operand is deleted under it: "OK" says so and adds nothing.
    state.list.setCurrentIndex(2);
    window.dispatch(Command::Delete);
    ASSERT_EQ(state.list.histogramCount(), 3);
    ui.messages.clear();
    click(stale->control(C::Ok));
    ASSERT_EQ(ui.messageIds(), std::vector<StringId>{StringId::OperandDeleted});
    EXPECT_EQ(state.list.histogramCount(), 3);
    EXPECT_TRUE(stale->isVisible());
    // Another operand taken, it subtracts: a - b of the same record is all zeros, and the
    // exposure is the first one's times its factor.
    state.list.setCurrentIndex(1);
    click(stale->control(C::TakeFirst));
    type(stale->control(C::FirstFactor), "1");
    click(stale->control(C::Subtract));
    click(stale->control(C::Ok));
    ASSERT_EQ(state.list.histogramCount(), 4);
    EXPECT_EQ(state.list.histogramAt(3)->channels, std::vector<std::int32_t>(4, 0));
    EXPECT_DOUBLE_EQ(state.list.histogramAt(3)->exposure, 50.0);
}

} // namespace
} // namespace kv

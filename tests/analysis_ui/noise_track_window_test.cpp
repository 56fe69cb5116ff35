// The noise track window following the visible range and the current histogram.

#include "analysis/ui/noise_track_window.h"
#include "analysis_ui_fixture.h"
#include "display/cursor.h"
#include "model/cp1251.h"

#include <string>

namespace kv {
namespace {

using C = NoiseTrackWindow::Control;

class NoiseTrack : public test::AnalysisWindows {
protected:
    // "mean sigma poisson" as the window shows them.
    std::string shown() {
        auto* w = openWindow<NoiseTrackWindow>(WindowKind::NoiseTrack);
        if (!w) {
            return "closed";
        }
        std::string s;
        for (const C id : {C::Mean, C::Sigma, C::PoissonSigma}) {
            s += textOf(w->control(id)).toStdString() + " ";
        }
        return s;
    }
    // Sets a boundary at a channel as the user does: the cursor there, then the command.
    void boundaryAt(int channel, Command which) {
        placeCursorAt(state.plotView, state.config.plot, channel);
        window.dispatch(which);
    }
};

TEST_F(NoiseTrack, FollowsTheVisibleRangeAndTheCurrentHistogram) {
    add({0, 0, 10, 12, 8, 10, 50, 50});
    window.dispatch(Command::ClearBoundaries);
    window.dispatch(Command::NoiseParameters);
    EXPECT_EQ(shown(), "17.50 19.23 4.18 ");

    boundaryAt(2, Command::SetLeftBoundary);
    EXPECT_EQ(shown(), "23.33 18.89 4.83 ");
    boundaryAt(5, Command::SetRightBoundary);
    EXPECT_EQ(shown(), "10.00 1.41 3.16 ");

    // A copy with other counts becomes current: its name and numbers are shown.
    window.dispatch(Command::AddCopy);
    Histogram& copy = *state.list.currentHistogram();
    copy.channels[3] = 20;
    window.dispatch(Command::NoiseParameters);
    auto* w = openWindow<NoiseTrackWindow>(WindowKind::NoiseTrack);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(textOf(w->control(C::Name)).toStdString(), utf8FromCp1251(copy.name.str()));
    EXPECT_EQ(shown(), "12.00 4.69 3.46 ");

    window.dispatch(Command::ClearBoundaries);
    EXPECT_EQ(shown(), "18.50 19.12 4.30 ");
    click(w->control(C::Ok));
    EXPECT_EQ(shown(), "closed");
}

} // namespace
} // namespace kv

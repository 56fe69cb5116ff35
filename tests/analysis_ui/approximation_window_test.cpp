// The approximation window driven through its controls on a real HPGe doublet, against the
// command-line tool's fit of the same components.

#include "analysis_ui_fixture.h"
#include "fitting/model_counts.h"
#include "fitting/ui/approximation_window.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <string>

namespace kv {
namespace {

using C = ApproximationWindow::Control;

// 238.6 keV (Pb-212) at channel 533 and 242.0 keV (Pb-214) at 540, zero-based.
const std::string kSpectrum = KV_SPECTRA_DIR "/hst/mix2neq6.hst";
constexpr int kFirst = 524;
constexpr int kLast = 548;

class Approximation : public test::AnalysisWindows {
protected:
    ApproximationWindow* approximation() {
        return openWindow<ApproximationWindow>(WindowKind::Approximation);
    }
    void press(C id) { click(approximation()->control(id)); }
    QLineEdit* field(C id) { return static_cast<QLineEdit*>(approximation()->control(id)); }
    QSpinBox* stepper(C id) { return static_cast<QSpinBox*>(approximation()->control(id)); }

    // The boundaries as the user sets them: the visible range is the region components take
    // their starts from and the fit runs over.
    void setRegion(int first, int last) {
        state.config.plot.firstChannel = first;
        state.config.plot.lastChannel = last;
    }

    // Pixels of the plot pane in one colour. The cursor, drawn inverting, leaves a few red
    // pixels where it crosses black ones, so counts are compared with some slack.
    int pixelsOf(QRgb colour) {
        const QImage image = plotImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += image.pixel(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }
};

TEST_F(Approximation, FitsAnHpgeDoubletAsTheCommandLineToolDoes) {
    open(kSpectrum);
    window.resize(1000, 700);
    window.show();
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    // The cursor on the frame, where it crosses no curve.
    setRegion(kFirst, kLast);
    state.plotView.cursorFraction = 0.0;
    const int redBefore = pixelsOf(red);
    const int blueBefore = pixelsOf(blue);
    window.dispatch(Command::Approximation);
    ASSERT_NE(approximation(), nullptr);

    // A line over the whole region, then each Gaussian started from its own peak.
    press(C::AddLinear);
    setRegion(529, 536);
    press(C::AddGaussian);
    setRegion(537, 545);
    press(C::AddGaussian);
    setRegion(kFirst, kLast);
    auto* list = static_cast<QListWidget*>(approximation()->control(C::List));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(list->item(0)->text().toStdString(), text(StringId::ComponentLinear));
    EXPECT_TRUE(field(C::P2)->text().size() > 0);

    press(C::Fit);
    const std::string report =
        approximation()->findChild<QPlainTextEdit*>()->toPlainText().toStdString();
    std::string expected =
        cliOutput({"fit", QString::fromStdString(kSpectrum), "--histogram", "1", "--range",
                   "525:549", "--add", "linear,gauss@530:537,gauss@538:546"})
            .toStdString();
    std::erase(expected, '\r');
    EXPECT_EQ(report, expected);
    EXPECT_NE(report.find(text(StringId::FitFinished).substr(0, 10)), std::string::npos);

    // The model in blue and the selected Gaussian in red over the spectrum.
    EXPECT_GT(pixelsOf(red), redBefore + 20);
    EXPECT_GT(pixelsOf(blue), blueBefore + 20);

    // "Дельта": a copy of the spectrum less the model over the region.
    const Histogram source = *state.list.currentHistogram();
    press(C::Residual);
    ASSERT_EQ(state.list.histogramCount(), 2);
    const Histogram& residual = *state.list.currentHistogram();
    EXPECT_EQ(utf8FromCp1251(residual.comment.str()), text(StringId::Residual));
    for (int x : {kFirst - 1, kFirst, 533, 540, kLast, kLast + 1}) {
        const auto i = static_cast<std::size_t>(x);
        const bool inside = x >= kFirst && x <= kLast;
        EXPECT_EQ(residual.channels[i],
                  inside ? modelCount(source.channels[i] - state.components.modelValue(x))
                         : source.channels[i])
            << x;
    }

    // Typed values go in with "#"; the arrows step by 5 % of the value.
    field(C::P2)->setText("4");
    press(C::Apply);
    stepper(C::StepP2)->stepUp();
    EXPECT_EQ(field(C::P2)->text(), "4.20");
    stepper(C::StepP2)->stepDown();
    EXPECT_EQ(field(C::P2)->text(), "3.99");
    // "><" puts the centre under the cursor, unrounded.
    state.plotView.cursorFraction = 0.5;
    press(C::ToCursor);
    EXPECT_EQ(field(C::P1)->text(), "536.00");
    state.plotView.cursorFraction = 0.0;

    // Closing takes the curves off the plot and keeps the components.
    press(C::Close);
    EXPECT_LT(pixelsOf(red), redBefore + 10);
    EXPECT_EQ(state.components.componentCount(), 3);
    // Opened again, it lists them with the selected one and draws both curves at once.
    window.dispatch(Command::Approximation);
    ASSERT_NE(approximation(), nullptr);
    EXPECT_EQ(static_cast<QListWidget*>(approximation()->control(C::List))->count(), 3);
    EXPECT_GT(pixelsOf(red), redBefore + 20);
    // Removing every component empties the fields and takes the curves away.
    for (int k = 0; k < 3; ++k) {
        press(C::Remove);
    }
    EXPECT_TRUE(field(C::P0)->text().isEmpty());
    EXPECT_LT(pixelsOf(red), redBefore + 10);
}

} // namespace
} // namespace kv

// The single-peak, energy calibration, efficiency and calibration graph windows, driven through
// their controls on a real spectrum, against the core and the command-line tool.

#include "analysis/efficiency.h"
#include "analysis/ui/calibration_graph_window.h"
#include "analysis/ui/efficiency_window.h"
#include "analysis/ui/energy_calibration_window.h"
#include "analysis/ui/found_lines_window.h"
#include "analysis_ui_fixture.h"
#include "display/cursor.h"
#include "fitting/ui/single_peak_window.h"
#include "model/histogram_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QStatusBar>

#include <string>
#include <vector>

namespace kv {
namespace {

using Peak = SinglePeakWindow::Control;
using Energy = EnergyCalibrationWindow::Control;
using Eff = EfficiencyWindow::Control;

const std::string kSpectrum = KV_SPECTRA_DIR "/hst/mix2neq6.hst";

class CalibrationWindows : public test::AnalysisWindows {
protected:
    SinglePeakWindow* singlePeak() { return openWindow<SinglePeakWindow>(WindowKind::SinglePeak); }
    EnergyCalibrationWindow* energyWindow() {
        return openWindow<EnergyCalibrationWindow>(WindowKind::EnergyCalibration);
    }
    EfficiencyWindow* efficiencyWindow() {
        return openWindow<EfficiencyWindow>(WindowKind::EfficiencyCalibration);
    }
    CalibrationGraphWindow* graph() {
        return openWindow<CalibrationGraphWindow>(WindowKind::CalibrationGraph);
    }

    // Puts the cursor on a zero-based channel and steps it there with the arrow keys, as the
    // user does, so the windows that follow the cursor hear of it.
    void cursorTo(int channel) {
        placeCursorAt(state.plotView, state.config.plot, channel - 1);
        window.dispatch(Command::CursorRight);
    }

    // The single-peak window's value and error fields as "value ± error" lines.
    std::vector<std::string> shownPeak() {
        std::vector<std::string> rows;
        for (const auto& [value, error] :
             {std::pair(Peak::Intensity, Peak::IntensityError),
              std::pair(Peak::Channel, Peak::ChannelError),
              std::pair(Peak::Energy, Peak::EnergyError), std::pair(Peak::Fwhm, Peak::FwhmError),
              std::pair(Peak::FwhmKeV, Peak::FwhmKeVError)}) {
            rows.push_back((textOf(singlePeak()->control(value)) + " ± " +
                            textOf(singlePeak()->control(error)))
                               .toStdString());
        }
        return rows;
    }

    // The energy the status bar shows at the cursor.
    double statusEnergy() {
        window.repaint();
        for (QLabel* field : window.statusBar()->findChildren<QLabel*>()) {
            const QString text = field->text();
            if (text.startsWith("Энергия = ")) {
                return text.mid(10, text.indexOf(' ', 10) - 10).toDouble();
            }
        }
        ADD_FAILURE() << "no energy in the status bar";
        return 0.0;
    }
};

TEST_F(CalibrationWindows, PeaksFittedAtTheCursorCalibrateTheSpectrum) {
    open(kSpectrum);
    window.resize(1000, 700);
    window.show();
    state.config.plot.xAxisMode = 1; // the status bar in keV

    // The single-peak window shows what the command-line tool prints for the same channel.
    window.dispatch(Command::PeakApproximation);
    ASSERT_NE(singlePeak(), nullptr);
    cursorTo(1389);
    EXPECT_EQ(textOf(singlePeak()->control(Peak::Channel)), "1390.00") << "follows the cursor";
    click(singlePeak()->control(Peak::Fit));
    const QByteArray printed =
        cliOutput({"peak", QString::fromStdString(kSpectrum), "--histogram", "1", "--at", "1390"});
    std::vector<std::string> expected;
    for (const QByteArray& line : printed.trimmed().split('\n')) {
        // "Интенсивность: 14.72 ± 0.42 имп/с": the value and error between caption and unit.
        const QString text = QString::fromUtf8(line).section(':', 1).trimmed();
        expected.push_back(text.section(' ', 0, 2).toStdString());
    }
    EXPECT_EQ(shownPeak(), expected);
    EXPECT_EQ(textOf(singlePeak()->control(Peak::Energy)), "609.27");

    // A detector without a calibration: energies are channels until the window makes one.
    state.config.energyCalibration = EnergyCalibration{};
    window.dispatch(Command::Calibration);
    ASSERT_NE(energyWindow(), nullptr);
    const std::vector<std::pair<int, const char*>> lines = {
        {533, "238.63"}, {1389, "609.31"}, {2569, "1120.29"}};
    QStringList cliPoints;
    for (const auto& [channel, energy] : lines) {
        cursorTo(channel);
        EXPECT_EQ(textOf(energyWindow()->control(Energy::Channel)),
                  QString::number(channel + 1) + ".00");
        click(singlePeak()->control(Peak::Fit));
        // The fitted centre, handed over to five decimals, and the cursor on it.
        EXPECT_EQ(textOf(energyWindow()->control(Energy::Channel)),
                  QString::asprintf("%0.5f", state.peakFit.centre + 1.0));
        EXPECT_EQ(cursorChannel(state.plotView, state.config.plot),
                  static_cast<int>(roundHalfDown(state.peakFit.centre)));
        type(energyWindow()->control(Energy::Energy), energy);
        click(energyWindow()->control(Energy::Add));
        cliPoints << "--peak" << QString("%1:%2").arg(channel + 1).arg(energy);
    }
    auto& list = *static_cast<QListWidget*>(energyWindow()->control(Energy::List));
    ASSERT_EQ(list.count(), 3);
    EXPECT_TRUE(list.item(2)->text().endsWith(":     1120.29"))
        << list.item(2)->text().toStdString();

    static_cast<QSpinBox*>(energyWindow()->control(Energy::Degree))->setValue(2);
    click(energyWindow()->control(Energy::Calibrate));
    const EnergyCalibration made = state.config.energyCalibration;
    ASSERT_TRUE(made.inForce());
    EXPECT_EQ(made.termCount, 3);
    EXPECT_NEAR(textOf(singlePeak()->control(Peak::Energy)).toDouble(), 1120.29, 0.5)
        << "the last fit shown in the new calibration";
    ASSERT_NE(graph(), nullptr) << "the calibration graph follows a fit";
    EXPECT_EQ(graph()->windowTitle(), "Калибровка");
    EXPECT_TRUE(graph()->isModal());
    click(graph()->control(CalibrationGraphWindow::Control::Close));
    EXPECT_EQ(graph(), nullptr);

    // A third line, not among the points: Ac-228 at 911.20 keV.
    cursorTo(2086);
    click(singlePeak()->control(Peak::Fit));
    EXPECT_NEAR(statusEnergy(), 911.20, 0.5);
    EXPECT_NEAR(textOf(singlePeak()->control(Peak::Energy)).toDouble(), 911.20, 0.5);

    click(energyWindow()->control(Energy::Copy));
    EXPECT_TRUE(ui.clipboard.starts_with("Канал\tЭнергия кал.\tДельта\r\n532.")) << ui.clipboard;

    // The command-line tool fits the same peaks into the same calibration.
    const QString out = QString::fromStdString(home.path("calibrated.hst"));
    const QJsonObject result =
        QJsonDocument::fromJson(
            cliOutput(QStringList{"calibrate", QString::fromStdString(kSpectrum)}
                      << cliPoints << "--degree"
                      << "2"
                      << "--json" << out))
            .object();
    const QJsonArray coefficients = result["coefficients"].toArray();
    ASSERT_EQ(coefficients.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(coefficients[i].toDouble(), made.coefficients[static_cast<std::size_t>(i)],
                    1e-9 *
                        std::max(1.0, std::fabs(made.coefficients[static_cast<std::size_t>(i)])));
    }

    // Saved with the document, read back from its trailer.
    EXPECT_FALSE(state.document.documentSaved);
    ui.saveAnswers = {home.path("saved.hst")};
    window.dispatch(Command::SaveAs);
    state.config.energyCalibration = EnergyCalibration{};
    open(home.path("saved.hst"));
    EXPECT_EQ(state.config.energyCalibration, made);
}

TEST_F(CalibrationWindows, FoundLinesHandTheSelectedLineToTheCalibrationWindows) {
    open(kSpectrum);
    window.dispatch(Command::LineSearch);
    auto* found = openWindow<FoundLinesWindow>(WindowKind::FoundLines);
    ASSERT_NE(found, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !found->searching(); }));
    ASSERT_GT(state.foundLines.size(), 3U);
    click(found->control(FoundLinesWindow::Control::Efficiency));
    click(found->control(FoundLinesWindow::Control::Calibration));
    ASSERT_NE(efficiencyWindow(), nullptr);
    ASSERT_NE(energyWindow(), nullptr);
    static_cast<QListWidget*>(found->control(FoundLinesWindow::Control::List))->setCurrentRow(2);
    const FoundLine& line = state.foundLines.lines()[2];
    EXPECT_EQ(textOf(efficiencyWindow()->control(Eff::Energy)),
              QString::asprintf("%0.2f", line.energy));
    EXPECT_EQ(textOf(efficiencyWindow()->control(Eff::CountRate)),
              QString::asprintf("%0.2f", line.rate));
    EXPECT_EQ(textOf(energyWindow()->control(Energy::Channel)),
              QString::asprintf("%0.5f", line.position + 1.0));
    EXPECT_EQ(textOf(energyWindow()->control(Energy::Energy)),
              QString::asprintf("%0.4f", line.energy));
}

TEST_F(CalibrationWindows, EfficiencyWindowKeepsTheTableTheCoreInterpolates) {
    add(std::vector<std::int32_t>(2048, 10));
    triggerAnalysisItem("Эффективность");
    ASSERT_NE(efficiencyWindow(), nullptr);
    EfficiencyWindow& w = *efficiencyWindow();
    for (const auto& [energy, rate, emission] :
         {std::tuple("1000", "1.0", "100"), std::tuple("100", "20", "200"),
          std::tuple("300", "3", "0"), std::tuple("400", "6", "150")}) {
        type(w.control(Eff::Energy), energy);
        type(w.control(Eff::CountRate), rate);
        type(w.control(Eff::EmissionRate), emission);
        click(w.control(Eff::Add));
    }
    const EfficiencyCalibration& table = state.config.efficiency;
    ASSERT_EQ(table.efficiencyPointCount, 3) << "no emission rate, no point";
    auto& list = *static_cast<QListWidget*>(w.control(Eff::List));
    ASSERT_EQ(list.count(), 3);
    const std::vector<std::pair<double, double>> expected = {{100, 0.1}, {400, 0.04}, {1000, 0.01}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto [energy, value] = expected[i];
        EXPECT_EQ(list.item(static_cast<int>(i))->text().toStdString(),
                  efficiencyListRow(energy, value));
        EXPECT_DOUBLE_EQ(efficiencyAt(table, energy), value);
    }

    click(w.control(Eff::Copy));
    EXPECT_EQ(ui.clipboard, efficiencyCopyText(table).value());
    list.setCurrentRow(1);
    click(w.control(Eff::Delete));
    EXPECT_EQ(table.efficiencyPointCount, 2);
    click(w.control(Eff::Paste));
    EXPECT_EQ(table.efficiencyPointCount, 3) << "the copied table pasted back";
    EXPECT_NEAR(table.efficiencyValue[1], 0.04, 1e-15);

    click(w.control(Eff::Graph));
    ASSERT_NE(graph(), nullptr);
    EXPECT_EQ(graph()->windowTitle(), "Эффективность");
    EXPECT_EQ(graph()->kind(), CalibrationGraphKind::Efficiency);
    click(graph()->control(CalibrationGraphWindow::Control::Close));
    EXPECT_EQ(graph(), nullptr);
}

} // namespace
} // namespace kv

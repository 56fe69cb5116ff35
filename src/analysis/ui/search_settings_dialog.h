#pragma once

// The search settings dialog ("Параметры поиска"): four tabs that edit the settings of the line
// search ("Пики", "Графики"), of the identification of found lines ("Изотопы") and whether
// reading a histogram file takes the calibrations from it ("Калибровки"). OK takes over every
// page's fields; the tab last shown is remembered in searchTab, even when the dialog is
// cancelled.

#include "analysis/ui/dialog_controls.h"
#include "model/app_config.h"
#include <array>

class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace kv {

enum class SearchSettingsControl { Ok = 1, Cancel = 2, Help = 9, Tabs = 101 };

class SearchSettingsDialog : public ControlDialog<SearchSettingsControl> {
public:
    using Control = SearchSettingsControl;
    // The pages in tab order.
    enum class Page { Peaks = 0, Plots = 1, Isotopes = 2, Calibrations = 3 };

    // Control ids of each page. A field and its up-down control are one spin box.
    enum class PeaksControl {
        RejectRadius = 101,
        RejectRadiusUpDown = 102,
        ContinuumSmoothRadius = 103,
        ContinuumSmoothRadiusUpDown = 104,
        Radius1 = 105, // the level's median
        Radius1UpDown = 106,
        Radius2 = 107, // the level's running mean
        Radius2UpDown = 108,
        Radius3 = 109, // the level's maximum
        Radius3UpDown = 110,
        Radius4 = 111, // the probe's running mean
        Radius4UpDown = 112,
        Radius5 = 113, // the fitted spectrum's running mean
        Radius5UpDown = 114,
        LevelFactor = 115,
        MaxPeakWidth = 116,
        RemoveContinuum = 120,
        RefineAreas = 126, // "Уточнять площади": refit the found lines on the raw counts
    };
    enum class PlotsControl { Original = 117, Level = 118, Result = 119 };
    enum class IsotopesControl {
        EnergyFrom = 101,
        EnergyTo = 102,
        LineTolerance = 121,
        LineThreshold = 122,
        CheckLines = 123,
        LinesNeeded = 124,
        LinesNeededUpDown = 125,
    };
    enum class CalibrationsControl { FromDataFile = 101, FromConfiguration = 102 };

    // Edits config.lineSearch, config.identification (but the efficiency switch of the found
    // lines window) and config.restoreFromDataFile, and the session's refineAreas. ui: the help
    // topic.
    SearchSettingsDialog(AppConfig& config, bool& refineAreas, UiServices& ui,
                         QWidget* parent = nullptr);

    using ControlDialog::control;
    QWidget* control(PeaksControl id) const { return m_peaks[id]; }
    QWidget* control(PlotsControl id) const { return m_plots[id]; }
    QWidget* control(IsotopesControl id) const { return m_isotopes[id]; }
    QWidget* control(CalibrationsControl id) const { return m_calibrations[id]; }
    QWidget* page(Page page) const;

private:
    QWidget* buildPeaksPage();
    QWidget* buildPlotsPage();
    QWidget* buildIsotopesPage();
    QWidget* buildCalibrationsPage();
    void applyEnabling();
    bool store() override;

    AppConfig& m_config;
    bool& m_refineAreas;
    QTabWidget* m_tabs = nullptr;
    ControlMap<PeaksControl> m_peaks;
    ControlMap<PlotsControl> m_plots;
    ControlMap<IsotopesControl> m_isotopes;
    ControlMap<CalibrationsControl> m_calibrations;
    std::array<QSpinBox*, kLineSearchRadii> m_searchRadii{};
};

} // namespace kv

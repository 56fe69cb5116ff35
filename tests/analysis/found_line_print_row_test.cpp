#include "analysis/identification.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// The printed table follows the list's efficiency switch: divided by the efficiency when on.
TEST(FoundLinePrintRow, RateByTheEfficiencySwitchAndTheIsotopeInBrackets) {
    IsotopeDatabase database;
    database.append({.name = "Cs-137", .enabled = 1, .lines = {{661.66, 0.85}}});
    FoundLines found;
    found.append({.energy = 661.9, .rate = 12.5, .position = 661.9});
    found.append({.energy = 1000.0, .rate = 3.0, .position = 1000.0});
    AppConfig config;
    config.checkLines = 0;
    config.efficiencyPointCount = 1;
    config.efficiencyEnergy[0] = 661.0;
    config.efficiencyValue[0] = 0.25;
    const EnergyCalibration calibration(config, 2048);
    const LineIdentifier identifier(database, found, config, calibration, 2048);

    EXPECT_EQ(foundLinePrintRow(identifier, found.lines()[0]), "  661.90 |     12.50 (Cs-137)");
    EXPECT_EQ(foundLinePrintRow(identifier, found.lines()[1]), " 1000.00 |      3.00");
    config.efficiencyCorrection = 1;
    EXPECT_EQ(foundLinePrintRow(identifier, found.lines()[0]), "  661.90 |     50.00 (Cs-137)");
    config.efficiencyValue[0] = 0.0;
    EXPECT_EQ(foundLinePrintRow(identifier, found.lines()[1]), " 1000.00 |         ?");
}

} // namespace
} // namespace kv

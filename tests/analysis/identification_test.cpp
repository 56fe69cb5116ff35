#include "analysis/identification.h"

#include "model/app_config.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

IsotopeRecord isotope(std::string name, std::vector<IsotopeLine> lines, bool enabled = true) {
    return {.name = std::move(name),
            .enabled = std::uint8_t(enabled ? 1 : 0),
            .lines = std::move(lines)};
}

// No energy calibration: a line's energy in keV is its channel, so with 2048 channels the
// calibrated span is 0 to 2047 keV.
class Identification : public ::testing::Test {
protected:
    IsotopeDatabase database;
    FoundLines found;
    AppConfig config;
    std::int32_t channels = 2048;

    void findLines(std::initializer_list<double> energies) {
        found.clear();
        for (const double e : energies) {
            found.append({.energy = e, .rate = 10.0, .position = e});
        }
    }

    void setDatabase(std::initializer_list<IsotopeRecord> records) {
        database = {};
        for (const IsotopeRecord& record : records) {
            database.append(record);
        }
    }

    LineIdentifier identifier() const {
        return LineIdentifier(database, found, config.identification, config.efficiency,
                              config.energyCalibration, channels);
    }
};

TEST_F(Identification, NearestLineWinsWhateverTheDatabaseOrder) {
    config.identification.checkLines = 0;
    findLines({661.9});
    setDatabase({isotope("A", {{661.0, 0.5}}), isotope("B", {{662.5, 0.5}})});
    EXPECT_EQ(identifier().identifyLine(661.9, 1.0), (LineMatch{1, 0}));
    setDatabase({isotope("B", {{662.5, 0.5}}), isotope("A", {{661.0, 0.5}})});
    EXPECT_EQ(identifier().identifyLine(661.9, 1.0), (LineMatch{0, 0}));
    setDatabase({isotope("First", {{100.0, 1}, {99.0, 1}}), isotope("Second", {{99.0, 1}})});
    EXPECT_EQ(identifier().identifyLine(99.5, 1.0), (LineMatch{0, 0}))
        << "equal distances: the first in database order stays";
}

TEST_F(Identification, LineCheckGatesIdentificationAndIgnoresMarksWhenOff) {
    database.append(isotope("Off", {{661.7, 0.85}}, false));
    findLines({661.9});
    config.identification.checkLines = 1;
    EXPECT_FALSE(identifier().identifyLine(661.9, 1.0)) << "not enabled";
    config.identification.checkLines = 0;
    EXPECT_EQ(identifier().identifyLine(661.9, 1.0), (LineMatch{0, 0}));
    EXPECT_FALSE(identifier().identifyLine(662.7, 1.0)) << "a distance of the tolerance is out";
    EXPECT_FALSE(identifier().identifyLine(661.9, 0.0));
}

TEST_F(Identification, ConfirmedWhenTheStrongestLinesAreFoundUntilEnough) {
    database.append(isotope("Co-60", {{1332.5, 1.0}, {1173.2, 1.0}}));
    config.identification.linesNeeded = 3;
    findLines({1173.3, 1332.4});
    EXPECT_TRUE(identifier().isotopeConfirmed(0, 0.01, 1.0)) << "every eligible line found";
    findLines({1173.2});
    EXPECT_FALSE(identifier().isotopeConfirmed(0, 0.01, 1.0)) << "the first line is missing";
    findLines({1332.5});
    EXPECT_FALSE(identifier().isotopeConfirmed(0, 0.01, 1.0)) << "the second line is missing";
    config.identification.linesNeeded = 1;
    EXPECT_TRUE(identifier().isotopeConfirmed(0, 0.01, 1.0)) << "one line suffices";
    EXPECT_FALSE(identifier().isotopeConfirmed(1, 0.01, 1.0)) << "no such isotope";
}

TEST_F(Identification, LinesOutsideTheRangesOrBelowTheThresholdDoNotCount) {
    findLines({1000.0});
    config.identification.energyTo = 3000.0;
    // The isotope's strongest line is the one under test, then one that is found.
    const auto confirmedWith = [this](IsotopeLine first) {
        setDatabase({isotope("X", {first, {1000.0, 0.5}})});
        return identifier().isotopeConfirmed(0, 0.01, 1.0);
    };
    EXPECT_FALSE(confirmedWith({2046.5, 0.9})) << "inside the span and missing";
    EXPECT_TRUE(confirmedWith({2047.0, 0.9})) << "the span's end itself does not count";
    EXPECT_TRUE(confirmedWith({0.0, 0.9})) << "nor its start";
    EXPECT_TRUE(confirmedWith({1500.0, 0.009})) << "below the threshold";
    config.identification.energyTo = 1400.0;
    EXPECT_TRUE(confirmedWith({1400.0, 0.9})) << "energyTo is excluded";
    config.identification.energyFrom = 1100.0;
    EXPECT_TRUE(confirmedWith({1100.0, 0.9})) << "energyFrom too";
    config.identification.energyFrom = 0.0;
    config.identification.energyTo = 3000.0;
    channels = 1024;
    EXPECT_TRUE(confirmedWith({1500.0, 0.9})) << "beyond a shorter spectrum";

    found.clear();
    setDatabase({isotope("Nothing to count", {{3500.0, 1.0}, {100.0, 0.001}}),
                 isotope("Disabled", {{3500.0, 1.0}}, false)});
    EXPECT_TRUE(identifier().isotopeConfirmed(0, 0.01, 1.0));
    EXPECT_FALSE(identifier().isotopeConfirmed(1, 0.01, 1.0));
}

TEST(FoundLines, InsertedLinesKeepTheEnergyOrderUpToAHundred) {
    FoundLines table;
    table.append({100, 1, 10});
    table.append({300, 1, 30});
    for (const FoundLine line : {FoundLine{200, 2, 20}, {300, 3, 31}, {50, 4, 5}}) {
        table.insertByEnergy(line);
    }
    std::vector<double> rates;
    for (const FoundLine& line : table.lines()) {
        rates.push_back(line.rate);
    }
    EXPECT_EQ(rates, (std::vector<double>{4, 1, 2, 1, 3})) << "equal energies: the new one last";
    table.remove(7);
    table.remove(0);
    EXPECT_EQ(table.lines().front().energy, 100.0);

    while (table.append({1, 1, 1})) {
    }
    EXPECT_TRUE(table.full());
    EXPECT_FALSE(table.insertByEnergy({1, 1, 1}));
    EXPECT_EQ(table.size(), 100u);
}

// The found-lines texts: Cs-137 at 661.66 keV found at 661.9 keV with 170 counts per second,
// an unidentified line at 1000 keV, efficiency 0.02 everywhere.
class FoundLinesText : public Identification {
protected:
    void SetUp() override {
        database.append(isotope("Cs-137", {{661.66, 0.85}}));
        found.append({.energy = 661.9, .rate = 170.0, .position = 661.9});
        found.append({.energy = 1000.0, .rate = 5.0, .position = 1000.0});
        EfficiencyCalibration& e = config.efficiency;
        e.efficiencyPointCount = 1, e.efficiencyEnergy[0] = 661.66, e.efficiencyValue[0] = 0.02;
    }
};

TEST_F(FoundLinesText, ListRowsWithAndWithoutTheCorrection) {
    EXPECT_EQ(foundLinesListHeader(false), "  E(кэВ)  C(имп/с) Изотоп");
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[0]), "  661.90    170.00 Cs-137");
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[1]), " 1000.00      5.00");
    EXPECT_EQ(foundLinePrintRow(identifier(), found.lines()[0]), "  661.90 |    170.00 (Cs-137)");

    config.identification.efficiencyCorrection = 1;
    EXPECT_EQ(foundLinesListHeader(true), "  E(кэВ)    I(ч/с)    A(р/с) Изотоп");
    // 170 / 0.02 = 8500 per second; 8500 / 0.85 = 10000 Bq
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[0]),
              "  661.90   8500.00  10000.00 Cs-137");
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[1]), " 1000.00    250.00");
    EXPECT_EQ(foundLinePrintRow(identifier(), found.lines()[0]), "  661.90 |   8500.00 (Cs-137)")
        << "the printed table follows the efficiency switch too";

    config.efficiency.efficiencyPointCount = 0;
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[0]),
              "  661.90    170.00    200.00 Cs-137")
        << "without efficiency points the rate stays as found";
}

TEST_F(FoundLinesText, CopyTextInBothModes) {
    EXPECT_EQ(foundLinesCopyText(identifier()), "Эн.(кэВ)\tСчет(ч/с)\tЛиния(кэВ)\tИзотоп\r\n"
                                                "661.90\t170.00\t661.66\tCs-137\r\n"
                                                "1000.00\t5.00\t\r\n");
    config.identification.efficiencyCorrection = 1;
    EXPECT_EQ(foundLinesCopyText(identifier()),
              "Энергия,кэВ\tСчет, ч/сек\tИнтеграл,ч/сек\tАктивность,Бк\tЛиния,кэВ\tИзотоп\r\n"
              "661.90\t170.00\t8500.00\t10000.00\t661.66\tCs-137\r\n"
              "1000.00\t5.00\t250.00\t\r\n");
}

TEST_F(FoundLinesText, WhatCannotBeComputedShowsAsAQuestionMark) {
    config.efficiency.efficiencyValue[0] = 0.0;
    setDatabase({isotope("Odd", {{661.66, 0.0}})});
    config.identification.efficiencyCorrection = 1;
    EXPECT_EQ(foundLineListRow(identifier(), found.lines()[0]), "  661.90         ?         ? Odd");
    EXPECT_EQ(foundLinePrintRow(identifier(), found.lines()[1]), " 1000.00 |         ?");
    const std::string copy = foundLinesCopyText(identifier());
    EXPECT_EQ(copy.substr(copy.find("\r\n") + 2), "661.90\t170.00\t?\t?\t661.66\tOdd\r\n"
                                                  "1000.00\t5.00\t?\t\r\n");
}

} // namespace
} // namespace kv

#include "analysis/found_lines.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

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

} // namespace
} // namespace kv

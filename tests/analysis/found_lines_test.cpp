#include "analysis/found_lines.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(FoundLines, HoldsAtMostAHundredLines) {
    FoundLines table;
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(table.append({10.0 * i, 1.0, 5.0 * i}));
    }
    EXPECT_TRUE(table.full());
    EXPECT_FALSE(table.append({1, 1, 1}));
    EXPECT_FALSE(table.insertByEnergy({1, 1, 1}));
    EXPECT_EQ(table.size(), 100u);
}

TEST(FoundLines, AddedLinesKeepTheEnergyOrder) {
    FoundLines table;
    table.append({100, 1, 10});
    table.append({300, 1, 30});
    table.insertByEnergy({200, 2, 20});
    table.insertByEnergy({300, 3, 31});
    table.insertByEnergy({50, 4, 5});
    std::vector<double> rates;
    for (const FoundLine& line : table.lines()) {
        rates.push_back(line.rate);
    }
    EXPECT_EQ(rates, (std::vector<double>{4, 1, 2, 1, 3})) << "equal energies: the new one last";
    table.remove(7);
    table.remove(0);
    EXPECT_EQ(table.lines().front().energy, 100.0);
    FoundLines empty;
    empty.remove(0);
    EXPECT_EQ(empty.size(), 0u);
}

} // namespace
} // namespace kv

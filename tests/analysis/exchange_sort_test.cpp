#include "analysis/exchange_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace kv {
namespace {

// The order the exchange sort itself leaves the keys' elements in.
std::vector<std::size_t> exchangeSorted(const std::vector<double>& keys, ExchangeOrder order) {
    std::vector<std::size_t> at(keys.size());
    std::iota(at.begin(), at.end(), 0);
    exchangeSort(
        at.size(),
        [&](std::size_t i, std::size_t j) {
            return order == ExchangeOrder::Descending ? keys[at[i]] < keys[at[j]]
                                                      : keys[at[i]] >= keys[at[j]];
        },
        [&](std::size_t i, std::size_t j) { std::swap(at[i], at[j]); });
    return at;
}

TEST(ExchangeSort, EqualKeysEndWhereTheExchangesLeaveThem) {
    // 1a 2a 1b 2b: descending keeps the 2s in order but carries 1a past 1b; ascending with
    // equal keys exchanged reverses each run of equals.
    const std::vector<double> keys{1, 2, 1, 2};
    EXPECT_EQ(exchangeSortedOrder(keys, ExchangeOrder::Descending),
              (std::vector<std::size_t>{1, 3, 2, 0}));
    EXPECT_EQ(exchangeSortedOrder(keys, ExchangeOrder::AscendingSwappingTies),
              (std::vector<std::size_t>{2, 0, 3, 1}));
    // A NaN compares false both ways: it stays, and the others sort around it.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(exchangeSortedOrder(std::vector{1.0, nan, 3.0, 2.0}, ExchangeOrder::Descending),
              (std::vector<std::size_t>{2, 1, 3, 0}));
}

TEST(ExchangeSort, ByKeyGivesTheExchangeSortsOrderOnRandomTablesWithManyEqualKeys) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> pool{0.0, -0.0, 1.0, 2.0, -inf, inf, nan, 3.5, 0.25};
    std::mt19937 random(11);
    for (int round = 0; round < 4000; ++round) {
        // Few distinct values, so that runs of equal keys interleave with larger ones.
        const std::size_t distinct = 1 + random() % pool.size();
        std::vector<double> keys(random() % 40);
        for (double& key : keys) {
            key = pool[random() % distinct];
        }
        for (const auto order : {ExchangeOrder::Descending, ExchangeOrder::AscendingSwappingTies}) {
            ASSERT_EQ(exchangeSortedOrder(keys, order), exchangeSorted(keys, order)) << round;
        }
    }
    // A table as long as a record of lines grows, with intensities of three digits.
    std::vector<double> keys(3000);
    for (double& key : keys) {
        key = static_cast<double>(1 + random() % 300) / 1000.0;
    }
    for (const auto order : {ExchangeOrder::Descending, ExchangeOrder::AscendingSwappingTies}) {
        EXPECT_EQ(exchangeSortedOrder(keys, order), exchangeSorted(keys, order));
    }
}

} // namespace
} // namespace kv

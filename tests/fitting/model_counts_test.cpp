#include "fitting/model_counts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace kv {
namespace {

TEST(ModelCounts, TruncateTowardZeroAndHoldToTheRangeOfACount) {
    using Limits = std::numeric_limits<std::int32_t>;
    EXPECT_EQ(modelCount(2.9), 2);
    EXPECT_EQ(modelCount(-2.9), -2);
    EXPECT_EQ(modelCount(std::nan("")), 0);
    EXPECT_EQ(modelCount(1e300), Limits::max());
    EXPECT_EQ(modelCount(-INFINITY), Limits::min());
}

TEST(ModelCounts, ResidualOfAnExactModelIsZeroOverTheRegionOnly) {
    // A constant of 10 over counts of 10: the region 4..8 becomes zeros, the rest stays.
    Histogram h;
    h.channels.assign(12, 10);
    ComponentTable table;
    ASSERT_TRUE(table.addComponent(ComponentKind::Constant, &h, {0, 11}));
    table.parameters(0)[0] = 10.0;
    std::vector<std::int32_t> model(12);
    fillModelCounts(model, table);
    EXPECT_EQ(model, std::vector<std::int32_t>(12, 10));

    std::vector<std::int32_t> flat(12, 10);
    subtractModel(flat, table, {4, 8});
    EXPECT_EQ(flat, (std::vector<std::int32_t>{10, 10, 10, 10, 0, 0, 0, 0, 0, 10, 10, 10}));
    // A region beyond the counts changes nothing.
    subtractModel(flat, table, {10, 12});
    EXPECT_EQ(flat[10], 10);
}

} // namespace
} // namespace kv

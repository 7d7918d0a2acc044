// StatisticsTest.cpp -- median, 95th percentile and spread on small tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "util/statistics.h"

TEST(Statistics, SummaryOfSmallTables) {
    struct Case {
        std::vector<double> values;
        double min, median, p95, max, mean;
    };
    const Case cases[] = {
        {{7.0}, 7, 7, 7, 7, 7},
        {{4.0, 1.0}, 1, 2.5, 3.85, 4, 2.5},                // even count: mean of the middle two
        {{3.0, 1.0, 2.0}, 1, 2, 2.9, 3, 2},                // order of the input does not matter
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 1, 10.5, 19.05, 20, 10.5},
        {{5, 5, 5, 5, 100}, 5, 5, 81, 100, 24},            // one slow frame moves p95 and mean, not the median
    };
    for (const Case& c : cases) {
        Summary s = summarise(c.values);
        EXPECT_EQ(s.count, static_cast<int>(c.values.size()));
        EXPECT_DOUBLE_EQ(s.min, c.min);
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_NEAR(s.p95, c.p95, 1e-9);
        EXPECT_DOUBLE_EQ(s.max, c.max);
        EXPECT_DOUBLE_EQ(s.mean, c.mean);
    }
    Summary empty = summarise({});
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.median, 0.0);
}

TEST(Statistics, PercentileKeepsInfiniteValues) {
    // PSNR of identical pictures is infinite: a median of such views stays
    // infinite instead of turning into NaN.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(summarise({inf, inf, inf}).median, inf);
    EXPECT_EQ(summarise({inf, inf, inf}).p95, inf);
    EXPECT_EQ(summarise({30.0, inf, inf}).median, inf);
    EXPECT_DOUBLE_EQ(summarise({30.0, 40.0, inf}).median, 40.0);
}

TEST(Statistics, SpreadOfRounds) {
    EXPECT_DOUBLE_EQ(spread({}), 0.0);
    EXPECT_DOUBLE_EQ(spread({12.0}), 0.0);
    EXPECT_DOUBLE_EQ(spread({10.0, 10.0, 10.0}), 0.0);
    EXPECT_NEAR(spread({10.0, 10.4, 10.2}), 0.04, 1e-12);
    EXPECT_NEAR(spread({21.0, 20.0, 20.5}), 0.05, 1e-12);
    EXPECT_TRUE(std::isinf(spread({0.0, 1.0})));
}

TEST(Statistics, NaNIsLeftOut) {
    // Sorting with NaN among the values has no defined order; it is left
    // out of every figure and of the count.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Summary s = summarise({1.0, nan, 2.0, nan, 3.0});
    EXPECT_EQ(s.count, 3);
    EXPECT_DOUBLE_EQ(s.median, 2.0);
    EXPECT_DOUBLE_EQ(s.max, 3.0);
    EXPECT_DOUBLE_EQ(s.mean, 2.0);
    EXPECT_EQ(summarise({nan}).count, 0);
    EXPECT_NEAR(spread({nan, 20.0, 21.0, nan}), 0.05, 1e-12);
    EXPECT_DOUBLE_EQ(spread({nan, 20.0}), 0.0) << "one measurement has no spread";
}

#include <gtest/gtest.h>

#include <cmath>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <random>
#include <vector>

#include "classes/classes.h"
#include "test_support.h"

namespace zorvel {
namespace {

// Sparse grids of every cell width, few elevations and many, some without
// a whole elevation (NaN, beyond the ints) or at the empty cells' mark
// (-999.6 truncates to it): the first `keep` found as a walk over the grid
// proper finds them, in order of first appearance.
TEST(Classes, DistinctWholeElevationsOfSparseGridsOfEveryWidth) {
    std::mt19937 rng(4);
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(), 1e12, -999.6, -10.5};
    for (int k = 0; k < 60; ++k) {
        const int width = k % 3 == 0 ? 1 : k % 3 == 1 ? 2 : 8;
        const int rows = 1 + static_cast<int>(rng() % 40), cols = 1 + static_cast<int>(rng() % 70);
        const int kinds = 1 + static_cast<int>(rng() % 30);
        auto g = ElevationGrid::make(cols + 2, rows + 2, width);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                if (rng() % 9 == 0) g.set(i, j, rng() % 7 == 0 ? odd[rng() % 4] : 100.0 + 0.5 * static_cast<double>(rng() % kinds));
        const std::size_t keep = 1 + rng() % 12;
        std::vector<int> walked;
        for (int i = 0; i < rows && walked.size() < keep; ++i)
            for (int j = 0; j < cols && walked.size() < keep; ++j) {
                const std::int64_t v = whole_elevation(g.at(i, j));
                if (v != -999 && v != kNoWholeElevation && std::find(walked.begin(), walked.end(), v) == walked.end())
                    walked.push_back(static_cast<int>(v));
            }
        EXPECT_EQ(distinct_elevations(g, rows, cols, keep), walked) << k;
    }
}

TEST(Classes, SuggestedIntervalIsTheGapBetweenNinthAndTenth) {
    EXPECT_EQ(suggested_interval({100, 110, 120, 130, 140, 150, 160, 170, 180, 190}), 10);
    EXPECT_EQ(suggested_interval({1, 2, 3, 4, 5, 6, 7, 8, 90, 40}), 50);
    EXPECT_EQ(suggested_interval({1, 2, 3, 4, 5, 6, 7, 8, -40}), 40);
    EXPECT_EQ(suggested_interval({1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(suggested_interval({0, 0, 0, 0, 0, 0, 0, 0, INT_MIN, INT_MAX}), 0);
}

TEST(Classes, ClassValuesAndTheClassOfAWholeElevation) {
    struct Case {
        int minimo, maximo, intervalo;
        std::vector<int> tabord;  // positions 1..
    };
    const Case cases[] = {
        {100, 200, 10, {100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200}},
        {95, 200, 25, {95, 120, 145, 170, 195}},
        {200, 100, -10, {200, 190, 180, 170, 160, 150, 140, 130, 120, 110, 100}},
        {50, 50, 10, {50}},
        {100, 95, 10, {100}},
        {100, 75, 10, {}},  // -25 / 10 truncates to -2: no class value
        {INT_MIN, INT_MIN + 20, 10, {INT_MIN, INT_MIN + 10, INT_MIN + 20}},
        {-999, 1, 500, {-999, -499, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimo << ".." << c.maximo << " by " << c.intervalo);
        const ClassTable ct = class_values(c.minimo, c.maximo, c.intervalo);
        EXPECT_EQ(std::vector<int>(ct.tabord.begin() + 1, ct.tabord.end()), c.tabord);
        // every class value but the last is its class's; the table lookup and
        // the arithmetic agree around the values and elsewhere
        ClassTable computed = ct;
        computed.lookup.clear();
        for (std::size_t k = 1; k < c.tabord.size(); ++k)
            EXPECT_EQ(ct.class_of(c.tabord[k - 1]), k);
        // the last class value has no class; without class values nothing has one
        EXPECT_EQ(ct.class_of(c.tabord.empty() ? c.minimo : c.tabord.back()), kEmptyCell);
        for (std::int64_t base : {std::int64_t{c.minimo}, std::int64_t{c.maximo}, std::int64_t{-999}})
            for (std::int64_t w = std::max<std::int64_t>(base - 30, INT_MIN); w <= std::min<std::int64_t>(base + 30, INT_MAX); ++w)
                EXPECT_EQ(ct.class_of(w), computed.class_of(w)) << w;
        EXPECT_EQ(ct.class_of(kNoWholeElevation), kEmptyCell);
    }
    EXPECT_EQ(class_values(100, 75, 10).num_segment, -2);
    // a span too wide for a table is computed
    EXPECT_TRUE(class_values(-2000000000, 2000000000, 20000000).lookup.empty());
    EXPECT_EQ(class_values(-2000000000, 2000000000, 20000000).class_of(-1980000000), 2);
}

TEST(Classes, ContourIntervalIsTheDivisorOfTheDifferencesOfTheWholeElevations) {
    struct Case {
        std::vector<double> elevations;
        int interval;
        std::size_t distinct;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {{105.5, 115.2, 135.9, 115.0}, 10, 3},             // whole elevations, repeated ones once
        {{-30, -10, 10, 50}, 20, 4},                       // not multiples of the interval
        {{100, 105, 110, 102}, 1, 4},                      // an odd contour takes the interval down
        {{100, nan, -999, 1e300, 130}, 30, 2},             // no whole elevation, or the empty cells' mark
        {{7}, 0, 1},
        {{}, 0, 0},
        {{0, 2147483647}, 2147483647, 2},                  // the widest that fits an int
        {{-2147483648.0, 2147483647}, 0, 2},               // wider: no interval
    };
    for (const Case& c : cases) {
        const ContourInterval got = contour_interval(c.elevations);
        EXPECT_EQ(got.interval, c.interval) << ::testing::PrintToString(c.elevations);
        EXPECT_EQ(got.distinct, c.distinct) << ::testing::PrintToString(c.elevations);
    }
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>

#include <limits>

#include "geometry/elevation_grid.h"

namespace zorvel {
namespace {

// the elevation written into cell k of the tests below
double value(int k) { return k == 0 ? -0.0 : k == 1 ? std::numeric_limits<double>::quiet_NaN() : 100.0 + k * 0.25; }

TEST(ElevationGrid, CellsReadBackExactlyUpToTheCodesTheyHold) {
    constexpr int kCols = 300, kRows = 300;
    // -999 and 0.0 are coded from the start: 254 more fit in a byte, 65,534 in two
    for (auto [width, room] : {std::pair{1, 254}, std::pair{2, 65534}, std::pair{8, 70000}}) {
        SCOPED_TRACE(width);
        ElevationGrid g = ElevationGrid::make(kCols, kRows, width);
        ASSERT_TRUE(g);
        EXPECT_EQ(g.at(kRows - 2, kCols - 2), kNoElevation);
        EXPECT_EQ(bits_of(g.at(kRows - 1, 5)), bits_of(0.0));
        EXPECT_EQ(bits_of(g.at(5, kCols - 1)), bits_of(0.0));
        for (int k = 0; k < room; ++k) ASSERT_TRUE(g.set(k / kCols, k % kCols, value(k))) << k;
        // an elevation already coded fits; one more does not
        EXPECT_TRUE(g.set(0, 0, value(room - 1)));
        EXPECT_EQ(g.set(0, 1, value(room)), width == 8);
        for (int k = 2; k < room; ++k) ASSERT_EQ(bits_of(g.at(k / kCols, k % kCols)), bits_of(value(k))) << k;
        EXPECT_EQ(bits_of(g.at(0, 0)), bits_of(value(room - 1)));
    }
}

TEST(ElevationGrid, CountOfDistinctElevationsGivesTheWidth) {
    // 254 elevations, each twice, fit a byte; one more, counted in another
    // tally, needs two; 65,535 need eight
    ElevationCount a, b;
    for (int k = 0; k < 254; ++k) a.take(value(k)), a.take(value(k));
    EXPECT_EQ(a.width(), 1);
    b.take(value(0));
    b.take(value(254));
    ElevationCount merged = a;
    merged.add(b);
    EXPECT_EQ(merged.width(), 2);
    for (int k = 255; k < 65534; ++k) merged.take(value(k));
    EXPECT_EQ(merged.width(), 2);
    merged.take(value(65534));
    a.add(merged);
    EXPECT_EQ(a.width(), 8);
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <limits>

#include "elevation_grid.h"

namespace zorvel {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// the elevation written into cell k of the tests below
double value(int k) { return k == 0 ? -0.0 : k == 1 ? std::numeric_limits<double>::quiet_NaN() : 100.0 + k * 0.25; }

TEST(ElevationGrid, CellsReadBackExactlyThroughEveryWidening) {
    constexpr int kCols = 300, kRows = 300;
    for (int start : {1, 2, 8}) {
        SCOPED_TRACE(start);
        ElevationGrid g = ElevationGrid::make(kCols, kRows, start);
        ASSERT_TRUE(g);
        EXPECT_EQ(g.width(), start);
        EXPECT_EQ(g.at(0, 0), kNoElevation);
        EXPECT_EQ(g.at(kRows - 2, kCols - 2), kNoElevation);
        EXPECT_EQ(bits(g.at(kRows - 1, 5)), bits(0.0));
        EXPECT_EQ(bits(g.at(5, kCols - 1)), bits(0.0));
        // -999 and 0.0 are coded from the start: 254 more fit in a byte
        const int widths_at[][2] = {{254, 1}, {255, 2}, {65534, 2}, {65535, 8}};
        int k = 0;
        for (const auto& [count, width] : widths_at) {
            for (; k < count; ++k) ASSERT_TRUE(g.set(k / kCols, k % kCols, value(k)));
            EXPECT_EQ(g.width(), std::max(start, width)) << "after " << count << " new elevations";
            // one more cell with an elevation already coded does not widen
            ASSERT_TRUE(g.set(k / kCols, k % kCols, value(k - 1)));
            EXPECT_EQ(g.width(), std::max(start, width));
            for (int m = 0; m < k; ++m) ASSERT_EQ(bits(g.at(m / kCols, m % kCols)), bits(value(m))) << m;
            EXPECT_EQ(g.at(kRows - 2, kCols - 2), kNoElevation);
            EXPECT_EQ(bits(g.at(kRows - 1, kCols - 1)), bits(0.0));
        }
    }
}

TEST(ElevationGrid, CountOfDistinctElevationsGivesTheStartingWidth) {
    ElevationCount a;
    EXPECT_EQ(a.width(), 1);
    for (int k = 0; k < 254; ++k) {
        a.take(value(k));
        a.take(value(k));  // the same elevation again counts once
    }
    EXPECT_EQ(a.width(), 1);
    ElevationCount b;
    b.take(value(0));    // already in a
    b.take(value(254));  // one more
    ElevationCount merged = a;
    merged.add(b);
    EXPECT_EQ(merged.width(), 2);
    for (int k = 255; k < 65534; ++k) merged.take(value(k));
    EXPECT_EQ(merged.width(), 2);
    merged.take(value(65534));
    EXPECT_EQ(merged.width(), 8);
    // past the count, adding keeps it there
    a.add(merged);
    EXPECT_EQ(a.width(), 8);
}

TEST(ElevationGrid, DrawsTheCellsOfThePlainWalk) {
    constexpr int kSize = 40;
    ElevationGrid g = ElevationGrid::make(kSize, kSize);
    Grid<double> plain = Grid<double>::make(kSize, kSize);
    ASSERT_TRUE(g && plain);
    const DrawTarget<double> target{plain.rows(), kSize, kSize};
    const Cell walks[][2] = {{{2, 3}, {30, 11}}, {{-5, 50}, {45, -7}}, {{39, 0}, {0, 39}}, {{1e12, 3}, {-1e12, 5}}};
    double alti = 10.0;
    for (const auto& w : walks) {
        ASSERT_TRUE(g.draw(w[0], w[1], alti));
        trace_segment(target, w[0], w[1], alti);
        alti += 0.5;
    }
    for (int i = 0; i < kSize; ++i)
        for (int j = 0; j < kSize; ++j) {
            if (plain[i][j] == 0.0) {
                EXPECT_TRUE(g.at(i, j) == kNoElevation || i == kSize - 1 || j == kSize - 1);
            } else {
                EXPECT_EQ(g.at(i, j), plain[i][j]) << i << "," << j;
            }
        }
}

}  // namespace
}  // namespace zorvel

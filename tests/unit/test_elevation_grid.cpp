#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "elevation_grid.h"

namespace zorvel {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// the elevation written into cell k of the tests below
double value(int k) { return k == 0 ? -0.0 : k == 1 ? std::numeric_limits<double>::quiet_NaN() : 100.0 + k * 0.25; }

TEST(ElevationGrid, CellsReadBackExactlyThroughEveryWidening) {
    constexpr int kCols = 300, kRows = 300;
    ElevationGrid g = ElevationGrid::make(kCols, kRows);
    ASSERT_TRUE(g);
    EXPECT_EQ(g.width(), 1);
    EXPECT_EQ(g.at(0, 0), kNoElevation);
    EXPECT_EQ(bits(g.at(kRows - 1, 5)), bits(0.0));
    EXPECT_EQ(bits(g.at(5, kCols - 1)), bits(0.0));
    // -999 and 0.0 are coded from the start: 254 more fit in a byte
    const int widths_at[][2] = {{254, 1}, {255, 2}, {65534, 2}, {65535, 8}};
    int k = 0;
    for (const auto& [count, width] : widths_at) {
        for (; k < count; ++k) ASSERT_TRUE(g.set(k / kCols, k % kCols, value(k)));
        EXPECT_EQ(g.width(), width) << "after " << count << " new elevations";
        // one more cell with an elevation already coded does not widen
        ASSERT_TRUE(g.set(k / kCols, k % kCols, value(k - 1)));
        EXPECT_EQ(g.width(), width);
        for (int m = 0; m < k; ++m) ASSERT_EQ(bits(g.at(m / kCols, m % kCols)), bits(value(m))) << m;
        EXPECT_EQ(g.at(kRows - 2, kCols - 2), kNoElevation);
        EXPECT_EQ(bits(g.at(kRows - 1, kCols - 1)), bits(0.0));
    }
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

#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "base/grid.h"
#include "base/memory.h"
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

// A grid's memory comes in huge pages only where the kernel's free blocks
// of that size would hold it: their bytes, zone by zone, order by order.
TEST(ElevationGrid, FreeMemoryInBlocksOfAHugePageOrMore) {
    const char* buddyinfo =
        "Node 0, zone      DMA      1      1      1      0      2      1      1      0      1      1      3 \n"
        "Node 0, zone    DMA32      5      4      3      2      1      0      0      0      0      2      7 \n"
        "Node 0, zone   Normal  44228  34840  13367   6925   4718   2089   1024    500    495    227   3341";
    constexpr unsigned long long kMiB = 1 << 20;
    // blocks of 512 pages and of 1024
    EXPECT_EQ(free_in_blocks(buddyinfo, 4096, 2 * kMiB), (1 * 2 + 3 * 4 + 2 * 2 + 7 * 4 + 227 * 2 + 3341 * 4) * kMiB);
    EXPECT_EQ(free_in_blocks(buddyinfo, 4096, 4 * kMiB), (3 + 7 + 3341) * 4 * kMiB);
    EXPECT_EQ(free_in_blocks(buddyinfo, 4096, 8 * kMiB), 0u);
    EXPECT_EQ(free_in_blocks("", 4096, 2 * kMiB), 0u);
}

// A grid or an array of kMappedBytes or more is held in a mapping: moved,
// assigned and narrowed, it keeps its cells and gives the mapping back once.
TEST(ElevationGrid, ALargeGridOrArrayMovedKeepsItsCells) {
    auto g = Grid<unsigned char>::make(4096, static_cast<int>(kMappedBytes / 4096));
    ASSERT_TRUE(g);
    g[1][2] = 3;
    g[g.nb_rows() - 1][4095] = 7;
    Grid<unsigned char> moved(std::move(g)), assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned[assigned.nb_rows() - 1][4095], 7);
    const Grid<unsigned char> small = std::move(assigned).narrowed(100, 10);
    EXPECT_EQ(small.nb_rows() * small.nb_cols(), 1000);
    EXPECT_EQ(small[1][2], 3);
    ZeroedArray<double> a(kMappedBytes / sizeof(double)), b;
    a.data()[5] = 1.5;
    b = std::move(a);
    EXPECT_EQ(b.data()[5] + b.data()[b.size() - 1], 1.5);
}

}  // namespace
}  // namespace zorvel

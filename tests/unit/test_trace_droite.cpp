#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "numeric.h"
#include "test_support.h"
#include "trace_droite.h"

namespace zorvel {
namespace {

using Cells = std::vector<std::pair<int, int>>;

struct Canvas {
    Grid<double> g;
    int rows, cols;
    Canvas(int r, int c) : g(Grid<double>::make(c, r)), rows(r), cols(c) {}
    DrawTarget<double> view() const { return DrawTarget<double>{g.rows(), rows, cols}; }
    Cells written(double alti) const {
        Cells cells;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                if (g[i][j] == alti) cells.emplace_back(i, j);
        return cells;
    }
};

Cells sorted(Cells c) {
    std::sort(c.begin(), c.end());
    return c;
}

TEST(TraceDroite, WalkTable) {
    struct Case {
        int ideb, jdeb, ifin, jfin;
        Cells cells;
    };
    const Case cases[] = {
        {2, 3, 5, 10, {{2, 3}, {2, 4}, {3, 5}, {3, 6}, {4, 7}, {4, 8}, {5, 9}, {5, 10}}},
        {0, 0, 7, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}}},
        {0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
        // halfway positions take the higher index in both directions
        {0, 0, 2, 1, {{0, 0}, {1, 1}, {2, 1}}},
        {2, 1, 0, 0, {{2, 1}, {1, 1}, {0, 0}}},
        {4, 6, 4, 2, {{4, 6}, {4, 5}, {4, 4}, {4, 3}, {4, 2}}},
        {7, 7, 7, 7, {{7, 7}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ideb << "," << c.jdeb << " -> " << c.ifin << "," << c.jfin);
        Canvas cv(12, 12);
        trace_droite(cv.view(), c.ideb, c.jdeb, c.ifin, c.jfin, 100.0);
        EXPECT_EQ(cv.written(100.0), sorted(c.cells));
    }
}

TEST(TraceDroite, LaterSegmentOverwritesAndEndCellIsWrittenLast) {
    Canvas cv(6, 6);
    trace_droite(cv.view(), 0, 0, 0, 5, 10.0);
    trace_droite(cv.view(), 0, 3, 4, 3, 20.0);
    EXPECT_EQ(cv.g[0][3], 20.0);
    EXPECT_EQ(cv.g[0][2], 10.0);
    // a segment ending where it began writes the end cell once more, last
    trace_droite(cv.view(), 2, 2, 2, 2, 30.0);
    EXPECT_EQ(cv.g[2][2], 30.0);
}

// The walk as the program always did it, on an unbounded plane: the cells
// from a to b that fall in rows 0..rows-1 and columns 0..cols-1.
Cells reference_walk(int ai, int aj, int bi, int bj, int rows, int cols) {
    const double a = bj - aj, b = bi - ai;
    const double rmax = std::max(std::fabs(a), std::fabs(b));
    Cells cells;
    double pi = ai, pj = aj;
    int ci = ai, cj = aj;
    const auto keep = [&] {
        if (ci >= 0 && ci < rows && cj >= 0 && cj < cols) cells.emplace_back(ci, cj);
    };
    keep();
    for (int step = 0; step < rmax; ++step) {
        pi += b / rmax;
        pj += a / rmax;
        ci = static_cast<int>(std::trunc(static_cast<long double>(pi) + 0.5L));
        cj = static_cast<int>(std::trunc(static_cast<long double>(pj) + 0.5L));
        keep();
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    return cells;
}

TEST(TraceDroite, SegmentsLeavingTheGridDrawTheirInsideCells) {
    struct Case {
        const char* name;
        int ai, aj, bi, bj;
    };
    // a 10 x 10 grid; the ends of these walks lie outside it
    const Case cases[] = {
        {"enters from the left", 3, -20, 6, 5},
        {"crosses the grid", -15, -7, 30, 22},
        {"passes above", -3, -10, -2, 40},
        {"leaves downward", 4, 4, 60, 9},
        {"steep from below", 40, 2, -30, 7},
        // positions between -1.5 and -0.5 truncate to cell 0
        {"runs along row -1", -1, -5, -1, 15},
        // long enough to be cut to the grid before it is walked
        {"long and shallow", 5, -500, 6, 500},
        {"long and steep", -900, 3, 900, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas cv(10, 10);
        trace_droite(cv.view(), c.ai, c.aj, c.bi, c.bj, 1.0);
        EXPECT_EQ(cv.written(1.0), reference_walk(c.ai, c.aj, c.bi, c.bj, 10, 10));
    }
}

TEST(TraceDroite, RoundingAgreesWithExtendedPrecision) {
    // x + 0.5 truncated: the double two-sum gives what the x87 unit gives
    std::mt19937_64 rng(11);
    for (int k = 0; k < 200000; ++k) {
        const double n = std::floor(std::uniform_real_distribution<double>(-1e6, 1e6)(rng));
        // the doubles on either side of the halves, where plain double rounding goes wrong
        const double x = std::nextafter(n + 0.5, k % 2 ? 1e9 : -1e9) - (k % 3 == 0 ? 1.0 : 0.0);
        const double want = static_cast<double>(std::trunc(static_cast<long double>(x) + 0.5L));
        ASSERT_EQ(round_half_up_exact(x), want) << std::hexfloat << x;
    }
    EXPECT_EQ(round_half_up_exact(2.4999999999999996), 2.0);  // 3.0 in plain double
    EXPECT_EQ(round_half_up_exact(-1.2), 0.0);
    EXPECT_EQ(round_half_up_exact(-1.7), -1.0);
    EXPECT_EQ(round_half_up_exact(4503599627370497.0), 4503599627370497.0);
    EXPECT_EQ(round_half_up_exact(-4503599627370497.0), -4503599627370496.0);
    EXPECT_TRUE(std::isnan(round_half_up_exact(std::nan(""))));
}

TEST(TraceDroite, FarAndNonFiniteEndsCostNothingAndWriteNothingOutside) {
    Canvas cv(8, 8);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // the sanitizer build checks every write; the bound on the steps keeps these instant
    trace_segment(cv.view(), Cell{4, 4}, Cell{1e15, 1e15}, 5.0);
    EXPECT_EQ(cv.g[4][4], 5.0);
    EXPECT_EQ(cv.g[7][7], 5.0);
    trace_segment(cv.view(), Cell{3, 0}, Cell{3, 1e300}, 6.0);
    trace_segment(cv.view(), Cell{-1e18, -1e18}, Cell{1e18, 1e18}, 7.0);
    trace_segment(cv.view(), Cell{1e308, 2}, Cell{-1e308, 3}, 8.0);
    trace_segment(cv.view(), Cell{nan, 2}, Cell{3, 3}, 9.0);
    trace_segment(cv.view(), Cell{inf, 2}, Cell{3, 3}, 9.0);
    EXPECT_TRUE(cv.written(9.0).empty());
    EXPECT_EQ(cv.g[3][5], 6.0);
    EXPECT_EQ(cv.g[2][2], 7.0);
}

}  // namespace
}  // namespace zorvel

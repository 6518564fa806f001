#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "base/numeric.h"
#include "test_support.h"
#include "geometry/step_runs.h"
#include "geometry/trace_droite.h"

namespace zorvel {
namespace {

using Cells = std::vector<std::pair<int, int>>;

template <typename T>
struct CanvasOf {
    Grid<T> g;
    int rows, cols;
    CanvasOf(int r, int c) : g(Grid<T>::make(c, r)), rows(r), cols(c) {}
    DrawTarget<T> view() const { return DrawTarget<T>{g.rows(), rows, cols}; }
    Cells written(T alti) const {
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
        CanvasOf<double> cv(12, 12);
        trace_droite(cv.view(), c.ideb, c.jdeb, c.ifin, c.jfin, 100.0);
        EXPECT_EQ(cv.written(100.0), sorted(c.cells));
    }
}

TEST(TraceDroite, FarAndNonFiniteEndsCostNothingAndWriteNothingOutside) {
    CanvasOf<double> cv(8, 8);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // the sanitizer build checks every write; none of these takes its steps one by one
    trace_segment(cv.view(), Cell{4, 4}, Cell{1e15, 1e15}, 5.0);
    EXPECT_EQ(cv.written(5.0), (Cells{{4, 4}, {5, 5}, {6, 6}, {7, 7}}));
    trace_segment(cv.view(), Cell{3, 0}, Cell{3, 1e300}, 6.0);
    EXPECT_EQ(cv.written(6.0), (Cells{{3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}, {3, 7}}));
    // from beyond 2^53 cells a step of one cell is lost in the rounding: the
    // walk never moves, and draws nothing, not even its end
    trace_segment(cv.view(), Cell{-1e18, -1e18}, Cell{2, 2}, 7.0);
    trace_segment(cv.view(), Cell{1e308, 2}, Cell{-1e308, 3}, 8.0);
    trace_segment(cv.view(), Cell{nan, 2}, Cell{3, 3}, 9.0);
    trace_segment(cv.view(), Cell{inf, 2}, Cell{3, 3}, 9.0);
    EXPECT_TRUE(cv.written(7.0).empty());
    EXPECT_TRUE(cv.written(8.0).empty());
    EXPECT_TRUE(cv.written(9.0).empty());
}

// Runs of one coordinate through every kind of spacing of the doubles: the
// position after k steps, computed at once, is the one the steps reach.
TEST(TraceDroite, PositionAfterManyStepsIsTheAccumulatedOne) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(0, 1);
    const auto sign = [&] { return rng() % 2 ? 1.0 : -1.0; };
    struct Case {
        double p0, d;
    };
    std::vector<Case> cases = {
        {0x1p53, 1},      {0x1p53 + 2, -1},  {0x1p53 + 4, -1}, {-0x1p53, 1},     {0x1p54 - 4, 1},
        {0x1p52 - 3, 0.5}, {0, 0x1p-1074},    {0, -3e-320},     {-1e-310, 1e-312}, {0.3, -0.1},
        {1e17, -1},       {4.75, 0.25},      {-2.5, 0.5},      {1255.5, 0.09},   {0, 0},
    };
    for (int k = 0; k < 400; ++k) {
        // positions from 1e-3 to 1e17 cells, steps from whole cells to 1e-12, or dyadic ones
        const double p0 = sign() * std::pow(10.0, -3 + 20 * unit(rng));
        const double d = rng() % 3 == 0 ? sign() * std::ldexp(1.0, -static_cast<int>(rng() % 30))
                                        : sign() * std::pow(10.0, -12 * unit(rng));
        cases.push_back({p0, d});
    }
    for (const Case& c : cases) {
        double p = c.p0;
        long long k = 0;
        for (long long check : {1LL, 2LL, 3LL, 17LL, 1000LL, 65537LL, 200000LL}) {
            for (; k < check; ++k) p = p + c.d;
            ASSERT_EQ(walk_position(c.p0, c.d, check), p)
                << std::hexfloat << "p0 " << c.p0 << " d " << c.d << " after " << check << " steps";
        }
    }
}

// The bounded walk against the plain one on walks that start (or end) far
// from a small grid, cell for cell. Most walks are some hundreds of cells
// long; one in a hundred runs to 10^5 cells and one in ten thousand to 10^7.
void compare_walks(std::uint64_t seed, int walks) {
    constexpr int kMax = 40;
    CanvasOf<unsigned char> plain(kMax, kMax), bounded(kMax, kMax), shipped(kMax, kMax);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const auto log_uniform = [&](double lo, double hi) { return std::floor(lo * std::pow(hi / lo, unit(rng))); };
    for (int w = 0; w < walks; ++w) {
        const int rows = 1 + static_cast<int>(rng() % kMax), cols = 1 + static_cast<int>(rng() % kMax);
        const auto pick = rng() % 10000;
        double rmax = pick == 0 ? log_uniform(1e5, 1e7) : pick < 100 ? log_uniform(1e3, 1e5) : log_uniform(1, 1e3);
        // a power of two makes the fractional step exact, and its positions
        // fall on exact halves
        if (rng() % 4 == 0) rmax = std::exp2(std::floor(std::log2(rmax)));
        const double minor = std::min(rmax, std::floor(unit(rng) * (rmax + 1)));
        // the near end in or around the grid, the far end rmax away
        Cell near{std::floor(unit(rng) * (rows + 10)) - 5, std::floor(unit(rng) * (cols + 10)) - 5};
        const double si = rng() % 2 ? 1 : -1, sj = rng() % 2 ? 1 : -1;
        const bool rows_major = rng() % 2;
        Cell far{near.i + si * (rows_major ? rmax : minor), near.j + sj * (rows_major ? minor : rmax)};
        const bool far_first = rng() % 4 != 0;
        const Cell deb = far_first ? far : near, fin = far_first ? near : far;
        const auto alti = static_cast<unsigned char>(1 + w % 250);
        const DrawTarget<unsigned char> pv{plain.g.rows(), rows, cols}, bv{bounded.g.rows(), rows, cols},
            sv{shipped.g.rows(), rows, cols};
        plain_walk(pv, deb, fin, alti);
        bounded_walk(bv, deb, fin, alti);
        trace_segment(sv, deb, fin, alti);
        for (int i = 0; i < kMax; ++i) {
            if (std::memcmp(plain.g[i], bounded.g[i], kMax) == 0 && std::memcmp(plain.g[i], shipped.g[i], kMax) == 0)
                continue;
            FAIL() << "seed " << seed << ", walk " << w << ": (" << deb.i << ", " << deb.j << ") -> (" << fin.i
                   << ", " << fin.j << ") on " << rows << " x " << cols << ", row " << i << "\n plain   "
                   << test::bytes(plain.g[i], cols) << "\n bounded " << test::bytes(bounded.g[i], cols)
                   << "\n shipped " << test::bytes(shipped.g[i], cols);
        }
    }
}

// The shortcut for a step to a neighbouring cell, against the walk: every
// step of up to two cells from cells in and around a window (whole or not,
// NaN and infinite too) draws the same cells, or draws nothing and leaves
// the step to the walk.
TEST(TraceDroite, NeighbourStepDrawsWhatTheWalkDraws) {
    constexpr int kRows = 4, kCols = 5, kI0 = 2, kJ0 = 3;
    CanvasOf<unsigned char> walked(kRows, kCols), stepped(kRows, kCols);
    const DrawTarget<unsigned char> wv{walked.g.rows(), kRows, kCols, kI0, kJ0},
        sv{stepped.g.rows(), kRows, kCols, kI0, kJ0};
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> rows, cols, moves = {-2, -1, -0.75, 0, 0.25, 1, 2, nan, inf};
    for (double v = kI0 - 2; v <= kI0 + kRows + 1; v += 0.5) rows.push_back(v);
    for (double v = kJ0 - 2; v <= kJ0 + kCols + 1; v += 0.5) cols.push_back(v);
    int shortcuts = 0;
    unsigned char alti = 0;
    for (const double i : rows)
        for (const double j : cols)
            for (const double mi : moves)
                for (const double mj : moves) {
                    alti = static_cast<unsigned char>(alti % 250 + 1);
                    const Cell deb{i, j}, fin{i + mi, j + mj};
                    trace_segment(wv, deb, fin, alti);
                    const bool took = neighbour_step(sv, deb, fin, alti);
                    shortcuts += took;
                    // left to the walk, it must have drawn nothing
                    if (!took) trace_segment(sv, deb, fin, alti);
                    for (int r = 0; r < kRows; ++r)
                        ASSERT_EQ(std::memcmp(walked.g[r], stepped.g[r], kCols), 0)
                            << "(" << i << ", " << j << ") -> (" << fin.i << ", " << fin.j << "), "
                            << (took ? "taken" : "left to the walk") << ", row " << r << "\n walked  "
                            << test::bytes(walked.g[r], kCols) << "\n stepped " << test::bytes(stepped.g[r], kCols);
                }
    // the steps of 0 and 1 cell between cells of the window
    EXPECT_GT(shortcuts, 1000);
}

TEST(TraceDroite, BoundedWalkDrawsWhatThePlainWalkDraws) { compare_walks(test::diff_seed(20261207), test::kRandomCases); }

}  // namespace
}  // namespace zorvel

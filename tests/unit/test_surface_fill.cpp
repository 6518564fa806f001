#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "base/grid.h"
#include "surface/surface_fill.h"

namespace zorvel {
namespace {

constexpr double kE = kNoElevation;

struct Cells {
    int rows, cols;
    std::vector<double> v;
    double& at(int i, int j) { return v[static_cast<std::size_t>(i * cols + j)]; }
    double at(int i, int j) const { return v[static_cast<std::size_t>(i * cols + j)]; }
};

Cells empty_cells(int rows, int cols) { return {rows, cols, std::vector<double>(static_cast<std::size_t>(rows * cols), kE)}; }

// The fill the slow way: for every level on its own, the chamfer distance of
// every free cell by relaxing all moves until nothing changes; then each
// cell's two nearest levels by sorting; the one-level areas by flood fill.
std::vector<double> reference_fill(const Cells& in) {
    const int R = in.rows, C = in.cols;
    const auto inside = [&](int i, int j) { return i >= 0 && i < R && j >= 0 && j < C; };
    const auto free_cell = [&](int i, int j) { return inside(i, j) && in.at(i, j) == kE; };
    std::vector<double> levels;
    for (double v : in.v)
        if (v != kE) levels.push_back(v);
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    double step = 0;
    for (std::size_t k = 1; k < levels.size(); ++k)
        if (step == 0 || levels[k] - levels[k - 1] < step) step = levels[k] - levels[k - 1];

    // every move (di, dj, cost) with the cells of which one must be free
    struct Move {
        int di, dj, cost;
        std::vector<std::pair<int, int>> beside;
    };
    std::vector<Move> moves;
    for (int di = -1; di <= 1; ++di)
        for (int dj = -1; dj <= 1; ++dj) {
            if (std::abs(di) + std::abs(dj) == 1) moves.push_back({di, dj, 5, {}});
            if (std::abs(di) + std::abs(dj) == 2) moves.push_back({di, dj, 7, {{di, 0}, {0, dj}}});
        }
    constexpr long kInf = std::numeric_limits<long>::max();
    std::vector<std::vector<long>> dist(levels.size(), std::vector<long>(in.v.size(), kInf));
    for (std::size_t l = 0; l < levels.size(); ++l) {
        auto& d = dist[l];
        for (bool changed = true; changed;) {
            changed = false;
            for (int i = 0; i < R; ++i)
                for (int j = 0; j < C; ++j) {
                    if (!free_cell(i, j)) continue;
                    for (const Move& m : moves) {
                        const int yi = i + m.di, yj = j + m.dj;
                        if (!inside(yi, yj)) continue;
                        int frees = 0;
                        for (auto [bi, bj] : m.beside) frees += free_cell(i + bi, j + bj);
                        if (!m.beside.empty() && frees == 0) continue;
                        long from;
                        if (free_cell(yi, yj))
                            from = d[static_cast<std::size_t>(yi * C + yj)];
                        else
                            from = in.at(yi, yj) == levels[l] ? 0 : kInf;
                        if (from == kInf) continue;
                        long& here = d[static_cast<std::size_t>(i * C + j)];
                        if (from + m.cost < here) {
                            here = from + m.cost;
                            changed = true;
                        }
                    }
                }
        }
    }
    // the two nearest of each free cell, distance first, then the lower level
    std::vector<std::vector<std::pair<long, std::size_t>>> near(in.v.size());
    for (std::size_t c = 0; c < in.v.size(); ++c) {
        if (in.v[c] != kE) continue;
        for (std::size_t l = 0; l < levels.size(); ++l)
            if (dist[l][c] != kInf) near[c].push_back({dist[l][c], l});
        std::sort(near[c].begin(), near[c].end());
    }
    std::vector<double> out = in.v;
    // one-level areas
    std::vector<int> area(in.v.size(), -1);
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t c = 0; c < in.v.size(); ++c) {
        if (near[c].size() != 1 || area[c] >= 0) continue;
        members.push_back({});
        std::vector<std::size_t> todo{c};
        area[c] = static_cast<int>(members.size()) - 1;
        while (!todo.empty()) {
            const std::size_t x = todo.back();
            todo.pop_back();
            members.back().push_back(x);
            const int i = static_cast<int>(x) / C, j = static_cast<int>(x) % C;
            const int di[] = {-1, 1, 0, 0}, dj[] = {0, 0, -1, 1};
            for (int k = 0; k < 4; ++k) {
                if (!free_cell(i + di[k], j + dj[k])) continue;
                const std::size_t y = static_cast<std::size_t>((i + di[k]) * C + j + dj[k]);
                if (near[y].size() == 1 && area[y] < 0) {
                    area[y] = area[c];
                    todo.push_back(y);
                }
            }
        }
    }
    // the balance of each area: per contour cell touching it, the cells around
    // that cell which two levels reach, by their other level
    std::vector<long> balance(members.size(), 0);
    for (int i = 0; i < R; ++i)
        for (int j = 0; j < C; ++j) {
            if (free_cell(i, j)) continue;
            const std::size_t v = static_cast<std::size_t>(std::lower_bound(levels.begin(), levels.end(), in.at(i, j)) - levels.begin());
            long b = 0;
            std::vector<int> touched;
            for (int di = -1; di <= 1; ++di)
                for (int dj = -1; dj <= 1; ++dj) {
                    if ((di == 0 && dj == 0) || !free_cell(i + di, j + dj)) continue;
                    const std::size_t y = static_cast<std::size_t>((i + di) * C + j + dj);
                    if (near[y].size() == 1 && near[y][0].second == v) touched.push_back(area[y]);
                    if (near[y].size() >= 2) {
                        const std::size_t a = near[y][0].second, c2 = near[y][1].second;
                        const std::size_t other = a == v ? c2 : c2 == v ? a : v;
                        b += other < v ? 1 : other > v ? -1 : 0;
                    }
                }
            for (int t : touched) balance[static_cast<std::size_t>(t)] += b;
        }
    for (std::size_t c = 0; c < in.v.size(); ++c) {
        if (near[c].size() >= 2) {
            const double va = levels[near[c][0].second], vb = levels[near[c][1].second];
            const double da = static_cast<double>(near[c][0].first), db = static_cast<double>(near[c][1].first);
            out[c] = va + (vb - va) * da / (da + db);
        } else if (near[c].size() == 1) {
            const int a = area[c];
            long d_max = 0;
            for (std::size_t m : members[static_cast<std::size_t>(a)]) d_max = std::max(d_max, near[m][0].first);
            const double va = levels[near[c][0].second];
            const long b = balance[static_cast<std::size_t>(a)];
            if (b == 0 || step == 0) {
                out[c] = va;
            } else {
                const double t = static_cast<double>(near[c][0].first) / static_cast<double>(d_max);
                const double rise = step / 2 * (2 * t - t * t);
                out[c] = b > 0 ? va + rise : va - rise;
            }
        }
    }
    return out;
}

// Random contours: polylines of random levels walked cell by cell (eight-
// connected steps), and a few lone cells.
Cells random_contours(std::mt19937& rng, int rows, int cols) {
    Cells g = empty_cells(rows, cols);
    const double palette[] = {100, 110, 120, 130, 125.5};
    const int lines = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < lines; ++k) {
        const double v = palette[rng() % (rng() % 4 == 0 ? 5 : 4)];
        int i = static_cast<int>(rng() % static_cast<unsigned>(rows)), j = static_cast<int>(rng() % static_cast<unsigned>(cols));
        const int length = 2 + static_cast<int>(rng() % static_cast<unsigned>(2 * (rows + cols)));
        int di = static_cast<int>(rng() % 3) - 1, dj = static_cast<int>(rng() % 3) - 1;
        for (int s = 0; s < length; ++s) {
            g.at(i, j) = v;
            if (rng() % 5 == 0) {
                di = static_cast<int>(rng() % 3) - 1;
                dj = static_cast<int>(rng() % 3) - 1;
            }
            i = std::clamp(i + di, 0, rows - 1);
            j = std::clamp(j + dj, 0, cols - 1);
        }
    }
    for (int k = static_cast<int>(rng() % 3); k > 0; --k)
        g.at(static_cast<int>(rng() % static_cast<unsigned>(rows)), static_cast<int>(rng() % static_cast<unsigned>(cols))) =
            palette[rng() % 4];
    return g;
}

TEST(SurfaceFill, MatchesTheSlowReferenceOnRandomContours) {
    std::mt19937 rng(23);
    for (int k = 0; k < 1200; ++k) {
        const int rows = 1 + static_cast<int>(rng() % 14), cols = 1 + static_cast<int>(rng() % 14);
        Cells g = random_contours(rng, rows, cols);
        const std::vector<double> expected = reference_fill(g);
        ASSERT_TRUE(fill_surface(g.v, rows, cols, false)) << k;
        for (std::size_t c = 0; c < g.v.size(); ++c)
            ASSERT_EQ(g.v[c], expected[c]) << "set " << k << ", cell " << c / static_cast<std::size_t>(cols) << ","
                                           << c % static_cast<std::size_t>(cols);
    }
}

TEST(SurfaceFill, ARingRisesToADomeAndTheGroundAroundSinks) {
    // a ring at 110 inside a ring at 100: inside the 110 ring a dome half a
    // step high at its middle; outside the 100 ring the ground sinks
    const int n = 41;
    Cells g = empty_cells(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int r = std::max(std::abs(i - 20), std::abs(j - 20));
            if (r == 6) g.at(i, j) = 110;
            if (r == 14) g.at(i, j) = 100;
        }
    ASSERT_TRUE(fill_surface(g.v, n, n));
    EXPECT_EQ(g.at(20, 20), 115);
    for (int r = 1; r < 6; ++r) {
        EXPECT_GT(g.at(20, 20 + r - 1), g.at(20, 20 + r));
        EXPECT_GT(g.at(20, 20 + r), 110);
    }
    for (int r = 7; r < 14; ++r) {
        EXPECT_GT(g.at(20, 20 + r), 100);
        EXPECT_LT(g.at(20, 20 + r), 110);
    }
    EXPECT_EQ(g.at(0, 0), 95);
    EXPECT_LT(g.at(20, 5), 100);
    // one ring alone: nothing tells whether it is a top or a hollow
    Cells one = empty_cells(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (std::max(std::abs(i - 20), std::abs(j - 20)) == 6) one.at(i, j) = 110;
    const auto r = fill_surface(one.v, n, n);
    ASSERT_TRUE(r);
    EXPECT_EQ(one.at(20, 20), 110);
    EXPECT_EQ(one.at(0, 0), 110);
    EXPECT_EQ(r->flat, n * n - 48);
    // no contour: nothing is reached
    Cells none = empty_cells(3, 3);
    const auto nothing = fill_surface(none.v, 3, 3);
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->unreached, 9);
    EXPECT_EQ(none.at(1, 1), kE);
}

TEST(SurfaceFill, ManyLevelsAndLongPathsTakeWiderKeys) {
    // more levels than narrow keys code: a lone level in every other cell
    std::mt19937 rng(9);
    Cells many = empty_cells(36, 36);
    for (int i = 0; i < 36; ++i)
        for (int j = (i % 2); j < 36; j += 2) many.at(i, j) = 1000.0 + static_cast<double>(rng() % 5000) / 4;
    const std::vector<double> expected = reference_fill(many);
    ASSERT_TRUE(fill_surface(many.v, 36, 36));
    ASSERT_EQ(many.v, expected);
    // a corridor that winds between walls at 100 over the whole grid to one
    // cell at 110: its far end is farther along it than narrow keys count
    const int n = 1000;
    Cells maze = empty_cells(n, n);
    for (int i = 1; i < n; i += 2)
        for (int j = 0; j < n; ++j)
            if (j != (i % 4 == 1 ? n - 1 : 0)) maze.at(i, j) = 100;
    maze.at(n - 1, n - 1) = 110;
    long long free_cells = 0;
    for (double v : maze.v) free_cells += v == kE;
    const auto r = fill_surface(maze.v, n, n);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->between, free_cells);
    EXPECT_GT(maze.at(0, 0), 100);
    EXPECT_LT(maze.at(0, 0), 100.0001);
}

TEST(SurfaceFill, TwoThreadsFillAsOne) {
    std::mt19937 rng(5);
    for (int k = 0; k < 3; ++k) {
        Cells a = random_contours(rng, 300, 260);
        for (int extra = 0; extra < 40; ++extra) {
            Cells more = random_contours(rng, 300, 260);
            for (std::size_t c = 0; c < a.v.size(); ++c)
                if (more.v[c] != kE) a.v[c] = more.v[c];
        }
        Cells b = a;
        ASSERT_TRUE(fill_surface(a.v, 300, 260, false));
        ASSERT_TRUE(fill_surface(b.v, 300, 260, true));
        ASSERT_EQ(a.v, b.v) << k;
    }
}

}  // namespace
}  // namespace zorvel

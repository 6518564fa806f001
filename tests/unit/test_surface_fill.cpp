// The terrain between the contours: the nearest levels checked cell by cell
// against the rules they follow, and the surface's shape where it is known
// (a plane, bands that widen, ridges, domes and flats, lines that end, lines
// that share cells, the doubles' edge).
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "base/grid.h"
#include "base/threads.h"
#include "surface/lines_beyond.h"
#include "surface/nearest_lines.h"
#include "surface/segments.h"
#include "surface/strip_tables.h"
#include "surface/surface_fill.h"
#include "test_support.h"

namespace zorvel {
namespace {

constexpr double kE = kNoElevation;

// Polylines, each its vertices (row, column) and one level.
struct Line {
    std::vector<GridPoint> points;
    double level;
};
ContourLines lines_of(const std::vector<Line>& lines) {
    ContourLines out;
    for (const Line& l : lines)
        for (std::size_t k = 0; k < l.points.size(); ++k) out.vertex(l.points[k], l.level, k == 0);
    return out;
}

std::vector<double> filled(int rows, int cols, const std::vector<Line>& lines, bool two_threads = true,
                           SurfaceFill* told = nullptr) {
    std::vector<double> z(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), kE);
    const auto r = fill_surface(z, GridPart::whole(rows, cols), lines_of(lines), two_threads);
    EXPECT_TRUE(r.has_value());
    if (told != nullptr && r) *told = *r;
    return z;
}

// A few polylines of random levels anywhere over the grid and a little
// beyond, crossing each other as they please; and a ring smaller than a
// cell about a cell's centre, its corners on the ways to the neighbours.
std::vector<Line> random_lines(std::mt19937& rng, int rows, int cols) {
    std::uniform_real_distribution<double> ri(-2.0, rows + 1.0), cj(-2.0, cols + 1.0), r(0.05, 0.49);
    std::vector<Line> lines(1 + rng() % 4);
    for (Line& l : lines) {
        l.level = 100.0 + 10.0 * static_cast<double>(rng() % 4);
        const std::size_t n = 2 + rng() % 4;
        for (std::size_t k = 0; k < n; ++k) l.points.push_back(GridPoint{ri(rng), cj(rng)});
    }
    const double i = static_cast<double>(rng() % static_cast<unsigned>(rows)), j = static_cast<double>(rng() % static_cast<unsigned>(cols));
    const double a = r(rng);
    lines.push_back(Line{{{i - a, j}, {i, j + r(rng)}, {i + r(rng), j}, {i, j - r(rng)}, {i - a, j}}, 100.0 + 10.0 * static_cast<double>(rng() % 4)});
    return lines;
}

// The side of the line through (i0, j0) along (di, dj) a point lies on: 1,
// -1, or 0 on it; worked out here apart from the program's.
int side(double i0, double j0, double di, double dj, double pi, double pj) {
    const double c = di * (pj - j0) - dj * (pi - i0);
    return (c > 0) - (c < 0);
}

// Whether two points lie on one side of segment s's line (a point on the
// line on both).
bool same_side(const Segments& segs, std::uint32_t s, double i0, double j0, double i1, double j1) {
    const Segment& g = segs.all[s];
    return side(g.i0, g.j0, g.di, g.dj, i0, j0) * side(g.i0, g.j0, g.di, g.dj, i1, j1) >= 0;
}

// Whether segment t cuts the way from (i, j) to q: the two on either side of
// its line, its ends on either side of the way's or on it.
bool cuts(const Segments& segs, std::uint32_t t, int i, int j, const GridPoint& q) {
    const Segment& g = segs.all[t];
    return side(g.i0, g.j0, g.di, g.dj, i, j) * side(g.i0, g.j0, g.di, g.dj, q.i, q.j) < 0 &&
           side(i, j, q.i - i, q.j - j, g.i0, g.j0) * side(i, j, q.i - i, q.j - j, g.i0 + g.di, g.j0 + g.dj) <= 0;
}

// The keys a neighbour (ni, nj) hands to cell (i, j), as nearest_lines.h
// states the rules; kNoLine where it hands nothing.
struct Handed {
    LineKey key[2];
};
using Met = std::vector<std::vector<std::uint32_t>>;  // the segments that meet each cell of a NearLines
Handed handed(const Segments& segs, const NearLines& g, const Met& met, int i, int j, int ni, int nj) {
    const std::size_t k = g.at(i, j), m = g.at(ni, nj);
    const unsigned char fx = g.flags()[k], fn = g.flags()[m];
    const std::uint32_t step = ni != i && nj != j ? 362 : kUnitsPerCell;
    const auto level = [&](LineKey key) { return segs.all[segment_of(key)].level; };
    Handed h{{kNoLine, kNoLine}};
    const LineKey own[2] = {g.a()[m], g.b()[m]};
    for (int w = 0; w < 2; ++w) {
        if (own[w] == kNoLine) continue;
        const bool line = (fn & NearLines::kLine) != 0;
        if (line && (fn & (w == 0 ? NearLines::kSeedA : NearLines::kSeedB)) == 0) continue;
        const LineKey c = (std::min<LineKey>((own[w] >> 32) + step, 0x7FFFFFFE) << 32) | segment_of(own[w]);
        // a line cell: to its side of every segment of another level that meets it
        if (line) {
            const GridPoint p = segs.nearest_point(segment_of(c), i, j);
            if (std::any_of(met[m].begin(), met[m].end(), [&](std::uint32_t o) {
                    return segs.all[o].level != level(c) && !same_side(segs, o, i, j, p.i, p.j);
                }))
                continue;
        }
        // a line cell: from its centre's side of its nearest segment, across no other that meets it
        const LineKey xa = g.a()[k];
        if ((fx & NearLines::kLine) != 0 && (fx & NearLines::kSeedA) != 0 && level(c) != level(xa) &&
            (!same_side(segs, segment_of(xa), i, j, ni, nj) ||
             std::any_of(met[k].begin(), met[k].end(), [&](std::uint32_t t) {
                 return t != segment_of(xa) && cuts(segs, t, i, j, GridPoint{static_cast<double>(ni), static_cast<double>(nj)});
             })))
            continue;
        h.key[w] = c;
    }
    return h;
}

// The keys of a line cell's own segments, met those that meet it: the
// nearest, and the nearest of another level whose nearest point its centre
// sees across no segment of a third level.
struct Seeds {
    LineKey a = kNoLine, b = kNoLine;
};
Seeds seeds(const Segments& segs, const std::vector<std::uint32_t>& met, int i, int j) {
    const auto key = [&](std::uint32_t s) {
        return (static_cast<LineKey>(segs.distance(s, i, j) * kUnitsPerCell + 0.5) << 32) | s;
    };
    Seeds w;
    for (const std::uint32_t s : met) w.a = std::min(w.a, key(s));
    for (const std::uint32_t s : met) {
        if (segs.all[s].level == segs.all[segment_of(w.a)].level) continue;
        const GridPoint q = segs.nearest_point(s, i, j);
        if (std::none_of(met.begin(), met.end(), [&](std::uint32_t t) { return segs.all[t].level != segs.all[s].level && cuts(segs, t, i, j, q); }))
            w.b = std::min(w.b, key(s));
    }
    return w;
}

// Whether candidate c would change a cell's two nearest a and b.
bool would_change(const Segments& segs, LineKey a, LineKey b, LineKey c) {
    if (c >= b) return false;
    if (a != kNoLine && segs.all[segment_of(c)].level == segs.all[segment_of(a)].level) return c < a;
    return true;
}

// Every cell of the sweeps' result: its own levels where a segment meets it,
// two distinct levels, nothing any neighbour hands nearer (the sweeps have
// settled), and what it holds handed by a neighbour or its own.
void expect_settled(const Segments& segs, const NearLines& g) {
    Met met(NearLines::cells(g.nb_lig(), g.nb_col()));
    for (std::uint32_t s = 0; s < segs.all.size(); ++s)
        crossed_cells(segs, s, [&](int i, int j) { met[g.at(i, j)].push_back(s); });
    for (int i = 0; i < g.nb_lig(); ++i)
        for (int j = 0; j < g.nb_col(); ++j) {
            const std::size_t k = g.at(i, j);
            const LineKey a = g.a()[k], b = g.b()[k];
            const unsigned char f = g.flags()[k];
            SCOPED_TRACE(testing::Message() << i << "," << j);
            ASSERT_LE(a, b);
            if (b != kNoLine) {
                ASSERT_NE(segs.all[segment_of(a)].level, segs.all[segment_of(b)].level);
            }
            // a line cell's own segments: the nearest that meets it, and the
            // nearest of another level that its centre sees
            if ((f & NearLines::kSeedA) != 0) {
                ASSERT_NE(f & NearLines::kLine, 0);
                const Seeds want = seeds(segs, met[k], i, j);
                EXPECT_EQ(a, want.a);
                EXPECT_EQ((f & NearLines::kSeedB) != 0 ? b : kNoLine, want.b);
            }
            if ((f & NearLines::kSeedB) != 0) continue;  // takes nothing
            bool a_handed = (f & NearLines::kSeedA) != 0 || a == kNoLine, b_handed = b == kNoLine;
            for (int di = -1; di <= 1; ++di)
                for (int dj = -1; dj <= 1; ++dj) {
                    if (di == 0 && dj == 0) continue;
                    const int ni = i + di, nj = j + dj;
                    if (ni < 0 || nj < 0 || ni >= g.nb_lig() || nj >= g.nb_col()) continue;
                    const Handed h = handed(segs, g, met, i, j, ni, nj);
                    for (const LineKey c : h.key) {
                        if (c == kNoLine) continue;
                        ASSERT_FALSE(would_change(segs, a, b, c)) << "from " << ni << "," << nj;
                        a_handed |= c == a;
                        b_handed |= c == b;
                    }
                }
            // what a cell holds was handed to it (a line cell that dropped a
            // seed for a nearer level may hold what the seed handed on)
            if ((f & NearLines::kLine) == 0 || (f & NearLines::kSeedA) != 0) {
                EXPECT_TRUE(a_handed);
                EXPECT_TRUE(b_handed);
            }
        }
}

// The lines with every vertex on a quarter of a cell: on the lines through
// the cells' centres, on the ways between them, as contours drawn from a
// grid lie.
std::vector<Line> quartered(std::vector<Line> lines) {
    for (Line& l : lines)
        for (GridPoint& p : l.points) p = GridPoint{std::round(4 * p.i) / 4, std::round(4 * p.j) / 4};
    return lines;
}

TEST(NearestLines, EveryCellSettlesOnWhatTheRulesHandIt) {
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        const int rows = 3 + static_cast<int>(rng() % 30), cols = 3 + static_cast<int>(rng() % 30);
        const auto lines = random_lines(rng, rows, cols);
        Segments segs = segments_of(lines_of(round % 2 == 0 ? lines : quartered(lines)), GridPart::whole(rows, cols));
        std::vector<double> room;
        const auto g = nearest_lines(segs, false, room);
        SCOPED_TRACE(round);
        expect_settled(segs, *g);
        if (HasFatalFailure()) return;
    }
}

// Turned upside down, the drawing gives the surface upside down: nothing
// in the method (the halves of the rows, the sweeps' ways) leans one way.
TEST(SurfaceFill, AFlippedDrawingGivesTheFlippedSurface) {
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        const int rows = 3 + static_cast<int>(rng() % 30), cols = 3 + static_cast<int>(rng() % 30);
        std::vector<Line> lines = random_lines(rng, rows, cols), flipped = lines;
        for (Line& l : flipped)
            for (GridPoint& p : l.points) p.i = rows - 1 - p.i;
        const std::vector<double> z = filled(rows, cols, lines), zf = filled(rows, cols, flipped);
        SCOPED_TRACE(round);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                const double a = z[static_cast<std::size_t>(i * cols + j)], b = zf[static_cast<std::size_t>((rows - 1 - i) * cols + j)];
                ASSERT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(a))) << i << "," << j;
            }
    }
}

// The helpers' halves on the kept thread (or, where it is busy, on one of
// their own) give the one-thread fill to the bit, and what a half throws
// comes back where it is joined.
TEST(SurfaceFill, HelpersOnTheKeptThreadFillAsOneThread) {
    ASSERT_TRUE(keep_spare_thread());
    std::thread::id outer, inner, later;
    {
        Helper h([&] {
            outer = std::this_thread::get_id();
            Helper nested([&] { inner = std::this_thread::get_id(); });
            nested.join();
        });
        h.join();
    }
    { Helper h([&] { later = std::this_thread::get_id(); }); }  // waited for as it goes
    EXPECT_NE(outer, std::this_thread::get_id());
    EXPECT_EQ(later, outer);
    EXPECT_NE(inner, outer);
    EXPECT_NE(inner, std::thread::id());
    Helper failing([] { throw std::bad_alloc(); });
    EXPECT_THROW(failing.join(), std::bad_alloc);

    std::mt19937 rng(23);
    for (int round = 0; round < 3; ++round) {
        std::vector<Line> lines;
        for (int k = 0; k < 12; ++k) {
            const auto more = random_lines(rng, 300, 260);
            lines.insert(lines.end(), more.begin(), more.end());
        }
        const std::vector<double> one = filled(300, 260, lines, false), two = filled(300, 260, lines, true);
        ASSERT_EQ(0, std::memcmp(one.data(), two.data(), one.size() * sizeof(double))) << round;
    }
}

// Vertical lines at columns first, first + gap ... at the levels given.
std::vector<Line> parallel(int rows, const std::vector<double>& levels, double first, double gap) {
    std::vector<Line> lines;
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const double j = first + gap * static_cast<double>(k);
        lines.push_back(Line{{{-1.0, j}, {rows + 1.0, j}}, levels[k]});
    }
    return lines;
}

TEST(SurfaceFill, BandsBetweenLevelsKeepTheirShape) {
    // contours evenly apart: a plane, exactly, the cells on the lines included
    const int rows = 8, cols = 20;
    const std::vector<double> plane = filled(rows, cols, parallel(rows, {100, 110, 120, 130}, 2.5, 5.0));
    for (int i = 0; i < rows; ++i)
        for (int j = 3; j < 17; ++j)
            EXPECT_NEAR(plane[static_cast<std::size_t>(i * cols + j)], 100 + 2.0 * (j - 2.5), 1e-9) << i << "," << j;
    // bands that widen: rising all the way, from below the lowest contour
    // (the ground beyond it goes on down as the band next to it does; its
    // line, starting more than a cell beyond the grid, does not run on, and
    // its segment is the drawing's first), strictly between each two
    // levels, and no kink where they meet (the slope runs on across 110 and
    // 120 where a band's own slope would halve)
    const int wide = 170;
    std::vector<Line> widening;
    for (const auto& [j, v] : {std::pair{10.5, 100.0}, {30.5, 110.0}, {70.5, 120.0}, {150.5, 130.0}})
        widening.push_back(Line{{{-3, j}, {rows + 3, j}}, v});
    const std::vector<double> z = filled(rows, wide, widening);
    const auto at = [&](int j) { return z[static_cast<std::size_t>(4 * wide + j)]; };
    for (int j = 1; j < 151; ++j) {
        EXPECT_GT(at(j), at(j - 1)) << j;
        if (j < 11) continue;
        const double lo = j < 31 ? 100 : j < 71 ? 110 : 120;
        EXPECT_GT(at(j), lo) << j;
        EXPECT_LT(at(j), lo + 10) << j;
    }
    for (const int line : {30, 70}) {
        const double before = at(line) - at(line - 1), after = at(line + 2) - at(line + 1);
        EXPECT_LT(std::max(before, after) / std::min(before, after), 1.15) << line;
    }
    // bands that alternate narrow and wide (rough ground): the ground
    // leaves the contours of a narrow band faster than it crosses its
    // middle, where a smooth cubic would be steepest in the middle
    std::vector<Line> rough;
    for (const auto& [j, v] : {std::pair{10.5, 100.0}, {40.5, 110.0}, {50.5, 120.0}, {80.5, 130.0}, {90.5, 140.0}})
        rough.push_back(Line{{{-1, j}, {rows + 1, j}}, v});
    const std::vector<double> zr = filled(rows, 100, rough);
    const auto step = [&](int j) { return zr[static_cast<std::size_t>(4 * 100 + j)] - zr[static_cast<std::size_t>(4 * 100 + j - 1)]; };
    EXPECT_GT(std::min(step(42), step(50)), 1.2 * std::max(step(45), step(46)));
    // a ridge along a contour: level on top, the same both sides of it
    const std::vector<double> ridge = filled(rows, 60, parallel(rows, {100, 110, 100}, 10.5, 20.0));
    const auto r = [&](int j) { return ridge[static_cast<std::size_t>(4 * 60 + j)]; };
    for (int j = 11; j < 30; ++j) {
        EXPECT_NEAR(r(j), r(61 - j), 1e-9) << j;
        EXPECT_GT(r(j), r(j - 1)) << j;
    }
    EXPECT_LT(r(30) - r(29), 0.5 * (r(20) - r(19)));  // a kink would keep the band's slope, or steepen it
    // at the doubles' edge: a band from the lowest double to the highest,
    // higher than a double holds, still rises between them, every cell finite
    const std::vector<double> edge = filled(rows, 20, parallel(rows, {-DBL_MAX, DBL_MAX}, 2.5, 14.0));
    for (int j = 3; j < 17; ++j) {
        const double e = edge[static_cast<std::size_t>(4 * 20 + j)], before = edge[static_cast<std::size_t>(4 * 20 + j - 1)];
        EXPECT_TRUE(std::isfinite(e)) << j;
        if (j > 3) {
            EXPECT_GT(e, before) << j;
        }
    }
}

// A band's slope at a contour comes from the bands beyond it along a stretch
// of that contour about a band wide: 100 waves below a 110 and a 120 that
// run straight (their vertices a tenth of a cell off the line, each kept);
// where a second drawing brings 100 up to 110, far along the line, the
// cells well before it between 100 and 120 stay the same, bit for bit.
TEST(SurfaceFill, BandsTakeWhatLiesBeyondTheirContoursFromTheirOwnStretch) {
    const int rows = 30, cols = 240;
    const auto drawing = [&](bool far_change) {
        std::vector<Line> lines = {{{}, 100.0}, {{}, 110.0}, {{}, 120.0}};
        for (int j = -1, k = 0; j <= cols + 1; j += 4, ++k) {
            lines[0].points.push_back({far_change && j > 120 ? 14.0 : 5.0 + 2.0 * std::sin(j / 7.0), double(j)});
            lines[1].points.push_back({15.0 + (k % 2 == 0 ? 0.1 : -0.1), double(j)});
            lines[2].points.push_back({25.0 + (k % 2 == 0 ? 0.1 : -0.1), double(j)});
        }
        return filled(rows, cols, lines);
    };
    const std::vector<double> one = drawing(false), other = drawing(true);
    const auto at = [&](const std::vector<double>& z, int i, int j) { return z[static_cast<std::size_t>(i * cols + j)]; };
    for (int i = 8; i < 25; ++i)
        for (int j = 0; j < 60; ++j) ASSERT_EQ(at(one, i, j), at(other, i, j)) << i << "," << j;
    EXPECT_NE(at(one, 12, 200), at(other, 12, 200));
}

// Square rings around the grid's middle, each half-side r and level v.
std::vector<Line> rings(int n, const std::vector<std::pair<double, double>>& rv) {
    std::vector<Line> out;
    const double c = (n - 1) / 2.0;
    for (const auto& [r, v] : rv)
        out.push_back(Line{{{c - r, c - r}, {c - r, c + r}, {c + r, c + r}, {c + r, c - r}, {c - r, c - r}}, v});
    return out;
}

TEST(SurfaceFill, AreasOfOneLevelRiseSinkOrStayFlat) {
    const int n = 41;
    const auto cell = [&](const std::vector<double>& z, int i, int j) { return z[static_cast<std::size_t>(i * n + j)]; };
    // 110 inside 100: a top inside, rising from 110 and below 120; a hollow
    // outside, sinking from 100 and above 90, deepest at the corners
    SurfaceFill told;
    const std::vector<double> dome = filled(n, n, rings(n, {{16.5, 100}, {6.5, 110}}), true, &told);
    EXPECT_GT(told.domed, 0);
    EXPECT_EQ(told.flat + told.unreached, 0);
    EXPECT_GT(cell(dome, 20, 20), cell(dome, 20, 16));
    EXPECT_GT(cell(dome, 20, 16), 110);
    EXPECT_LT(cell(dome, 20, 20), 120);
    EXPECT_LT(cell(dome, 0, 0), cell(dome, 0, 20));
    EXPECT_LT(cell(dome, 0, 20), 100);
    EXPECT_GT(cell(dome, 0, 0), 90);
    // a top of one cell, in a ring that stays within it, rises as well
    EXPECT_GT(cell(filled(n, n, rings(n, {{16.5, 100}, {0.4, 110}})), 20, 20), 110);
    // the same levels the other way round: a hollow in the middle
    const std::vector<double> pit = filled(n, n, rings(n, {{16.5, 110}, {6.5, 100}}));
    EXPECT_LT(cell(pit, 20, 20), cell(pit, 20, 16));
    EXPECT_GT(cell(pit, 20, 20), 90);
    // one ring alone says nothing of the ground around it: flat; at -999,
    // the mark of a cell without an elevation, just above it
    for (const auto& [level, want] : {std::pair{100.0, 100.0}, {kE, kAboveNoElevation}}) {
        const std::vector<double> lone = filled(n, n, rings(n, {{10.5, level}}), true, &told);
        EXPECT_EQ(told.flat, n * n);
        EXPECT_TRUE(std::all_of(lone.begin(), lone.end(), [w = want](double v) { return v == w; })) << level;
    }
    // no line: nothing
    const std::vector<double> none = filled(n, n, {}, true, &told);
    EXPECT_EQ(told.unreached, n * n);
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](double v) { return v == kE; }));
}

TEST(SurfaceFill, LinesThatEndOrCrowdKeepTheirLevelsApart) {
    // a line of 110 close to 100 that stops a third of the way down runs on
    // to the grid's edge: below its end the ground is still 110 there, not
    // the band from 100 to 120 around its end
    const int rows = 30, cols = 20;
    std::vector<Line> lines = parallel(rows, {100}, 2.5, 1.0);
    lines.push_back(Line{{{-1, 17.5}, {rows + 1.0, 17.5}}, 120});
    lines.push_back(Line{{{-1, 5.0}, {10, 5.0}}, 110});
    const std::vector<double> z = filled(rows, cols, lines);
    const auto at = [&](int i, int j) { return z[static_cast<std::size_t>(i * cols + j)]; };
    EXPECT_NEAR(at(25, 5), 110, 0.5);
    EXPECT_LT(at(25, 4), 110);
    EXPECT_GT(at(25, 6), 110);
    // an end runs on to the first cell of another line, not a cell further:
    // from row 8 down to the line of 120 across rows 14 and 15
    Segments segs = segments_of(lines_of({Line{{{-1, 10}, {8, 10}}, 100}, Line{{{14.5, -1}, {14.5, 21}}, 120}}), GridPart::whole(20, 20));
    std::vector<double> room;
    nearest_lines(segs, false, room);
    const auto on = std::find_if(segs.all.begin(), segs.all.end(), [](const Segment& g) { return g.i0 == 8.0; });
    ASSERT_NE(on, segs.all.end());
    EXPECT_TRUE(on->i0 + on->di >= 13.0 && on->i0 + on->di < 14.0) << on->i0 + on->di;
    // and to the grid's edge, half a cell past the last centre, where no line stops it
    Segments alone = segments_of(lines_of({Line{{{5, -1}, {5, 10}}, 100}}), GridPart::whole(20, 20));
    nearest_lines(alone, false, room);
    EXPECT_EQ(alone.all.back().j0 + alone.all.back().dj, 20.0);
    // a straight line whose level changes keeps the vertex where it changes
    ContourLines mixed;
    for (const auto& [j, v] : {std::pair{-1.0, 100.0}, {10.0, 100.0}, {21.0, 110.0}}) mixed.vertex(GridPoint{5, j}, v, j < 0);
    const Segments m = segments_of(mixed, GridPart::whole(20, 20));
    EXPECT_TRUE(std::any_of(m.all.begin(), m.all.end(),
                            [&](const Segment& g) { return g.j0 + g.dj == 10.0 && m.levels[g.level] == 100.0; }));
    // an end of no length (a vertex given twice, the level changing between) runs on nowhere
    ContourLines twice;
    for (const auto& [j, v] : {std::pair{8.0, 100.0}, {8.0, 110.0}, {12.0, 120.0}}) twice.vertex(GridPoint{5, j}, v, v == 100.0);
    std::vector<double> z2(400, kE);
    EXPECT_TRUE(fill_surface(z2, GridPart::whole(20, 20), std::move(twice), false));
    // polylines of one vertex make no segment, however many
    ContourLines lone;
    for (int k = 0; k < 3; ++k) lone.vertex(GridPoint{5.0 * k, 5}, 100, true);
    const auto r = fill_surface(z2, GridPart::whole(20, 20), std::move(lone), false);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->unreached, 400);
    // two levels within one column of cells, between 90 and 120 further
    // off: no cell left of both rises above 100, none right of both sinks
    // below 110, and the ground rises all the way across
    const std::vector<Line> close = {Line{{{-1, 0.5}, {9, 0.5}}, 90}, Line{{{-1, 5.2}, {9, 5.2}}, 100},
                                     Line{{{-1, 5.6}, {9, 5.6}}, 110}, Line{{{-1, 12.5}, {9, 12.5}}, 120}};
    const std::vector<double> c = filled(8, 14, close);
    for (int i = 0; i < 8; ++i)
        for (int j = 1; j < 13; ++j) {
            const double v = c[static_cast<std::size_t>(i * 14 + j)];
            EXPECT_GT(v, c[static_cast<std::size_t>(i * 14 + j - 1)]) << i << "," << j;
            EXPECT_TRUE(j <= 5 ? v <= 100 : v >= 110) << i << "," << j << ": " << v;
        }
    // a ridge of 200 narrower than a cell between two lines of 100: its
    // cells hand 200 past neither, so the ground either side stays below 100
    std::vector<Line> ridge;
    for (const auto& [j, v] : {std::pair{1.5, 0.0}, {8.7, 100.0}, {9.0, 200.0}, {9.3, 100.0}})
        ridge.push_back(Line{{{-1.0, j}, {9.0, j}}, v});
    const std::vector<double> z3 = filled(8, 14, ridge);
    for (int i = 0; i < 8; ++i)
        for (const int j : {2, 5, 8, 10, 13}) EXPECT_LT(z3[static_cast<std::size_t>(i * 14 + j)], 100) << i << "," << j;
}

// The segments kept of a polyline: a vertex within 1/32 of a cell of the
// line from the kept one before it is left out, at most 16 in a row, never
// an end, one where the level changes or one farther off.
TEST(SurfaceFill, SegmentsLeaveOutOnlyVerticesOnTheLine) {
    std::vector<GridPoint> straight;
    for (int k = 0; k <= 100; ++k) straight.push_back(GridPoint{5.0, 5.0 + 0.5 * k});
    const auto kept = [&](const std::vector<Line>& lines) { return segments_of(lines_of(lines), GridPart::whole(10, 60)).all; };
    EXPECT_EQ(kept({{straight, 100}}).size(), 7u);  // from 0, 16 ... 96 to 100
    // a line back to where it was: what lies within 1/32 of that point is left out, not what lies beyond; nor
    // a spur that turns back along the line (1, 3 and 2 segments)
    EXPECT_EQ(kept({{{{5, 5}, {5.02, 5.02}, {5, 5}, {8, 9}}, 100}, {{{5, 5}, {5.03, 5.03}, {5, 5}, {8, 9}}, 100},
                    {{{5, 5}, {5, 20}, {5.001, 10}}, 100}})
                  .size(),
              6u);
    ContourLines two;  // the segments after vertex 50 at 110
    for (std::size_t k = 0; k < straight.size(); ++k) two.vertex(straight[k], k <= 50 ? 100 : 110, k == 0);
    EXPECT_EQ(segments_of(two, GridPart::whole(10, 60)).all.size(), 8u);  // and from 48 to 50
    // a line wholly beyond reach (2^40 cells off) gives no segment, nor an
    // end to run on, first among the lines or last
    const Line far{{{1e13, 5}, {1e13, 20}}, 100}, near_line{{{5, 5}, {5, 20}}, 110};
    for (const std::vector<Line>& drawing : {std::vector<Line>{far, near_line}, std::vector<Line>{near_line, far}}) {
        const Segments s = segments_of(lines_of(drawing), GridPart::whole(10, 60));
        EXPECT_EQ(s.all.size(), 1u);
        ASSERT_EQ(s.ends.size(), 2u);  // the near line's, both short of the edge
        EXPECT_TRUE(s.ends[0].segment == 0 && s.ends[1].segment == 0);
    }
    straight[40].i += 0.04;
    const auto bent = kept({{straight, 100}});
    EXPECT_TRUE(std::any_of(bent.begin(), bent.end(), [](const Segment& g) { return g.i0 == 5.04 && g.j0 == 25.0; }));
    // many lines are cut on two threads into the very same segments
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> at(-2.0, 62.0);
    ContourLines many;
    for (int l = 0; l < 200; ++l)
        for (int k = 0; k < 400; ++k) many.vertex({at(rng), at(rng)}, 100.0 + 10.0 * (l % 7), k == 0);
    const Segments one = segments_of(many, GridPart::whole(60, 60)), halves = segments_of(many, GridPart::whole(60, 60), true);
    ASSERT_EQ(one.all.size(), halves.all.size());
    for (std::size_t k = 0; k < one.all.size(); ++k) {
        const Segment &a = one.all[k], &b = halves.all[k];
        ASSERT_TRUE(a.i0 == b.i0 && a.j0 == b.j0 && a.di == b.di && a.dj == b.dj && a.arc == b.arc && a.level == b.level &&
                    a.line == b.line)
            << k;
    }
    ASSERT_EQ(one.ends.size(), halves.ends.size());
    for (std::size_t k = 0; k < one.ends.size(); ++k)
        EXPECT_TRUE(one.ends[k].segment == halves.ends[k].segment && one.ends[k].at_start == halves.ends[k].at_start) << k;
    EXPECT_EQ(one.levels, halves.levels);
    EXPECT_EQ(one.lines, halves.lines);
}

// Terrain as contours drawn from a grid lie: hills and pits of nested
// rings, each a level up or down from the one around it (tops, hollows, a
// flat between rings of one level), and lines from one edge of the grid to
// another, ending within a cell beyond it, or stopping short of it.
std::vector<Line> random_terrain(std::mt19937& rng, int rows, int cols) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<Line> lines;
    const auto level = [&] { return 100.0 + 10.0 * static_cast<double>(rng() % 4); };
    for (int hill = static_cast<int>(rng() % 5); hill > 0; --hill) {
        const double ci = u(rng) * rows, cj = u(rng) * cols, step = rng() % 3 == 0 ? 0.0 : rng() % 2 == 0 ? 10.0 : -10.0;
        double v = level();
        for (double r = 2.0 + 8.0 * u(rng); r > 1.0; r -= 1.5 + 4.0 * u(rng), v += step) {
            Line l{{}, v};
            const int n = 6 + static_cast<int>(rng() % 10);
            for (int k = 0; k < n; ++k) {
                const double t = 2 * M_PI * k / n, rr = r * (0.8 + 0.4 * u(rng));
                l.points.push_back(GridPoint{ci + rr * std::sin(t), cj + rr * std::cos(t)});
            }
            l.points.push_back(l.points.front());
            lines.push_back(l);
        }
    }
    // a point within a cell beyond edge e (0 top, 1 bottom, 2 left, 3 right)
    const auto beyond = [&](unsigned e) {
        const double off = -0.5 - 0.4 * u(rng);
        if (e < 2) return GridPoint{e == 0 ? off : rows - 1 - off, u(rng) * (cols - 1)};
        return GridPoint{u(rng) * (rows - 1), e == 2 ? off : cols - 1 - off};
    };
    for (int across = 1 + static_cast<int>(rng() % 6); across > 0; --across) {
        const unsigned from = rng() % 4, to = (from + 1 + rng() % 3) % 4;
        Line l{{beyond(from)}, level()};
        for (int k = static_cast<int>(rng() % 4); k > 0; --k) l.points.push_back(GridPoint{u(rng) * rows, u(rng) * cols});
        // now and then a line that stops short, inside the grid: it runs on
        if (rng() % 3 != 0) l.points.push_back(beyond(to));
        lines.push_back(l);
    }
    // a vertex about every cell, a little off the straight way, as traced contours have
    for (Line& l : lines) {
        std::vector<GridPoint> dense{l.points.front()};
        for (std::size_t k = 1; k < l.points.size(); ++k) {
            const GridPoint p = l.points[k - 1], q = l.points[k];
            const int n = 1 + static_cast<int>(std::hypot(q.i - p.i, q.j - p.j));
            for (int m = 1; m < n; ++m)
                dense.push_back(GridPoint{p.i + (q.i - p.i) * m / n + 0.3 * (u(rng) - 0.5), p.j + (q.j - p.j) * m / n + 0.3 * (u(rng) - 0.5)});
            dense.push_back(q);
        }
        l.points = dense;
    }
    return lines;
}

// A part of the grid with a margin around the cells it keeps fills them as
// the whole grid does, to the last bit, or counts those it cannot vouch
// for; a margin wide enough vouches for most. With the table the whole
// grid's fill made for it (its ring's keys, the segments they name), the
// window and its ring, or a wider part, vouch for every cell, however far
// its levels and areas spread; a table of other lines, or one short of a
// segment its ring names, vouches for none.
TEST(SurfaceFill, APartFillsTheCellsItKeepsAsTheWholeGridOrSaysSo) {
    std::mt19937 rng(3);
    std::mt19937 pick(4);  // apart from rng, whose terrains and parts stay those of every run before
    int vouched = 0, tried = 0, short_of_ring = 0, reached_far = 0, narrowed = 0;
    for (int round = 0; round < (test::kSanitized ? 100 : 300); ++round) {
        const int rows = 16 + static_cast<int>(rng() % 60), cols = 16 + static_cast<int>(rng() % 60);
        const auto lines = random_terrain(rng, rows, cols);
        const int h = 1 + static_cast<int>(rng() % static_cast<unsigned>(rows / 2)), w = 1 + static_cast<int>(rng() % static_cast<unsigned>(cols / 2));
        const int i = static_cast<int>(rng() % static_cast<unsigned>(rows - h + 1)), j = static_cast<int>(rng() % static_cast<unsigned>(cols - w + 1));
        std::vector<double> whole;
        std::vector<WindowTable> tables;
        const FillTables make{[&](int, int) {
                                  WindowTable t;
                                  t.i0 = i, t.j0 = j, t.nb_lig = h, t.nb_col = w;
                                  return std::vector<WindowTable>{t};
                              },
                              &tables};
        ASSERT_TRUE(fill_surface(whole, GridPart::whole(rows, cols), lines_of(lines), false, nullptr, make));
        ASSERT_EQ(tables.size(), 1u);
        const int margin = 8 + static_cast<int>(rng() % 48);
        for (const bool table : {false, true}) {
            // with its table, the window and its ring alone, or a wider part
            const int m = table ? (round % 3 == 0 ? std::max(2, margin / 4) : tables[0].margin) : margin;
            const int pi = std::max(0, i - m), pj = std::max(0, j - m);
            const GridPart part{rows, cols, pi, pj, std::min(rows, i + h + m) - pi, std::min(cols, j + w + m) - pj};
            if (part.nb_lig == rows && part.nb_col == cols) continue;  // the whole grid, told apart here
            const KeptCells keep{i - pi, j - pj, h, w};
            const FillTables given{{}, nullptr, table ? &tables[0] : nullptr};
            std::vector<double> z;
            const auto r = fill_surface(z, part, lines_of(lines), round % 2 == 0, &keep, given);
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->between + r->domed + r->flat + r->unreached, static_cast<long long>(h) * w);  // the kept cells alone
            tried += !table;
            if (table) {
                ASSERT_EQ(r->unsure, 0) << round;
                // the lines whose box meets the part's alone, as a spatial filter reads them
                // for a window of the table's margin: the same cells
                std::vector<Line> near;
                for (const Line& l : lines) {
                    const auto [i_lo, i_hi] = std::minmax_element(l.points.begin(), l.points.end(), [](auto& x, auto& y) { return x.i < y.i; });
                    const auto [j_lo, j_hi] = std::minmax_element(l.points.begin(), l.points.end(), [](auto& x, auto& y) { return x.j < y.j; });
                    if (m > tables[0].margin ||
                        (i_hi->i > pi - 1 && i_lo->i < pi + part.nb_lig && j_hi->j > pj - 1 && j_lo->j < pj + part.nb_col))
                        near.push_back(l);
                }
                narrowed += near.size() < lines.size();
                std::vector<double> alone;
                const auto r_near = fill_surface(alone, part, lines_of(near), false, &keep, given);
                ASSERT_EQ(r_near->unsure, 0) << round;
                ASSERT_EQ(std::memcmp(alone.data(), z.data(), z.size() * sizeof(double)), 0) << round;
                // the table of other lines: one with a vertex in the window
                // or its ring moved by a quarter of a cell (as many segments), or left out
                const auto inside = std::find_if(near.begin(), near.end(), [&](const Line& l) {
                    return std::any_of(l.points.begin(), l.points.end(), [&](const GridPoint& p) {
                        return p.i > i - 1 && p.i < i + h && p.j > j - 1 && p.j < j + w;
                    });
                });
                if (round % 5 == 0 && inside != near.end()) {
                    std::vector<Line> other_lines = near;
                    Line& moved = other_lines[static_cast<std::size_t>(inside - near.begin())];
                    if (round % 10 == 0)
                        other_lines.erase(other_lines.begin() + (inside - near.begin()));
                    else
                        for (GridPoint& p : moved.points) p.j += 0.25;
                    std::vector<double> other;
                    const auto refused = fill_surface(other, part, lines_of(other_lines), false, &keep, given);
                    EXPECT_EQ(refused->unsure, static_cast<long long>(h) * w) << round;
                }
            } else if (r->unsure > 0) {
                continue;
            }
            vouched += !table;
            SCOPED_TRACE(testing::Message() << round << (table ? " with its table" : ""));
            for (int a = 0; a < h; ++a)
                for (int b = 0; b < w; ++b) {
                    const double x = z[static_cast<std::size_t>((keep.i0 + a) * part.nb_col + keep.j0 + b)];
                    const double y = whole[static_cast<std::size_t>((i + a) * cols + j + b)];
                    ASSERT_EQ(std::memcmp(&x, &y, sizeof x), 0) << i + a << "," << j + b << ": " << x << " " << y;
                }
        }
        // a ring that reaches the window from a segment the table does not give vouches for none of its cells
        if (!tables[0].reached.empty()) {
            WindowTable short_of_one = tables[0];
            short_of_one.reached.erase(short_of_one.reached.begin() + static_cast<std::ptrdiff_t>(pick() % short_of_one.reached.size()));
            const GridPart part = table_part(tables[0], rows, cols);
            const KeptCells keep{i - part.i0, j - part.j0, h, w};
            std::vector<double> z;
            short_of_ring += fill_surface(z, part, lines_of(lines), false, &keep, FillTables{{}, nullptr, &short_of_one})->unsure ==
                             static_cast<long long>(h) * w;
            ++reached_far;
        }
    }
    EXPECT_GT(vouched, tried / 10) << vouched << " of " << tried;
    EXPECT_GT(narrowed, 10);
    EXPECT_EQ(short_of_ring, reached_far);
    EXPECT_GT(reached_far, 10);
    // a grid large enough for two threads makes every window's table as one thread does
    const int rows = 300, cols = 260;
    const auto lines = random_terrain(rng, rows, cols);
    const FillTables::Windows quarters = [](int r, int c) {
        std::vector<WindowTable> q(4);
        for (int n = 0; n < 4; ++n) {
            WindowTable& t = q[static_cast<std::size_t>(n)];
            t.i0 = n / 2 * (r / 2), t.j0 = n % 2 * (c / 2), t.nb_lig = r / 2, t.nb_col = c / 2;
        }
        return q;
    };
    std::string made[2];
    for (const bool two : {false, true}) {
        std::vector<double> z;
        std::vector<WindowTable> tables;
        ASSERT_TRUE(fill_surface(z, GridPart::whole(rows, cols), lines_of(lines), two, nullptr, FillTables{quarters, &tables}));
        made[two] = encode_tables(tables);
    }
    EXPECT_EQ(made[0], made[1]);
    // and strip by strip, without the whole grid's fill
    std::vector<WindowTable> strips = quarters(rows, cols);
    tabulate_by_strips(lines_of(lines), rows, cols, strips, true);
    EXPECT_TRUE(encode_tables(strips) == made[0]);
}

// Strip by strip, the tables are the whole grid's fill's, bit for bit,
// whatever the windows: levels that spread across many strips, areas that
// meet again strips later (a ring about a hilltop), windows of a cell.
TEST(SurfaceFill, StripsMakeTheWholeGridsTables) {
    std::mt19937 rng(29);
    for (int round = 0; round < (test::kSanitized ? 40 : 150); ++round) {
        const int rows = 8 + static_cast<int>(rng() % 60), cols = 8 + static_cast<int>(rng() % 60);
        const auto lines = random_terrain(rng, rows, cols);
        const int h = 1 + static_cast<int>(rng() % 12), w = 1 + static_cast<int>(rng() % 30);
        const FillTables::Windows tiles = [h, w](int r, int c) {
            std::vector<WindowTable> ts;
            for (int i = 0; i < r; i += h)
                for (int j = 0; j < c; j += w) {
                    WindowTable t;
                    t.i0 = i, t.j0 = j, t.nb_lig = std::min(h, r - i), t.nb_col = std::min(w, c - j);
                    ts.push_back(t);
                }
            return ts;
        };
        std::vector<double> z;
        std::vector<WindowTable> whole;
        ASSERT_TRUE(fill_surface(z, GridPart::whole(rows, cols), lines_of(lines), false, nullptr, FillTables{tiles, &whole}));
        std::vector<WindowTable> strips = tiles(rows, cols);
        tabulate_by_strips(lines_of(lines), rows, cols, strips, round % 2 == 0);
        ASSERT_TRUE(encode_tables(strips) == encode_tables(whole)) << round << ": " << rows << " x " << cols << ", windows " << h << " x " << w;
    }
}

// The indexes of the segments: the squares a plan finds a window's segments
// by hold every segment that meets a part, a part's edge on a square's edge
// or a cell either side; the blocks a run-on looks beyond a part by give
// each cell the line of the nearest segment that meets it, run-ons added
// later included.
TEST(SurfaceFill, IndexesFindEverySegmentThatMeetsAPartOrACell) {
    std::mt19937 rng(5);
    const int rows = 130, cols = 100;
    const auto at = [&](int n) { return static_cast<double>(rng() % static_cast<unsigned>(4 * n + 16)) / 4 - 2; };
    std::vector<Line> lines;
    for (int n = 0; n < 600; ++n) {
        const double i = at(rows), j = at(cols), reach = n % 8 == 0 ? 40 : 3;
        lines.push_back(Line{{{i, j}, {i + reach * (at(1) - 0.5), j + reach * (at(1) - 0.5)}}, 100.0 + n % 3 * 10});
    }
    const Segments segs = segments_of(lines_of(lines), GridPart::whole(rows, cols));
    const SegmentSquares squares(segs);
    const auto edge = [&](int n) { return std::clamp(32 * static_cast<int>(rng() % 4) + static_cast<int>(rng() % 3) - 1, 0, n - 1); };
    for (int round = 0; round < 300; ++round) {
        const int i0 = edge(rows), j0 = edge(cols);
        const int i1 = std::max(i0, std::min(rows - 1, edge(rows) + 32)), j1 = std::max(j0, std::min(cols - 1, edge(cols) + 32));
        const std::vector<std::uint32_t> near = squares.near(GridPart{rows, cols, i0, j0, i1 - i0 + 1, j1 - j0 + 1});
        for (std::uint32_t s = 0; s < segs.all.size(); ++s) {
            bool met = false;
            crossed_cells_within(segs, s, i0, i1, j0, j1, [&](int, int) { met = true; });
            ASSERT_TRUE(!met || std::binary_search(near.begin(), near.end(), s)) << round << ": " << s;
        }
    }
    // a grid of many blocks, with lines across the whole of it and past its
    // edges, and run-ons added after the index is made
    const int tall = 300, wide = 230;
    std::vector<Line> across = lines;
    for (int n = 0; n < 40; ++n)
        across.push_back(Line{{{at(tall) * 1.2 - 20, -5 + n % 2 * (wide + 10.0)}, {at(tall), wide / 2.0 + at(40)}, {at(tall), wide - at(20)}}, 120.0});
    Segments more = segments_of(lines_of(across), GridPart::whole(tall, wide));
    LinesBeyond beyond(more);
    for (int n = 0; n < 30; ++n) {
        const double i = at(tall), j = at(wide), reach = n % 3 == 0 ? 150 : 6;
        more.all.push_back(Segment{i, j, reach * (at(1) - 0.5), reach * (at(1) - 0.5), 0.0, 0, more.lines + static_cast<std::uint32_t>(n)});
        beyond.add(static_cast<std::uint32_t>(more.all.size() - 1));
    }
    // every cell: the nearest segment that meets it, each segment's cells walked
    std::vector<LineKey> nearest(static_cast<std::size_t>(tall) * wide, kNoLine);
    for (std::uint32_t s = 0; s < more.all.size(); ++s)
        crossed_cells(more, s, [&](int i, int j) {
            LineKey& k = nearest[static_cast<std::size_t>(i) * wide + static_cast<std::size_t>(j)];
            k = std::min(k, line_key(more.distance(s, i, j), s));
        });
    int found = 0;
    for (int r = -1; r <= tall; ++r)
        for (int c = -1; c <= wide; ++c) {
            const bool in = r >= 0 && c >= 0 && r < tall && c < wide;
            const LineKey k = in ? nearest[static_cast<std::size_t>(r) * wide + static_cast<std::size_t>(c)] : kNoLine;
            const std::optional<std::uint32_t> want = k == kNoLine ? std::nullopt : std::optional{more.all[segment_of(k)].line};
            ASSERT_EQ(beyond.line_at(r, c), want) << r << "," << c;
            found += want.has_value();
        }
    EXPECT_GT(found, tall * wide / 5);
}

}  // namespace
}  // namespace zorvel

// The contour lines' segments as the terrain fill measures them: each at
// its level, with the distance from a cell's centre to it, the side of it a
// centre lies on, and the cells it crosses.
#ifndef ZORVEL_SEGMENTS_H
#define ZORVEL_SEGMENTS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/contour_lines.h"

namespace zorvel {

// A segment from (i0, j0) to (i0 + di, j0 + dj), in cells of the grid filled.
struct Segment {
    double i0, j0, di, dj;
    double arc;           // how far along its polyline it starts, in cells
    std::uint32_t level;  // its level's code: the levels in ascending order
    std::uint32_t line;   // the polyline it belongs to
};

// An end of an open polyline short of the grid's edge: the segment that
// ends it, and whether at its start.
struct End {
    std::uint32_t segment;
    bool at_start;
};

// The segments of the lines, their levels and polylines.
struct Segments {
    std::vector<Segment> all;
    std::vector<End> ends;
    std::vector<double> levels;  // the distinct levels, ascending
    std::uint32_t lines = 0;     // polylines with a segment

    // The distance from the centre of cell (i, j) to segment s, in cells.
    double distance(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        const double pi = i - g.i0, pj = j - g.j0;
        const double len2 = g.di * g.di + g.dj * g.dj;
        double t = len2 > 0.0 ? (pi * g.di + pj * g.dj) / len2 : 0.0;
        t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
        const double ei = pi - t * g.di, ej = pj - t * g.dj;
        return std::sqrt(ei * ei + ej * ej);
    }
    // The point of segment s nearest to (i, j).
    GridPoint nearest_point(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        const double len2 = g.di * g.di + g.dj * g.dj;
        double t = len2 > 0.0 ? ((i - g.i0) * g.di + (j - g.j0) * g.dj) / len2 : 0.0;
        t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
        return GridPoint{g.i0 + t * g.di, g.j0 + t * g.dj};
    }
    // How far along its polyline is the point of segment s nearest to (i, j).
    double arc_at(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        const double len2 = g.di * g.di + g.dj * g.dj;
        double t = len2 > 0.0 ? ((i - g.i0) * g.di + (j - g.j0) * g.dj) / len2 : 0.0;
        t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
        return g.arc + t * std::sqrt(len2);
    }
    // The side of segment s's line that (i, j) lies on: 1 or 0 (0 on the line too).
    int side(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        return g.di * (j - g.j0) - g.dj * (i - g.i0) > 0.0 ? 1 : 0;
    }
    // Whether (i1, j1) lies on the same side of segment s's line as (i0, j0)
    // (a point on the line is on both).
    bool same_side(std::uint32_t s, double i0, double j0, double i1, double j1) const {
        const Segment& g = all[s];
        const double a = g.di * (j0 - g.j0) - g.dj * (i0 - g.i0);
        const double b = g.di * (j1 - g.j0) - g.dj * (i1 - g.i0);
        return !((a > 0.0 && b < 0.0) || (a < 0.0 && b > 0.0));
    }
    double level_of(std::uint32_t s) const { return levels[all[s].level]; }
};

// Narrows [from, to] to the values of t for which p + t d lies from lo to
// hi; whether any is left.
inline bool clip(double p, double d, double lo, double hi, double& from, double& to) {
    if (d == 0.0) return p >= lo && p <= hi;
    double a = (lo - p) / d, b = (hi - p) / d;
    if (a > b) std::swap(a, b);
    from = std::max(from, a);
    to = std::min(to, b);
    return from <= to;
}

// The segments of the lines, placed in a grid of nb_lig rows and nb_col
// columns whose cell (0, 0) is the lines' cell (i0, j0): those with a vertex
// or level that is not finite left out, as their drawing leaves them, and
// of each the part more than 2^40 cells from the grid; a line that ends
// within a cell of the grid's edge runs on beyond it. On two threads when
// `two_threads` and the lines are many; the segments are the same.
Segments segments_of(const ContourLines& lines, int nb_lig, int nb_col, int i0, int j0, bool two_threads = false);

// Calls cell(i, j) for every cell of the grid whose square, edges and
// corners included (and a hair more), segment s meets: a step from cell to
// cell, diagonal ones too, crosses the segment only through one of them.
// Only the rows from `first` to before `last` when given.
template <typename Cell>
void crossed_cells(const Segments& segs, std::uint32_t s, int nb_lig, int nb_col, Cell&& cell, int first = 0,
                   int last = -1) {
    constexpr double kHair = 1e-9;  // rounding never leaves a touched square out
    const Segment& g = segs.all[s];
    // the part of the segment, t from t0 to t1, within the grid
    double t0 = 0.0, t1 = 1.0;
    if (!clip(g.i0, g.di, -0.5 - kHair, nb_lig - 0.5 + kHair, t0, t1) ||
        !clip(g.j0, g.dj, -0.5 - kHair, nb_col - 0.5 + kHair, t0, t1))
        return;
    // a row or column in doubles, as an int from lo to hi: rounding may put
    // the ends of a long segment's part in the grid far outside it
    const auto bounded = [](double x, int lo, int hi) { return x >= hi ? hi : x >= lo ? static_cast<int>(x) : lo; };
    const int last_row = (last < 0 ? nb_lig : last) - 1;
    const double ia = g.i0 + t0 * g.di, ib = g.i0 + t1 * g.di;
    const int r_lo = bounded(std::ceil(std::min(ia, ib) - 0.5 - kHair), first, last_row + 1);
    const int r_hi = bounded(std::floor(std::max(ia, ib) + 0.5 + kHair), first - 1, last_row);
    for (int r = r_lo; r <= r_hi; ++r) {
        // the part within the row's strip, and the columns it spans
        double u0 = t0, u1 = t1;
        if (!clip(g.i0, g.di, r - 0.5 - kHair, r + 0.5 + kHair, u0, u1)) continue;
        const double ja = g.j0 + u0 * g.dj, jb = g.j0 + u1 * g.dj;
        const int c_lo = bounded(std::ceil(std::min(ja, jb) - 0.5 - kHair), 0, nb_col);
        const int c_hi = bounded(std::floor(std::max(ja, jb) + 0.5 + kHair), -1, nb_col - 1);
        for (int c = c_lo; c <= c_hi; ++c) cell(r, c);
    }
}

}  // namespace zorvel

#endif

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

// A segment from (i0, j0) to (i0 + di, j0 + dj), in cells of the grid the
// lines lie in (the whole grid, also where the fill works on a window of it).
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

// The part of a grid the fill works on: rows i0..i0+nb_lig-1 and columns
// j0..j0+nb_col-1 of a grid of `rows` rows and `cols` columns.
struct GridPart {
    int rows = 0, cols = 0;
    int i0 = 0, j0 = 0, nb_lig = 0, nb_col = 0;
    static GridPart whole(int rows, int cols) { return GridPart{rows, cols, 0, 0, rows, cols}; }
    bool is_whole() const { return i0 == 0 && j0 == 0 && nb_lig == rows && nb_col == cols; }
};

// The segments of the lines, their levels and polylines. Their cells are
// counted from the part's first: cell (i, j) is the grid's (i + i0, j + j0),
// whose centre every measure takes in the grid's own numbers, so that a
// part gives a cell the same distances, to the last bit, as the whole.
struct Segments {
    std::vector<Segment> all;
    std::vector<End> ends;
    std::vector<double> levels;  // the distinct levels, ascending
    std::uint32_t lines = 0;     // polylines with a segment
    std::size_t drawn = 0;       // the lines' own, the first of all (run-ons follow)
    GridPart part;
    // Where a part keeps only the segments that meet its cells: the ends
    // have run on already, each kept segment's number among all of them
    // (ascending) and how many all were.
    bool ran_on = false;
    std::vector<std::uint32_t> numbers;
    std::uint64_t of_all = 0;

    // The centre of cell (i, j), in the grid's numbers.
    GridPoint centre(double i, double j) const { return GridPoint{i + part.i0, j + part.j0}; }
    // The distance from the centre of cell (i, j) to segment s, in cells.
    double distance(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        const double pi = (i + part.i0) - g.i0, pj = (j + part.j0) - g.j0;
        const double len2 = g.di * g.di + g.dj * g.dj;
        double t = len2 > 0.0 ? (pi * g.di + pj * g.dj) / len2 : 0.0;
        t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
        const double ei = pi - t * g.di, ej = pj - t * g.dj;
        return std::sqrt(ei * ei + ej * ej);
    }
    // The point of segment s nearest to the centre of cell (i, j), in the grid's numbers.
    GridPoint nearest_point(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        const GridPoint c = centre(i, j);
        const double len2 = g.di * g.di + g.dj * g.dj;
        double t = len2 > 0.0 ? ((c.i - g.i0) * g.di + (c.j - g.j0) * g.dj) / len2 : 0.0;
        t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
        return GridPoint{g.i0 + t * g.di, g.j0 + t * g.dj};
    }
    // The side of segment s's line that the centre of (i, j) lies on: 1 or 0 (0 on the line too).
    int side(std::uint32_t s, double i, double j) const {
        const Segment& g = all[s];
        return g.di * ((j + part.j0) - g.j0) - g.dj * ((i + part.i0) - g.i0) > 0.0 ? 1 : 0;
    }
    // Whether q lies on the same side of segment s's line as p, both in
    // the grid's numbers (a point on the line is on both).
    bool same_side(std::uint32_t s, const GridPoint& p, const GridPoint& q) const {
        const Segment& g = all[s];
        const double a = g.di * (p.j - g.j0) - g.dj * (p.i - g.i0);
        const double b = g.di * (q.j - g.j0) - g.dj * (q.i - g.i0);
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

// The segments of the lines, placed in the grid of `part` (the lines' own
// cells) and counted from the part's first cell: those with a vertex or
// level that is not finite left out, as their drawing leaves them, and of
// each the part more than 2^40 cells from the grid; a line that ends within
// a cell of the grid's edge runs on beyond it. On two threads when
// `two_threads` and the lines are many; the segments are the same.
Segments segments_of(const ContourLines& lines, const GridPart& part, bool two_threads = false);

// Calls cell(r, c) for every cell of the grid, rows first_row..last_row and
// columns first_col..last_col (in the grid's numbers), whose square, edges
// and corners included (and a hair more), segment s meets: a step from cell
// to cell, diagonal ones too, crosses the segment only through one of them.
// Whether a cell is met does not depend on the rows and columns asked.
template <typename Cell>
void crossed_cells_within(const Segments& segs, std::uint32_t s, int first_row, int last_row, int first_col,
                          int last_col, Cell&& cell) {
    constexpr double kHair = 1e-9;  // rounding never leaves a touched square out
    const Segment& g = segs.all[s];
    // the part of the segment, t from t0 to t1, within the grid
    double t0 = 0.0, t1 = 1.0;
    if (!clip(g.i0, g.di, -0.5 - kHair, segs.part.rows - 0.5 + kHair, t0, t1) ||
        !clip(g.j0, g.dj, -0.5 - kHair, segs.part.cols - 0.5 + kHair, t0, t1))
        return;
    // a row or column in doubles, as an int from lo to hi: rounding may put
    // the ends of a long segment's part in the grid far outside it
    const auto bounded = [](double x, int lo, int hi) { return x >= hi ? hi : x >= lo ? static_cast<int>(x) : lo; };
    const double ia = g.i0 + t0 * g.di, ib = g.i0 + t1 * g.di;
    const int r_lo = bounded(std::ceil(std::min(ia, ib) - 0.5 - kHair), first_row, last_row + 1);
    const int r_hi = bounded(std::floor(std::max(ia, ib) + 0.5 + kHair), first_row - 1, last_row);
    for (int r = r_lo; r <= r_hi; ++r) {
        // the part within the row's strip, and the columns it spans
        double u0 = t0, u1 = t1;
        if (!clip(g.i0, g.di, r - 0.5 - kHair, r + 0.5 + kHair, u0, u1)) continue;
        const double ja = g.j0 + u0 * g.dj, jb = g.j0 + u1 * g.dj;
        const int c_lo = bounded(std::ceil(std::min(ja, jb) - 0.5 - kHair), first_col, last_col + 1);
        const int c_hi = bounded(std::floor(std::max(ja, jb) + 0.5 + kHair), first_col - 1, last_col);
        for (int c = c_lo; c <= c_hi; ++c) cell(r, c);
    }
}

// Calls cell(i, j) for every cell of the part that segment s meets (as
// crossed_cells_within says), counted from the part's first; only the
// part's rows from `first` to before `last` when given.
template <typename Cell>
void crossed_cells(const Segments& segs, std::uint32_t s, Cell&& cell, int first = 0, int last = -1) {
    const GridPart& part = segs.part;
    crossed_cells_within(segs, s, part.i0 + first, part.i0 + (last < 0 ? part.nb_lig : last) - 1, part.j0,
                         part.j0 + part.nb_col - 1, [&](int r, int c) { cell(r - part.i0, c - part.j0); });
}

}  // namespace zorvel

#endif

#include "geometry/trace_droite.h"

#include <cmath>
#include <cstdint>

#include "base/numeric.h"
#include "geometry/step_runs.h"

namespace zorvel {

namespace {

// Cells closer than this to the grid origin are walked in ints.
constexpr double kNearCell = 1 << 30;

// After this many steps every walk has come to a standstill: a coordinate
// moving by at most one cell a step reaches, within about 2^55 steps, a size
// where the step is less than half the spacing of the doubles, and from then
// on adding it changes nothing. Steps beyond it need not be counted.
constexpr long long kStepCap = std::int64_t{1} << 60;

// Walks up to this many steps are taken one by one, with every cell checked
// against the grid; longer ones jump to the part that can meet the grid.
template <typename T>
double short_walk(const DrawTarget<T>& g) {
    return 4.0 * (static_cast<double>(g.nb_rows) + g.nb_cols) + 64;
}

template <typename T>
void put(const DrawTarget<T>& g, double i, double j, T alti) {
    // whole numbers: the window's own row and column are exact
    const double wi = i - g.i0, wj = j - g.j0;
    if (wi >= 0 && wj >= 0 && wi < g.nb_rows && wj < g.nb_cols) g.dtab[static_cast<int>(wi)][static_cast<int>(wj)] = alti;
}

struct Walk {
    double a, b, rmax;
};

// The differences of column and row, and the number of steps: the larger
// of the two, so that one coordinate moves by exactly one cell a step. Both
// walks take them from here, so that they draw the same cells.
Walk walk_of(Cell deb, Cell fin) {
    const double a = fin.j - deb.j;
    const double b = fin.i - deb.i;
    return Walk{a, b, std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b)};
}

bool finite(Cell c) { return std::isfinite(c.i) && std::isfinite(c.j); }

}  // namespace

WalkSpan grid_span(Cell deb, Cell fin, int nb_rows, int nb_cols, int i0, int j0) {
    WalkSpan none{0, 0, 0, 0, 0};
    if (!finite(deb) || !finite(fin) || nb_rows <= 0 || nb_cols <= 0) return none;
    const Walk w = walk_of(deb, fin);
    if (!(w.rmax > 0) || !std::isfinite(w.rmax)) return none;
    const double dinext = w.b / w.rmax;
    const double djnext = w.a / w.rmax;
    const long long kmax = w.rmax < static_cast<double>(kStepCap) ? static_cast<long long>(w.rmax) : kStepCap;
    const CoordinateSteps rows(deb.i, dinext, kmax);
    const CoordinateSteps cols(deb.j, djnext, kmax);
    const Steps walked{1, kmax};
    // the walk stops at the first step that reaches the end cell
    const Steps at_end = rows.cells_between(fin.i, fin.i).meet(cols.cells_between(fin.j, fin.j)).meet(walked);
    const long long last = at_end.empty() ? kmax : at_end.first;
    const Steps inside =
        rows.cells_between(i0, static_cast<double>(i0) + nb_rows - 1)
            .meet(cols.cells_between(j0, static_cast<double>(j0) + nb_cols - 1))
            .meet(Steps{1, last});
    if (inside.empty()) return none;
    return WalkSpan{rows.position(inside.first), cols.position(inside.first), dinext, djnext,
                    inside.last - inside.first + 1};
}

template <typename T>
void plain_walk(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    if (!finite(deb) || !finite(fin)) return;
    const Walk w = walk_of(deb, fin);
    put(g, deb.i, deb.j, alti);
    if (w.rmax == 0 || !std::isfinite(w.rmax)) return;
    const double dinext = w.b / w.rmax;
    const double djnext = w.a / w.rmax;
    double icrrnt_d = deb.i;
    double jcrrnt_d = deb.j;
    double icrrnt = deb.i;
    double jcrrnt = deb.j;
    for (long long step = 0; (icrrnt != fin.i || jcrrnt != fin.j) && static_cast<double>(step) < w.rmax; ++step) {
        // the running position is accumulated, not recomputed from the start
        icrrnt_d = icrrnt_d + dinext;
        jcrrnt_d = jcrrnt_d + djnext;
        icrrnt = round_half_up_exact(icrrnt_d);
        jcrrnt = round_half_up_exact(jcrrnt_d);
        put(g, icrrnt, jcrrnt, alti);
    }
}

template <typename T>
void bounded_walk(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    if (!finite(deb) || !finite(fin)) return;
    put(g, deb.i, deb.j, alti);
    const WalkSpan s = grid_span(deb, fin, g.nb_rows, g.nb_cols, g.i0, g.j0);
    double i = s.i;
    double j = s.j;
    for (long long k = 0; k < s.steps; ++k) {
        if (k > 0) {
            i = i + s.di;
            j = j + s.dj;
        }
        put(g, round_half_up_exact(i), round_half_up_exact(j), alti);
    }
}

template <typename T>
void trace_droite(const DrawTarget<T>& g, int ideb, int jdeb, int ifin, int jfin, T alti) {
    const double a = static_cast<double>(jfin) - jdeb;
    const double b = static_cast<double>(ifin) - ideb;
    const double rmax = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
    if (rmax > short_walk(g)) {
        bounded_walk(g, Cell{static_cast<double>(ideb), static_cast<double>(jdeb)},
                     Cell{static_cast<double>(ifin), static_cast<double>(jfin)}, alti);
        return;
    }
    put(g, ideb, jdeb, alti);
    if (rmax == 0) return;
    // a step to a neighbour, as most segments of a contour line are: the
    // walk's one step lands on the end cell, whole numbers rounding to
    // themselves from 0 on (below 0 the rounding takes them a cell up)
    if (rmax == 1 && ifin >= 0 && jfin >= 0) return put(g, ifin, jfin, alti);
    double icrrnt_d = ideb;
    double jcrrnt_d = jdeb;
    int icrrnt = ideb;
    int jcrrnt = jdeb;
    // the longer difference over rmax is exactly 1 or -1: one division
    double dinext, djnext;
    if (std::fabs(b) == rmax) {
        dinext = b > 0 ? 1.0 : -1.0;
        djnext = a / rmax;
    } else {
        dinext = b / rmax;
        djnext = a > 0 ? 1.0 : -1.0;
    }
    // from cells with non-negative coordinates the walk reaches the end cell
    // in rmax steps; the step count bounds it from any other cell
    for (int step = 0; (icrrnt != ifin || jcrrnt != jfin) && step < rmax; ++step) {
        // the running position is accumulated, not recomputed from the start
        icrrnt_d = icrrnt_d + dinext;
        jcrrnt_d = jcrrnt_d + djnext;
        icrrnt = static_cast<int>(round_half_up_exact(icrrnt_d));
        jcrrnt = static_cast<int>(round_half_up_exact(jcrrnt_d));
        put(g, icrrnt, jcrrnt, alti);
    }
}

template <typename T>
void trace_segment(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    if (!finite(deb) || !finite(fin)) return;
    const auto near = [](double v) { return std::fabs(v) < kNearCell; };
    if (near(deb.i) && near(deb.j) && near(fin.i) && near(fin.j)) {
        trace_droite(g, static_cast<int>(deb.i), static_cast<int>(deb.j), static_cast<int>(fin.i),
                     static_cast<int>(fin.j), alti);
        return;
    }
    if (walk_of(deb, fin).rmax > short_walk(g))
        bounded_walk(g, deb, fin, alti);
    else
        plain_walk(g, deb, fin, alti);
}

template void trace_droite(const DrawTarget<double>&, int, int, int, int, double);
template void trace_droite(const DrawTarget<unsigned short>&, int, int, int, int, unsigned short);
template void trace_droite(const DrawTarget<unsigned char>&, int, int, int, int, unsigned char);
template void trace_segment(const DrawTarget<double>&, Cell, Cell, double);
template void trace_segment(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
template void trace_segment(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);
template void plain_walk(const DrawTarget<double>&, Cell, Cell, double);
template void plain_walk(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);
template void bounded_walk(const DrawTarget<double>&, Cell, Cell, double);
template void bounded_walk(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
template void bounded_walk(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);

}  // namespace zorvel

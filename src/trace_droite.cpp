#include "trace_droite.h"

#include <algorithm>
#include <cmath>

#include "numeric.h"

namespace zorvel {

namespace {

// Cells closer than this to the grid origin are walked in ints.
constexpr double kNearCell = 1 << 30;

// Walks up to this many steps are taken one by one, as the program always
// took them, with every cell checked against the grid; longer ones are cut
// to the grid first.
template <typename T>
double short_walk(const DrawTarget<T>& g) {
    return 4.0 * (static_cast<double>(g.nb_rows) + g.nb_cols) + 64;
}

template <typename T>
bool inside(const DrawTarget<T>& g, long double i, long double j) {
    return i >= 0 && j >= 0 && i < g.nb_rows && j < g.nb_cols;
}

// The steps s of a walk p0 + s * d whose rounded position can fall in cells
// 0..n-1: trunc(p + 0.5) lies there exactly when -1.5 < p < n - 0.5.
bool axis_steps(long double p0, long double d, int n, long double& lo, long double& hi) {
    const long double low = -1.5L;
    const long double high = n - 0.5L;
    if (d == 0) return p0 > low && p0 < high;
    const long double t1 = (low - p0) / d;
    const long double t2 = (high - p0) / d;
    lo = std::max(lo, std::floor(std::min(t1, t2)));
    hi = std::min(hi, std::ceil(std::max(t1, t2)));
    return lo <= hi;
}

// Walk between cells of which one at least lies outside the grid: each step
// is computed from the start, and only the steps that can reach the grid are
// taken.
template <typename T>
void clipped_walk(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    const long double a = static_cast<long double>(fin.j) - deb.j;
    const long double b = static_cast<long double>(fin.i) - deb.i;
    const long double rmax = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
    if (!std::isfinite(rmax)) return;
    if (rmax == 0) {
        if (inside(g, deb.i, deb.j)) g.dtab[static_cast<int>(deb.i)][static_cast<int>(deb.j)] = alti;
        return;
    }
    const long double di = b / rmax;
    const long double dj = a / rmax;
    long double lo = 0;
    long double hi = rmax;
    if (!axis_steps(deb.i, di, g.nb_rows, lo, hi) || !axis_steps(deb.j, dj, g.nb_cols, lo, hi)) return;
    // one axis moves a whole cell per step, so no more steps than this can
    // meet the grid; the bound also holds where far positions lose precision
    const long double most = static_cast<long double>(g.nb_rows) + g.nb_cols + 4;
    const long double count = std::min(hi - lo, most);
    for (long double k = 0; k <= count; ++k) {
        const long double s = lo + k;
        const long double ci = std::trunc(deb.i + s * di + 0.5L);
        const long double cj = std::trunc(deb.j + s * dj + 0.5L);
        if (inside(g, ci, cj)) g.dtab[static_cast<int>(ci)][static_cast<int>(cj)] = alti;
    }
}

}  // namespace

template <typename T>
void trace_droite(const DrawTarget<T>& g, int ideb, int jdeb, int ifin, int jfin, T alti) {
    const double a = static_cast<double>(jfin) - jdeb;
    const double b = static_cast<double>(ifin) - ideb;
    const double rmax = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
    if (rmax > short_walk(g)) {
        clipped_walk(g, Cell{static_cast<double>(ideb), static_cast<double>(jdeb)},
                     Cell{static_cast<double>(ifin), static_cast<double>(jfin)}, alti);
        return;
    }
    double icrrnt_d = ideb;
    double jcrrnt_d = jdeb;
    int icrrnt = ideb;
    int jcrrnt = jdeb;
    if (inside(g, ideb, jdeb)) g.dtab[ideb][jdeb] = alti;
    if (rmax == 0) return;
    const double dinext = b / rmax;
    const double djnext = a / rmax;
    // from cells with non-negative coordinates the walk reaches the end cell
    // in rmax steps; the step count bounds it from any other cell
    for (int step = 0; (icrrnt != ifin || jcrrnt != jfin) && step < rmax; ++step) {
        // the running position is accumulated, not recomputed from the start
        icrrnt_d = icrrnt_d + dinext;
        jcrrnt_d = jcrrnt_d + djnext;
        icrrnt = static_cast<int>(round_half_up_exact(icrrnt_d));
        jcrrnt = static_cast<int>(round_half_up_exact(jcrrnt_d));
        if (inside(g, icrrnt, jcrrnt)) g.dtab[icrrnt][jcrrnt] = alti;
    }
}

template <typename T>
void trace_segment(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    if (!std::isfinite(deb.i) || !std::isfinite(deb.j) || !std::isfinite(fin.i) || !std::isfinite(fin.j))
        return;
    const auto near = [](double v) { return std::fabs(v) < kNearCell; };
    if (near(deb.i) && near(deb.j) && near(fin.i) && near(fin.j)) {
        trace_droite(g, static_cast<int>(deb.i), static_cast<int>(deb.j), static_cast<int>(fin.i),
                     static_cast<int>(fin.j), alti);
        return;
    }
    clipped_walk(g, deb, fin, alti);
}

template void trace_droite(const DrawTarget<double>&, int, int, int, int, double);
template void trace_droite(const DrawTarget<unsigned short>&, int, int, int, int, unsigned short);
template void trace_droite(const DrawTarget<unsigned char>&, int, int, int, int, unsigned char);
template void trace_segment(const DrawTarget<double>&, Cell, Cell, double);
template void trace_segment(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
template void trace_segment(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);

}  // namespace zorvel

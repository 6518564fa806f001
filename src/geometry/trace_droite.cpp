#include "geometry/trace_droite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/numeric.h"

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
    if (i >= 0 && j >= 0 && i < g.nb_rows && j < g.nb_cols) g.dtab[static_cast<int>(i)][static_cast<int>(j)] = alti;
}

// --- One coordinate of the walk, step after step, without the steps ---
//
// The running position p goes to fl(p + d) at every step. While p stays among
// the doubles of one spacing u (one binade: the magnitudes [2^e, 2^(e+1)),
// u = 2^(e-52); or the smallest magnitudes, all spaced 2^-1074), p is a
// multiple of u and p + d is rounded to the nearest multiple, ties to the
// even one. The increment then depends on nothing but the parity of p / u,
// and after one step that parity no longer changes: a tie rounds to an even
// multiple, and an even multiple plus the even increment stays even. So
// from the first step on, the positions in a binade go up by one constant
// increment: an arithmetic run, whose every member can be computed at once.
// A binade's edges are crossed one step at a time.

// Positions are held as whole multiples of their spacing; a multiple that
// is within one spacing of its binade's edges, by magnitude, lies between
// these (the binade holds the multiples 2^52 to 2^53 - 1 of its spacing).
constexpr std::int64_t kDeepLow = (std::int64_t{1} << 52) + 1;
constexpr std::int64_t kDeepHigh = (std::int64_t{1} << 53) - 1;

struct Spacing {
    double u;     // the spacing of the doubles around the position
    bool lowest;  // the smallest magnitudes, of both signs, evenly spaced
};

Spacing spacing_of(double p) {
    const double a = std::fabs(p);
    if (a < 0x1p-1021) return {0x1p-1074, true};
    return {std::ldexp(1.0, std::ilogb(a) - 52), false};
}

// Steps k0 .. k0 + count - 1 of a coordinate, at (start + (k - k0) * rise) * u.
struct Run {
    long long k0;
    long long count;
    std::int64_t start;
    std::int64_t rise;
    double u;
    double at(long long k) const { return static_cast<double>(start + (k - k0) * rise) * u; }
    long long last() const { return k0 + count - 1; }
};

// A run of the one step k, at p (held as 1 * p).
Run single(long long k, double p) { return Run{k, 1, 1, 0, p}; }

// Whether the multiple m of a binade's spacing lies at least one spacing
// inside it, on the side of `positive` (either side in the lowest range).
bool deep(std::int64_t m, const Spacing& s, bool positive) {
    if (s.lowest) return m >= -kDeepHigh && m <= kDeepHigh;
    return positive ? (m >= kDeepLow && m <= kDeepHigh) : (m <= -kDeepLow && m >= -kDeepHigh);
}

// The positions of steps 0..kmax as runs, in order; a few runs per binade
// the position passes through.
std::vector<Run> coordinate_runs(double p0, double d, long long kmax) {
    std::vector<Run> runs{single(0, p0)};
    long long k = 0;
    double p = p0;
    while (k < kmax) {
        const double p1 = p + d;
        runs.push_back(single(k + 1, p1));
        if (p1 + d == p1) {
            // the step is lost in the rounding: the position stays for good
            runs.back().count = kmax - k;
            break;
        }
        k += 1;
        p = p1;
        if (k + 1 > kmax) break;
        // p1 may have come from another binade, where p + d was rounded
        // otherwise; p2 is rounded in p1's, and from p2 on the increment holds
        const double p2 = p1 + d;
        const double p3 = p2 + d;
        const Spacing s = spacing_of(p1);
        const double q2 = p2 / s.u;
        const double q3 = p3 / s.u;
        // beyond the binade either way: not worth a run
        if (!(std::fabs(q2) <= kDeepHigh && std::fabs(q3) <= kDeepHigh)) continue;
        // multiples of u no larger than 2^53 u: the quotients are exact
        const auto m2 = static_cast<std::int64_t>(q2);
        const auto m3 = static_cast<std::int64_t>(q3);
        const bool positive = p1 > 0;
        // both deep inside: neither p1 + d nor p2 + d left the binade
        if (!deep(m2, s, positive) || !deep(m3, s, positive)) continue;
        const std::int64_t rise = m3 - m2;
        long long more = kmax - (k + 1);
        if (rise > 0) {
            const std::int64_t top = (s.lowest || positive) ? kDeepHigh : -kDeepLow;
            more = std::min<long long>(more, (top - m2) / rise);
        } else if (rise < 0) {
            const std::int64_t bottom = (s.lowest || !positive) ? -kDeepHigh : kDeepLow;
            more = std::min<long long>(more, (m2 - bottom) / -rise);
        }
        runs.push_back(Run{k + 1, more + 1, m2, rise, s.u});
        k += 1 + more;
        p = runs.back().at(k);
    }
    return runs;
}

// The first step at which `reached` (false, then true, as the position moves
// on) holds, or kmax + 1.
template <typename Pred>
long long first_step(const std::vector<Run>& runs, long long kmax, Pred reached) {
    for (const Run& r : runs) {
        if (!reached(r.at(r.last()))) continue;
        long long lo = r.k0, hi = r.last();  // reached(hi) holds
        while (lo < hi) {
            const long long mid = lo + (hi - lo) / 2;
            if (reached(r.at(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
    return kmax + 1;
}

// Steps first..last, empty when last < first.
struct Steps {
    long long first, last;
    Steps meet(const Steps& o) const { return Steps{std::max(first, o.first), std::min(last, o.last)}; }
    bool empty() const { return last < first; }
};

// The steps at which the coordinate's cell lies in lo..hi. The positions of
// a walk never turn back, so these steps follow each other.
Steps cells_between(const std::vector<Run>& runs, long long kmax, double d, double lo, double hi) {
    const auto cell = [](double p) { return round_half_up_exact(p); };
    if (d >= 0) {
        const long long a = first_step(runs, kmax, [&](double p) { return cell(p) >= lo; });
        const long long b = first_step(runs, kmax, [&](double p) { return cell(p) > hi; });
        return Steps{a, b - 1};
    }
    const long long a = first_step(runs, kmax, [&](double p) { return cell(p) <= hi; });
    const long long b = first_step(runs, kmax, [&](double p) { return cell(p) < lo; });
    return Steps{a, b - 1};
}

double position_at(const std::vector<Run>& runs, long long k) {
    const auto r = std::upper_bound(runs.begin(), runs.end(), k, [](long long s, const Run& x) { return s < x.k0; });
    return (r - 1)->at(k);
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

double walk_position(double p0, double d, long long k) {
    if (k <= 0) return p0;
    return position_at(coordinate_runs(p0, d, k), k);
}

WalkSpan grid_span(Cell deb, Cell fin, int nb_rows, int nb_cols) {
    WalkSpan none{0, 0, 0, 0, 0};
    if (!finite(deb) || !finite(fin) || nb_rows <= 0 || nb_cols <= 0) return none;
    const Walk w = walk_of(deb, fin);
    if (!(w.rmax > 0) || !std::isfinite(w.rmax)) return none;
    const double dinext = w.b / w.rmax;
    const double djnext = w.a / w.rmax;
    const long long kmax = w.rmax < static_cast<double>(kStepCap) ? static_cast<long long>(w.rmax) : kStepCap;
    const std::vector<Run> rows = coordinate_runs(deb.i, dinext, kmax);
    const std::vector<Run> cols = coordinate_runs(deb.j, djnext, kmax);
    const Steps walked{1, kmax};
    // the walk stops at the first step that reaches the end cell
    const Steps at_end = cells_between(rows, kmax, dinext, fin.i, fin.i)
                             .meet(cells_between(cols, kmax, djnext, fin.j, fin.j))
                             .meet(walked);
    const long long last = at_end.empty() ? kmax : at_end.first;
    const Steps inside = cells_between(rows, kmax, dinext, 0, nb_rows - 1)
                             .meet(cells_between(cols, kmax, djnext, 0, nb_cols - 1))
                             .meet(Steps{1, last});
    if (inside.empty()) return none;
    return WalkSpan{position_at(rows, inside.first), position_at(cols, inside.first), dinext, djnext,
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
    const WalkSpan s = grid_span(deb, fin, g.nb_rows, g.nb_cols);
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
    double icrrnt_d = ideb;
    double jcrrnt_d = jdeb;
    int icrrnt = ideb;
    int jcrrnt = jdeb;
    put(g, ideb, jdeb, alti);
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

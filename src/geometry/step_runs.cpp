#include "geometry/step_runs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/numeric.h"

namespace zorvel {

namespace {

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

using Run = CoordinateSteps::Run;

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

}  // namespace

CoordinateSteps::CoordinateSteps(double p0, double d, long long kmax)
    : runs_(coordinate_runs(p0, d, kmax)), kmax_(kmax), d_(d) {}

double CoordinateSteps::position(long long k) const {
    const auto r = std::upper_bound(runs_.begin(), runs_.end(), k, [](long long s, const Run& x) { return s < x.k0; });
    return (r - 1)->at(k);
}

Steps CoordinateSteps::cells_between(double lo, double hi) const {
    const auto cell = [](double p) { return round_half_up_exact(p); };
    if (d_ >= 0) {
        const long long a = first_step(runs_, kmax_, [&](double p) { return cell(p) >= lo; });
        const long long b = first_step(runs_, kmax_, [&](double p) { return cell(p) > hi; });
        return Steps{a, b - 1};
    }
    const long long a = first_step(runs_, kmax_, [&](double p) { return cell(p) <= hi; });
    const long long b = first_step(runs_, kmax_, [&](double p) { return cell(p) < lo; });
    return Steps{a, b - 1};
}

double walk_position(double p0, double d, long long k) {
    if (k <= 0) return p0;
    return CoordinateSteps(p0, d, k).position(k);
}

}  // namespace zorvel

// One coordinate of the segment walk, step after step, without taking the
// steps.
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
#ifndef ZORVEL_STEP_RUNS_H
#define ZORVEL_STEP_RUNS_H

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zorvel {

// Steps first..last, empty when last < first.
struct Steps {
    long long first, last;
    Steps meet(const Steps& o) const { return Steps{std::max(first, o.first), std::min(last, o.last)}; }
    bool empty() const { return last < first; }
};

// The positions of one coordinate at steps 0..kmax, from p0 by d, held as a
// few runs per binade the position passes through.
class CoordinateSteps {
public:
    CoordinateSteps(double p0, double d, long long kmax);
    // The position at step k (0 <= k <= kmax), as the walk accumulates it.
    double position(long long k) const;
    // The steps at which the position's cell (add 0.5, truncate) lies in
    // lo..hi. The positions of a walk never turn back, so these steps follow
    // each other; after kmax, none.
    Steps cells_between(double lo, double hi) const;

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

private:
    std::vector<Run> runs_;
    long long kmax_;
    double d_;
};

// The running position of one coordinate after k steps of d from p0, each
// rounded to double as the walk rounds it, without taking the steps.
double walk_position(double p0, double d, long long k);

}  // namespace zorvel

#endif

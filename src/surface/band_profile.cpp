#include "surface/band_profile.h"

#include <algorithm>
#include <cmath>

namespace zorvel {

namespace {

// Between two contours the ground is held within the band: it leaves a
// contour faster than a ramp would and lingers in the middle, the more so
// the rougher the ground, which shows where the bands either side of the
// contour differ in slope. The steepening at a contour: kSteepest (1 -
// sqrt(min(r, 1 / r))) for the ratio r of the two bands' slopes, the same
// seen from either band; where they fall different ways (the ground turns
// there, level), as for r = e: kSteepest (1 - exp(-1 / 2)).
constexpr double kSteepest = 1.5;
constexpr double kTurning = 0.3934693402873666;  // 1 - exp(-1 / 2)

// a + (b - a) g for g in [0, 1], without overflow: between a and b.
double between(double a, double b, double g) {
    const double span = b - a;
    if (std::isfinite(span)) return a + span * g;
    return 2 * (a / 2 + half_difference(b, a) * g);
}

// The cubic from 0 to 1 whose slopes are sa at 0 and sb at 1: h01 + sa h10
// + sb h11. Strictly increasing on [0, 1] for slopes from 0 to 3.
double cubic(double t, double sa, double sb) {
    const double t2 = t * t, t3 = t2 * t;
    return (3 * t2 - 2 * t3) + sa * (t3 - 2 * t2 + t) + sb * (t3 - t2);
}

}  // namespace

BandEnd band_end(double r, double w) {
    if (!(r > 0.0)) return BandEnd{0.0, kSteepest * kTurning};
    // the slope of the parabola through the three levels, at most three
    // times the lesser of the two bands' (so that both cubics stay monotone)
    const double slope = std::min((r + w) / (w + 1), 3 * std::min(r, 1.0));
    return BandEnd{slope, kSteepest * (1.0 - std::sqrt(std::min(r, 1.0 / r)))};
}

double across_band(double va, double vb, double t, const BandEnd& a, const BandEnd& b) {
    // the fraction drawn towards the middle (slopes of at most 2.5), then
    // the cubic with the ends' slopes: each strictly increasing, from 0 to 1
    const double u = cubic(t, 1 + a.steeper, 1 + b.steeper);
    return between(va, vb, cubic(u, a.slope, b.slope));
}

}  // namespace zorvel

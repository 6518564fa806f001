// The areas of one level: cells that one level alone reaches (hilltops,
// hollows, a plain between hills), and what the bands around them tell of
// how the ground rises or sinks across them (surface_fill.h).
#ifndef ZORVEL_LEVEL_AREAS_H
#define ZORVEL_LEVEL_AREAS_H

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "surface/side_bands.h"

namespace zorvel {

// What an area of one level is told by the bands around it.
struct Area {
    std::uint32_t level = 0;
    double d_max = 0.0;        // the largest distance of its cells to its level
    double half_slopes = 0.0;  // the sum of the bands' |level - v| / 2 / width, scaled
    double halves = 0.0;       // the sum of the bands' |level - v| / 2, scaled
    double widest = 0.0;       // the largest of the bands' |level - v| / 2
    long long told = 0;        // cells that a band told of
    long long balance = 0;     // bands that fall away from v, less those that rise
    double top = 0.0;          // once settled: H / 2, half the most it rises or sinks
    void add(const Area& o) {
        d_max = std::max(d_max, o.d_max);
        half_slopes += o.half_slopes;
        halves += o.halves;
        widest = std::max(widest, o.widest);
        told += o.told;
        balance += o.balance;
    }
    // Whether it stays at its level: nothing says which way it goes.
    bool flat() const { return told == 0 || balance == 0 || d_max == 0.0; }
    // Its height once its sums are in: worked out once, not for every cell.
    void settle() {
        if (flat()) return;
        const double n = static_cast<double>(told);
        const double ih = halves / n / kSumScale;       // I / 2
        const double mh = half_slopes / n / kSumScale;  // m / 2
        const double q = ih > 0.0 ? mh * d_max / (2 * ih) : 0.0;  // m D / (2 I)
        // never past the farthest level around it, however the scaled sums
        // of levels next to the doubles' smallest have rounded
        top = std::min(ih * std::tanh(q), widest);
    }
};

}  // namespace zorvel

#endif

// How a cell takes a level handed to it, and the sweeps that spread the line
// cells' levels through the grid, as nearest_lines.h states the rules.
#ifndef ZORVEL_LEVEL_SWEEPS_H
#define ZORVEL_LEVEL_SWEEPS_H

#include <cstdint>
#include <vector>

#include "surface/line_keys.h"
#include "surface/near_lines.h"
#include "surface/segments.h"

namespace zorvel {

// Takes candidate c into a cell's two nearest a and b, segment s being of
// level level[s]; whether they changed.
inline bool take_key(LineKey& a, LineKey& b, LineKey c, const std::uint32_t* level) {
    if (c >= b) return false;  // neither nearer than the second nor a better distance to either
    // neighbours mostly hand on the cell's own nearest segment: its level without a look-up
    if (a != kNoLine && (segment_of(c) == segment_of(a) || level[segment_of(c)] == level[segment_of(a)])) {
        if (c >= a) return false;
        a = c;
        return true;
    }
    if (c < a) {
        // a level as b's is dropped with it: c is its nearer distance
        b = a;
        a = c;
        return true;
    }
    b = c;
    return true;
}

// Spreads the levels of the line cells, seeded and with the run-ons in,
// through the grid until nothing changes; segment s of level level[s]. On two
// threads when `split`; the same nearest levels either way.
void spread_levels(const Segments& segs, NearLines& g, const std::vector<std::uint32_t>& level, bool split);

}  // namespace zorvel

#endif

// The fill's sums over a part's cells whose order tells in their last bits,
// as the whole grid's fill makes them, so that parts taken in the whole
// grid's order of rows sum as the whole.
#ifndef ZORVEL_FILL_SUMS_H
#define ZORVEL_FILL_SUMS_H

#include <algorithm>
#include <vector>

#include "base/threads.h"
#include "surface/fill_table.h"
#include "surface/level_areas.h"
#include "surface/near_lines.h"
#include "surface/segments.h"
#include "surface/side_bands.h"

namespace zorvel {

// The loops over the cells ask this many cells ahead in a row for the
// segments of that cell's keys: where contours crowd a grid, the segments
// of neighbouring cells lie far apart in memory, and each cell would
// otherwise wait on them.
constexpr int kAhead = 6;

// Calls f(r0, r1, half) on the part's rows in the whole grid's first half
// and in its second, side by side when `split`, one after the other when
// not: a sum over the same cells is then the same in a part as in the whole.
template <typename F>
void in_halves(const GridPart& part, bool split, F&& f) {
    const int n = part.nb_lig, mid = std::clamp(part.rows / 2 - part.i0, 0, n);
    if (!split) {
        f(0, mid, 0);
        f(mid, n, 1);
        return;
    }
    Helper other([&] { f(0, mid, 0); });
    if (!other.started()) f(0, mid, 0);
    f(mid, n, 1);
    other.join();
}

// The bands on the side of segment s that (i, j) does not lie on; nullptr
// where there are none.
inline const FarBand* beyond_of(const Segments& segs, const std::vector<FarBand>& beyond, std::uint32_t s, int i, int j) {
    const FarBand& far = beyond[2 * static_cast<std::size_t>(s) + static_cast<std::size_t>(1 - segs.side(s, i, j))];
    return far.width > 0.0 ? &far : nullptr;
}

// Into first the rows of the whole grid's first half, into second those of
// its second, each row after row, onto what they hold: the bands on each
// side of each segment (side_bands.h), from the cells between two levels;
// what the cells of each area (marked in b, part_check.h) tell it, beyond
// holding the bands beyond each side. The part's rows from `from` to
// `to` (all of them by default).
constexpr int kAllRows = 1 << 30;
void sum_side_bands(const Segments& segs, const NearLines& g, bool split, std::vector<SideBands>& first,
                    std::vector<SideBands>& second, int from = 0, int to = kAllRows);
void tell_areas(const Segments& segs, const NearLines& g, const std::vector<FarBand>& beyond, bool split,
                std::vector<Area>& first, std::vector<Area>& second, int from = 0, int to = kAllRows);

}  // namespace zorvel

#endif

#include "surface/fill_sums.h"

#include <cmath>

#include "surface/band_profile.h"
#include "surface/part_check.h"

namespace zorvel {

namespace {

// What cell (i, j) of an area, whose nearest segment is s, tells it:
// its distance, and the band beyond s.
void tell(const Segments& segs, const std::vector<FarBand>& beyond, Area& area, std::uint32_t s, int i, int j) {
    area.d_max = std::max(area.d_max, segs.distance(s, i, j));
    const FarBand* far = beyond_of(segs, beyond, s, i, j);
    if (far == nullptr) return;
    const double v = segs.levels[area.level];
    // a mean of the drawing's levels, unless its scaled sums rounded
    // past them (levels next to the doubles' smallest)
    const double other = std::clamp(far->level, segs.levels.front(), segs.levels.back());
    const double half = std::fabs(half_difference(other, v));
    area.halves += half * kSumScale;
    area.widest = std::max(area.widest, half);
    area.half_slopes += half / far->width * kSumScale;
    area.told += 1;
    area.balance += other < v ? 1 : other > v ? -1 : 0;
}

}  // namespace

void sum_side_bands(const Segments& segs, const NearLines& g, bool split, std::vector<SideBands>& first,
                    std::vector<SideBands>& second, int from, int to) {
    in_halves(segs.part, split, [&](int r0, int r1, int half) {
        r0 = std::max(r0, from), r1 = std::min(r1, to);
        std::vector<SideBands>& mine = half == 0 ? first : second;
        const KeysInDoubles a = g.a();
        const LineKey* b = g.b();
        for (int i = r0; i < r1; ++i)
            for (int j = 0; j < g.nb_col(); ++j) {
                const std::size_t k = g.at(i, j);
                if (const std::size_t f = k + kAhead; j + kAhead < g.nb_col() && a[f] != kNoLine && b[f] != kNoLine) {
                    const std::size_t fa = segment_of(a[f]), fb = segment_of(b[f]);
                    __builtin_prefetch(&segs.all[fa]);
                    __builtin_prefetch(&segs.all[fb]);
                    __builtin_prefetch(&mine[2 * fa], 1);
                    __builtin_prefetch(&mine[2 * fb], 1);
                }
                if (a[k] == kNoLine || b[k] == kNoLine) continue;
                const std::uint32_t sa = segment_of(a[k]), sb = segment_of(b[k]);
                const double w = segs.distance(sa, i, j) + segs.distance(sb, i, j);
                mine[2 * static_cast<std::size_t>(sa) + static_cast<std::size_t>(segs.side(sa, i, j))].add(w, segs.level_of(sb));
                mine[2 * static_cast<std::size_t>(sb) + static_cast<std::size_t>(segs.side(sb, i, j))].add(w, segs.level_of(sa));
            }
    });
}

void tell_areas(const Segments& segs, const NearLines& g, const std::vector<FarBand>& beyond, bool split,
                std::vector<Area>& first, std::vector<Area>& second, int from, int to) {
    in_halves(segs.part, split, [&](int r0, int r1, int half) {
        r0 = std::max(r0, from), r1 = std::min(r1, to);
        std::vector<Area>& mine = half == 0 ? first : second;
        const KeysInDoubles a = g.a();
        const LineKey* b = g.b();
        for (int i = r0; i < r1; ++i)
            for (int j = 0; j < g.nb_col(); ++j) {
                const std::size_t k = g.at(i, j);
                if (marked(b[k])) tell(segs, beyond, mine[static_cast<std::size_t>(b[k] & ~kAreaMark)], segment_of(a[k]), i, j);
            }
    });
}

}  // namespace zorvel

#include "run/grid_facts.h"

#include <bit>
#include <cmath>
#include <type_traits>
#include <unordered_set>

namespace zorvel {

namespace {

// Widens r to the whole elevation of alt; empty cells (-999) and values
// without a whole elevation are left out.
void widen(DrawnRange& r, double alt) {
    const std::int64_t w = whole_elevation(alt);
    if (w == -999 || w == kNoWholeElevation) return;
    r.lowest = r.any ? std::min(r.lowest, static_cast<int>(w)) : static_cast<int>(w);
    r.highest = r.any ? std::max(r.highest, static_cast<int>(w)) : static_cast<int>(w);
    r.any = true;
}

}  // namespace

DrawnRange drawn_range(const ElevationGrid& dtab, int nb_lig, int nb_col) {
    DrawnRange r{false, 0, 0};
    const auto take = [&](double alt) { widen(r, alt); };
    dtab.visit([&](const auto& c) {
        if constexpr (std::is_same_v<std::decay_t<decltype(c)>, PlainCells>) {
            for (int i = 0; i < nb_lig; ++i)
                for (int j = 0; j < nb_col; ++j) take(c.cells[i][j]);
        } else {
            // the codes the cells hold, then their elevations
            std::vector<unsigned char> held(c.values.size());
            for (int i = 0; i < nb_lig; ++i)
                for (int j = 0; j < nb_col; ++j) held[c.cells[i][j]] = true;
            for (std::size_t k = 0; k < held.size(); ++k)
                if (held[k]) take(c.values[k]);
        }
    });
    return r;
}

DrawnRange vertex_range(const VertexTally& tally) {
    DrawnRange r{false, 0, 0};
    const auto take = [&](double alt) { widen(r, alt); };
    if (tally.count.all_counted()) {
        for (const double v : tally.count.values()) take(v);
    } else {
        take(tally.range.min_dyn);
        take(tally.range.max_dyn);
    }
    return r;
}

ContourInterval source_interval(const ElevationCount& count, const ElevationGrid& dtab, int nb_lig, int nb_col) {
    if (count.all_counted()) return contour_interval(count.values());
    std::unordered_set<std::uint64_t> seen;
    dtab.visit([&](const auto& c) {
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j) seen.insert(bits_of(c.at(i, j)));
    });
    std::vector<double> drawn;
    for (std::uint64_t bits : seen) drawn.push_back(std::bit_cast<double>(bits));
    return contour_interval(drawn);
}

std::vector<double> elevations_of(const ElevationGrid& dtab, int nb_lig, int nb_col) {
    std::vector<double> alti(static_cast<std::size_t>(nb_lig) * static_cast<std::size_t>(nb_col));
    dtab.visit([&](const auto& c) {
        double* out = alti.data();
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j) *out++ = c.at(i, j);
    });
    return alti;
}

}  // namespace zorvel

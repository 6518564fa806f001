#include "surface/side_bands.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zorvel {

namespace {

constexpr std::size_t kNone = ~std::size_t{0};

// One side of a polyline, whose segments' bands are own[0, count) (own[k]
// at own[2 k], the other side's between) and whose segments' middles lie at
// mid[0, count) along it: each takes the bands of its stretch. `sums`,
// `last_told` and `smoothed` are room to reuse.
void smooth_side(SideBands* own, std::size_t count, const std::vector<double>& mid, std::vector<SideBands>& sums,
                 std::vector<std::size_t>& last_told, std::vector<SideBands>& smoothed) {
    sums.assign(count + 1, SideBands{});
    for (std::size_t s = 0; s < count; ++s) {
        sums[s + 1] = sums[s];
        sums[s + 1].add(own[2 * s]);
    }
    if (sums[count].cells == 0) return;  // nothing on this side of the line
    last_told.assign(count, kNone);
    for (std::size_t s = 0, last = kNone; s < count; ++s) last_told[s] = last = own[2 * s].cells > 0 ? s : last;
    const auto mean_width = [&](std::size_t a, std::size_t b) {
        return (sums[b].width - sums[a].width) / (sums[b].cells - sums[a].cells);
    };
    smoothed.resize(count);
    for (std::size_t s = 0, next = kNone; s < count; ++s) {
        if (next == kNone || next < s)
            for (next = s; next < count && own[2 * next].cells == 0;) ++next;
        // the nearest segments with cells, as many each way
        std::size_t r = next < count ? next - s : count;
        if (last_told[s] != kNone) r = std::min(r, s - last_told[s]);
        const std::size_t lo = s > r ? s - r : 0, hi = std::min(count, s + r + 1);
        // the segments whose middles lie within reach of this one's, and at least those
        const auto within = [&](double reach) {
            const double* m = mid.data();
            const auto a = std::partition_point(m, m + s, [&](double x) { return mid[s] - x > reach; }) - m;
            const auto b = std::partition_point(m + s + 1, m + count, [&](double x) { return x - mid[s] <= reach; }) - m;
            return std::pair{std::min(static_cast<std::size_t>(a), lo), std::max(static_cast<std::size_t>(b), hi)};
        };
        const auto first = within(mean_width(lo, hi));
        const auto [a, b] = within(mean_width(first.first, first.second));
        smoothed[s].width = sums[b].width - sums[a].width;
        smoothed[s].level = sums[b].level - sums[a].level;
        smoothed[s].cells = sums[b].cells - sums[a].cells;
    }
    for (std::size_t s = 0; s < count; ++s) own[2 * s] = smoothed[s];
}

}  // namespace

void smooth_along_lines(const Segments& segs, std::vector<SideBands>& sides) {
    std::vector<SideBands> sums, smoothed;
    std::vector<std::size_t> last_told;
    std::vector<double> mid;  // each segment's middle, along its polyline
    const std::size_t n = segs.all.size();
    for (std::size_t first = 0, end = 0; first < n; first = end) {
        while (end < n && segs.all[end].line == segs.all[first].line) ++end;
        mid.resize(end - first);
        for (std::size_t s = first; s < end; ++s) {
            const Segment& g = segs.all[s];
            mid[s - first] = g.arc + std::sqrt(g.di * g.di + g.dj * g.dj) / 2;
        }
        for (std::size_t side = 0; side < 2; ++side)
            smooth_side(sides.data() + 2 * first + side, end - first, mid, sums, last_told, smoothed);
    }
}

}  // namespace zorvel

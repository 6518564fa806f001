#include "surface/side_bands.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/threads.h"

namespace zorvel {

namespace {

constexpr std::size_t kNone = ~std::size_t{0};

// The bands of runs of a side's segments, summed the same way whatever lies
// outside the run: it is tiled from its start by aligned blocks of 2^k
// segments, the largest that fit, and their sums (each made once, from its
// own segments) are added in order. So a part of the grid that holds all
// the cells of a run's segments sums them to the same bits as the whole.
class RunSums {
public:
    // The side's segments' bands, own[0, count) (own[k] at own[2 k]).
    void build(const SideBands* own, std::size_t count) {
        std::size_t levels = 1;
        while ((std::size_t{1} << levels) <= count) ++levels;
        if (blocks_.size() < levels) blocks_.resize(levels);
        levels_ = levels;
        blocks_[0].resize(count);
        for (std::size_t k = 0; k < count; ++k) blocks_[0][k] = own[2 * k];
        for (std::size_t l = 1; l < levels; ++l) {
            const std::vector<SideBands>& below = blocks_[l - 1];
            std::vector<SideBands>& up = blocks_[l];
            up.resize(below.size() / 2);
            for (std::size_t k = 0; k < up.size(); ++k) {
                up[k] = below[2 * k];
                up[k].add(below[2 * k + 1]);
            }
        }
    }
    // The bands of segments [a, b).
    SideBands sum(std::size_t a, std::size_t b) const {
        SideBands r;
        while (a < b) {
            std::size_t l = 0;
            while (l + 1 < levels_ && (a & ((std::size_t{2} << l) - 1)) == 0 && a + (std::size_t{2} << l) <= b) ++l;
            r.add(blocks_[l][a >> l]);
            a += std::size_t{1} << l;
        }
        return r;
    }

private:
    std::vector<std::vector<SideBands>> blocks_;  // blocks_[l][k]: segments [k 2^l, (k + 1) 2^l)
    std::size_t levels_ = 0;
};

// Along a line whose segments' middles are mid[]: the first segment before
// s whose middle lies within reach of s's (s when none), and the first after
// s whose middle lies beyond it (count when none), as binary searches of the
// line find them. Where the middles grow (`sorted`: all but a line's
// run-ons, which follow the last line's segments), searched outwards from s
// in doubling steps instead, to the same segment: a stretch holds a few
// segments of a long line.
std::size_t first_within(const std::vector<double>& mid, std::size_t s, double reach, bool sorted) {
    const auto near = [&](std::size_t k) { return !(mid[s] - mid[k] > reach); };
    if (!sorted) {
        const double* m = mid.data();
        return static_cast<std::size_t>(std::partition_point(m, m + s, [&](const double& x) { return !near(&x - m); }) - m);
    }
    std::size_t lo = s, step = 1;  // mid[lo] is within reach
    while (step <= lo && near(lo - step)) {
        lo -= step;
        step *= 2;
    }
    std::size_t far = step <= lo ? lo - step : 0;  // beyond reach, unless 0
    if (far == 0 && near(0)) return 0;
    while (lo - far > 1) {
        const std::size_t m = far + (lo - far) / 2;
        (near(m) ? lo : far) = m;
    }
    return lo;
}

std::size_t first_beyond(const std::vector<double>& mid, std::size_t s, std::size_t count, double reach, bool sorted) {
    const auto near = [&](std::size_t k) { return mid[k] - mid[s] <= reach; };
    if (!sorted) {
        const double* m = mid.data();
        return static_cast<std::size_t>(std::partition_point(m + s + 1, m + count, [&](const double& x) { return near(&x - m); }) - m);
    }
    std::size_t hi = s, step = 1;  // mid[hi] is within reach
    while (hi + step < count && near(hi + step)) {
        hi += step;
        step *= 2;
    }
    std::size_t far = std::min(hi + step, count);  // beyond reach, or count
    while (far - hi > 1) {
        const std::size_t m = hi + (far - hi) / 2;
        (near(m) ? hi : far) = m;
    }
    return far;
}

// One side of a polyline, whose segments' bands are own[0, count) (own[k]
// at own[2 k], the other side's between) and whose segments' middles lie at
// mid[0, count) along it: each takes the bands of its stretch. `sums`,
// `last_told` and `smoothed` are room to reuse. Where `looked` is given,
// looked[2 k] gets the segments that segment k's stretch looked at,
// numbered from `number`.
void smooth_side(SideBands* own, std::size_t count, const std::vector<double>& mid, bool sorted, RunSums& sums,
                 std::vector<std::size_t>& last_told, std::vector<SideBands>& smoothed,
                 std::pair<std::uint32_t, std::uint32_t>* looked, std::uint32_t number) {
    const auto look = [&](std::size_t s, std::size_t from, std::size_t to) {
        if (looked != nullptr)
            looked[2 * s] = {number + static_cast<std::uint32_t>(from), number + static_cast<std::uint32_t>(to)};
    };
    sums.build(own, count);
    if (sums.sum(0, count).cells == 0) {  // nothing on this side of the line
        for (std::size_t s = 0; s < count; ++s) look(s, 0, count - 1);
        return;
    }
    last_told.assign(count, kNone);
    for (std::size_t s = 0, last = kNone; s < count; ++s) last_told[s] = last = own[2 * s].cells > 0 ? s : last;
    const auto mean_width = [&](std::size_t a, std::size_t b) {
        const SideBands run = sums.sum(a, b);
        return run.width / run.cells;
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
            const std::size_t a = first_within(mid, s, reach, sorted), b = first_beyond(mid, s, count, reach, sorted);
            return std::pair{std::min(a, lo), std::max(b, hi)};
        };
        const auto first = within(mean_width(lo, hi));
        const auto [a, b] = within(mean_width(first.first, first.second));
        smoothed[s] = sums.sum(a, b);
        look(s, std::min({a, first.first, lo, last_told[s] != kNone ? last_told[s] : s}),
             std::max({b - 1, first.second - 1, hi - 1, std::min(next, count - 1)}));
    }
    for (std::size_t s = 0; s < count; ++s) own[2 * s] = smoothed[s];
}

}  // namespace

void smooth_along_lines(const Segments& segs, std::vector<SideBands>& sides, bool split,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>* looked) {
    if (looked != nullptr) looked->assign(sides.size(), {0, 0});
    const std::size_t n = segs.all.size();
    // the lines of segments [from, to), each side apart from every other
    const auto lines = [&](std::size_t from, std::size_t to) {
        RunSums sums;
        std::vector<SideBands> smoothed;
        std::vector<std::size_t> last_told;
        std::vector<double> mid;  // each segment's middle, along its polyline
        for (std::size_t first = from, end = from; first < to; first = end) {
            while (end < to && segs.all[end].line == segs.all[first].line) ++end;
            mid.resize(end - first);
            for (std::size_t s = first; s < end; ++s) {
                const Segment& g = segs.all[s];
                mid[s - first] = g.arc + std::sqrt(g.di * g.di + g.dj * g.dj) / 2;
            }
            const bool sorted = std::is_sorted(mid.begin(), mid.end());
            for (std::size_t side = 0; side < 2; ++side)
                smooth_side(sides.data() + 2 * first + side, end - first, mid, sorted, sums, last_told, smoothed,
                            looked != nullptr ? looked->data() + 2 * first + side : nullptr, static_cast<std::uint32_t>(first));
        }
    };
    if (!split) {
        lines(0, n);
        return;
    }
    // halves of the segments cut where a line begins: a line is never shared
    std::size_t cut = n / 2;
    while (cut > 0 && cut < n && segs.all[cut].line == segs.all[cut - 1].line) ++cut;
    Helper other([&] { lines(cut, n); });
    if (!other.started()) lines(cut, n);
    lines(0, cut);
    other.join();
}

}  // namespace zorvel

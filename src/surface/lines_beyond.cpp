#include "surface/lines_beyond.h"

#include <algorithm>
#include <cmath>

#include "surface/line_keys.h"

namespace zorvel {

namespace {

// How far beyond a segment's box a square it meets may reach: half a cell
// and crossed_cells' hair, with room to spare.
constexpr double kReachOut = 0.5 + 1e-6;

}  // namespace

LinesBeyond::LinesBeyond(const Segments& segs) : segs_(segs) {
    for (std::uint32_t s = 0; s < segs.all.size(); ++s) place(s, blocks_);
    std::sort(blocks_.begin(), blocks_.end());
}

std::uint64_t LinesBeyond::block_of(int r, int c) const {
    const auto per_row = static_cast<std::uint64_t>(segs_.part.cols / kBlock + 1);
    return static_cast<std::uint64_t>(r / kBlock) * per_row + static_cast<std::uint64_t>(c / kBlock);
}

void LinesBeyond::place(std::uint32_t s, std::vector<std::pair<std::uint64_t, std::uint32_t>>& into) {
    const Segment& g = segs_.all[s];
    const double lo_i = std::min(g.i0, g.i0 + g.di) - kReachOut, hi_i = std::max(g.i0, g.i0 + g.di) + kReachOut;
    const double lo_j = std::min(g.j0, g.j0 + g.dj) - kReachOut, hi_j = std::max(g.j0, g.j0 + g.dj) + kReachOut;
    const int rows = segs_.part.rows, cols = segs_.part.cols;
    // the box's cells within the grid: none where it lies beyond
    if (!(hi_i >= -0.5 && lo_i <= rows - 0.5 && hi_j >= -0.5 && lo_j <= cols - 0.5)) return;
    const int r0 = std::max(0, static_cast<int>(std::floor(std::max(lo_i, -1.0) + 0.5)));
    const int r1 = std::min(rows - 1, static_cast<int>(std::floor(std::min(hi_i, rows + 0.0) + 0.5)));
    const int c0 = std::max(0, static_cast<int>(std::floor(std::max(lo_j, -1.0) + 0.5)));
    const int c1 = std::min(cols - 1, static_cast<int>(std::floor(std::min(hi_j, cols + 0.0) + 0.5)));
    if (r0 > r1 || c0 > c1) return;
    const std::size_t blocks = static_cast<std::size_t>(r1 / kBlock - r0 / kBlock + 1) *
                               static_cast<std::size_t>(c1 / kBlock - c0 / kBlock + 1);
    if (blocks > kLong) {
        long_.push_back(s);
        return;
    }
    for (int br = r0 / kBlock; br <= r1 / kBlock; ++br)
        for (int bc = c0 / kBlock; bc <= c1 / kBlock; ++bc) into.emplace_back(block_of(br * kBlock, bc * kBlock), s);
}

void LinesBeyond::add(std::uint32_t s) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> some;
    place(s, some);
    for (const auto& [block, seg] : some) added_.emplace(block, seg);
}

std::optional<std::uint32_t> LinesBeyond::line_at(int r, int c) const {
    if (r < 0 || c < 0 || r >= segs_.part.rows || c >= segs_.part.cols) return std::nullopt;
    LineKey nearest = kNoLine;
    const auto look = [&](std::uint32_t s) {
        bool meets = false;
        crossed_cells_within(segs_, s, r, r, c, c, [&](int, int) { meets = true; });
        if (!meets) return;
        // the key of the sweeps' seeds, in the part's numbering of cells
        nearest = std::min(nearest, line_key(segs_.distance(s, r - segs_.part.i0, c - segs_.part.j0), s));
    };
    const std::uint64_t block = block_of(r, c);
    const auto first = std::lower_bound(blocks_.begin(), blocks_.end(), std::pair{block, std::uint32_t{0}});
    for (auto it = first; it != blocks_.end() && it->first == block; ++it) look(it->second);
    const auto [lo, hi] = added_.equal_range(block);
    for (auto it = lo; it != hi; ++it) look(it->second);
    for (const std::uint32_t s : long_) look(s);
    if (nearest == kNoLine) return std::nullopt;
    return segs_.all[segment_of(nearest)].line;
}

}  // namespace zorvel

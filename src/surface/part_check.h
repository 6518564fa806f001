// What a part of the grid can vouch for when it is filled alone: the cells
// whose elevation it gives to the last bit as the whole grid's fill would.
//
// A part holds every segment of the drawing but only its own cells, and
// nothing reaches it from the cells beyond its cut edges (a cut edge is
// one that is not the grid's). So:
//  - A cell's two nearest levels are sure when the second is nearer than
//    any way in from beyond a cut edge could bring a level: every step
//    costs at least a cell, so a key nearer than the cell's distance to
//    the cut (in steps) was made inside the part, as the whole grid makes
//    it.
//  - An area of one level (cells one level alone reaches, eight-connected)
//    is sure when it keeps a cell off every cut edge and every cell around
//    it is sure: nothing the whole grid has could reach it but through them.
//  - A segment's bands are sure when every cell that has it as one of its
//    two nearest is sure with every neighbour sure, and every cell it
//    crosses lies in the part and is sure: a level spreads from cell to
//    cell, so a cell beyond the part holding the segment would be reached
//    through one of them. Its sums are then made of the same cells in the
//    same order as the whole grid's (side_bands.h, surface_fill.h).
//  - A side's bands along its line are sure when every segment its stretch
//    looked at is.
#ifndef ZORVEL_PART_CHECK_H
#define ZORVEL_PART_CHECK_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "surface/near_lines.h"
#include "surface/segments.h"

namespace zorvel {

// The fill marks each cell of an area of one level with its area's number
// in b, under this bit (a distance never reaches it).
constexpr LineKey kAreaMark = LineKey{1} << 63;
inline bool marked(LineKey b) { return b != kNoLine && (b & kAreaMark) != 0; }

// Marks `mark` into b of the cells of rows i0..i0+rows-1 and columns
// j0..j0+cols-1 four-connected among those `lone` takes (places in g) to
// (i0 + r, j0 + c), run by run; how many. A marked cell is taken no more.
template <typename Lone>
std::uint64_t mark_four_connected(NearLines& g, int i0, int j0, int rows, int cols, int r, int c, LineKey mark,
                                  Lone&& lone) {
    LineKey* b = g.b();
    const auto place = [&](int pr, int pc) { return g.at(i0 + pr, j0 + pc); };
    std::uint64_t n = 0;
    std::vector<std::pair<int, int>> seeds{{r, c}};
    while (!seeds.empty()) {
        const auto [sr, sc] = seeds.back();
        seeds.pop_back();
        if (!lone(place(sr, sc))) continue;
        int lo = sc, hi = sc;
        while (lo > 0 && lone(place(sr, lo - 1))) --lo;
        while (hi + 1 < cols && lone(place(sr, hi + 1))) ++hi;
        for (int x = lo; x <= hi; ++x) b[place(sr, x)] = mark;
        n += static_cast<std::uint64_t>(hi - lo + 1);
        // a seed for each run of such cells beside the run, above and below
        for (const int nr : {sr - 1, sr + 1}) {
            if (nr < 0 || nr >= rows) continue;
            for (int x = lo; x <= hi; ++x)
                if (lone(place(nr, x)) && (x == lo || !lone(place(nr, x - 1)))) seeds.push_back({nr, x});
        }
    }
    return n;
}

// How many steps from cell (i, j) of a part (counted from its first) to the
// nearest cell beyond a cut edge; 2^40 in a part without cut edges.
long long steps_to_cut(const GridPart& p, int i, int j);

// The segments [first, last] that a side's stretch looked at, each side of
// each segment (2 s + side).
using Consulted = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

class PartCheck {
public:
    // The nearest levels settled and the areas marked.
    PartCheck(const Segments& segs, const NearLines& g);

    // Whether cell (i, j) of the part has its two nearest (or its area) as in the whole grid.
    bool sure(int i, int j) const { return (state_[g_.at(i, j)] & kSure) != 0; }
    // Whether the bands of side `side` (2 s + its side of segment s) are the whole grid's.
    bool side_sure(std::size_t side) const;
    // What each side's stretch looked at (the sides' bands as smoothed).
    void take(Consulted&& consulted) { consulted_ = std::move(consulted); }

private:
    // a cell's state: sure, and inside (its neighbours sure too); an area's cells also seen
    static constexpr unsigned char kUnsure = 0, kSure = 1, kInside = 2, kSeen = 4;

    long long to_cut(int i, int j) const { return steps_to_cut(segs_.part, i, j); }
    void settle_keys();
    void settle_areas();
    void settle_segments();

    const Segments& segs_;
    const NearLines& g_;
    std::vector<unsigned char> state_;        // a cell's, border included
    std::vector<std::uint32_t> unsure_upto_;  // segments before s whose bands are not sure
    Consulted consulted_;
};

}  // namespace zorvel

#endif

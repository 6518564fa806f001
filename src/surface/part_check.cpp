#include "surface/part_check.h"

#include <algorithm>

namespace zorvel {

namespace {

// Farther from a cut than any key reaches: a part without cut edges.
constexpr long long kNoCut = 1LL << 40;

// How far a segment may come towards a cut edge without meeting a square
// beyond it: half a cell, less a little more than crossed_cells' hair.
constexpr double kClear = 0.5 - 1e-6;

}  // namespace

PartCheck::PartCheck(const Segments& segs, const NearLines& g)
    : segs_(segs), g_(g), state_(NearLines::cells(g.nb_lig(), g.nb_col()), kUnsure) {
    settle_keys();
    settle_areas();
    settle_segments();
}

long long steps_to_cut(const GridPart& p, int i, int j) {
    long long d = kNoCut;
    if (p.i0 > 0) d = std::min<long long>(d, i + 1);
    if (p.i0 + p.nb_lig < p.rows) d = std::min<long long>(d, p.nb_lig - i);
    if (p.j0 > 0) d = std::min<long long>(d, j + 1);
    if (p.j0 + p.nb_col < p.cols) d = std::min<long long>(d, p.nb_col - j);
    return d;
}

void PartCheck::settle_keys() {
    const int lig = g_.nb_lig(), col = g_.nb_col();
    // the border: beyond the grid's edge there is no cell to doubt, beyond a cut there is
    for (int i = -1; i <= lig; ++i)
        for (int j = -1; j <= col; ++j) {
            const bool border = i < 0 || i >= lig || j < 0 || j >= col;
            if (!border) continue;
            // a border cell lies beyond a cut edge when its row or column does
            const GridPart& p = segs_.part;
            const bool cut = (i < 0 && p.i0 > 0) || (i >= lig && p.i0 + lig < p.rows) || (j < 0 && p.j0 > 0) ||
                             (j >= col && p.j0 + col < p.cols);
            state_[g_.at(i, j)] = cut ? kUnsure : kSure;
        }
    const KeysInDoubles a = g_.a();
    const LineKey* b = g_.b();
    for (int i = 0; i < lig; ++i)
        for (int j = 0; j < col; ++j) {
            const std::size_t k = g_.at(i, j);
            if (a[k] == kNoLine || b[k] == kNoLine || marked(b[k])) continue;
            if (static_cast<long long>(distance_of(b[k])) < kUnitsPerCell * to_cut(i, j)) state_[k] = kSure;
        }
}

void PartCheck::settle_areas() {
    const int lig = g_.nb_lig(), col = g_.nb_col();
    const LineKey* b = g_.b();
    std::vector<std::size_t> area, todo;
    for (int i = 0; i < lig; ++i)
        for (int j = 0; j < col; ++j) {
            const std::size_t k0 = g_.at(i, j);
            if (!marked(b[k0]) || (state_[k0] & kSeen) != 0) continue;
            // the eight-connected cells of areas about this one
            bool sure = true;
            area.clear();
            todo.assign(1, k0);
            state_[k0] = kSeen;
            while (!todo.empty()) {
                const std::size_t k = todo.back();
                todo.pop_back();
                area.push_back(k);
                const int ci = static_cast<int>(k / static_cast<std::size_t>(g_.width())) - 1;
                const int cj = static_cast<int>(k % static_cast<std::size_t>(g_.width())) - 1;
                if (to_cut(ci, cj) < 2) sure = false;
                for (int di = -1; di <= 1; ++di)
                    for (int dj = -1; dj <= 1; ++dj) {
                        const std::size_t m = g_.at(ci + di, cj + dj);
                        const bool inside = ci + di >= 0 && ci + di < lig && cj + dj >= 0 && cj + dj < col;
                        if (inside && marked(b[m])) {
                            if ((state_[m] & kSeen) == 0) {
                                state_[m] = kSeen;
                                todo.push_back(m);
                            }
                        } else if ((state_[m] & kSure) == 0) {
                            sure = false;
                        }
                    }
            }
            for (const std::size_t k : area) state_[k] = sure ? kSeen | kSure : kSeen;
        }
}

void PartCheck::settle_segments() {
    const int lig = g_.nb_lig(), col = g_.nb_col();
    // a cell is inside when it and its eight neighbours are sure
    for (int i = 0; i < lig; ++i)
        for (int j = 0; j < col; ++j) {
            const std::size_t k = g_.at(i, j);
            if ((state_[k] & kSure) == 0) continue;
            bool inside = true;
            for (int di = -1; di <= 1 && inside; ++di)
                for (int dj = -1; dj <= 1; ++dj) inside = inside && (state_[g_.at(i + di, j + dj)] & kSure) != 0;
            if (inside) state_[k] |= kInside;
        }
    // a segment is doubted where a cell holds it that is not inside
    std::vector<unsigned char> doubted(segs_.all.size(), 0);
    const KeysInDoubles a = g_.a();
    const LineKey* b = g_.b();
    for (int i = 0; i < lig; ++i)
        for (int j = 0; j < col; ++j) {
            const std::size_t k = g_.at(i, j);
            if ((state_[k] & kInside) != 0) continue;
            if (a[k] != kNoLine) doubted[segment_of(a[k])] = 1;
            if (b[k] != kNoLine && !marked(b[k])) doubted[segment_of(b[k])] = 1;
        }
    // and where it crosses a cell beyond a cut, or one not sure
    const GridPart& p = segs_.part;
    for (std::uint32_t s = 0; s < segs_.all.size(); ++s) {
        if (doubted[s] != 0) continue;
        const Segment& g = segs_.all[s];
        const double lo_i = std::min(g.i0, g.i0 + g.di), hi_i = std::max(g.i0, g.i0 + g.di);
        const double lo_j = std::min(g.j0, g.j0 + g.dj), hi_j = std::max(g.j0, g.j0 + g.dj);
        if ((p.i0 > 0 && !(lo_i >= p.i0 - kClear)) || (p.i0 + p.nb_lig < p.rows && !(hi_i <= p.i0 + p.nb_lig - 1 + kClear)) ||
            (p.j0 > 0 && !(lo_j >= p.j0 - kClear)) || (p.j0 + p.nb_col < p.cols && !(hi_j <= p.j0 + p.nb_col - 1 + kClear))) {
            doubted[s] = 1;
            continue;
        }
        crossed_cells(segs_, s, [&](int i, int j) {
            if ((state_[g_.at(i, j)] & kSure) == 0) doubted[s] = 1;
        });
    }
    unsure_upto_.assign(segs_.all.size() + 1, 0);
    for (std::size_t s = 0; s < doubted.size(); ++s) unsure_upto_[s + 1] = unsure_upto_[s] + doubted[s];
}

bool PartCheck::side_sure(std::size_t side) const {
    if (side >= consulted_.size()) return false;
    const auto [first, last] = consulted_[side];
    return unsure_upto_[static_cast<std::size_t>(last) + 1] == unsure_upto_[first];
}

}  // namespace zorvel

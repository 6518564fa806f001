#include "surface/level_sweeps.h"

#include <algorithm>

#include "base/threads.h"

namespace zorvel {

namespace {

constexpr std::uint32_t kSide = kUnitsPerCell;  // a step to the side
constexpr std::uint32_t kDiagonal = 362;        // and diagonally: 256 times the square root of 2, rounded
// the steps to the four cells behind in a sweep: beside, behind, and the two diagonals behind
constexpr std::uint32_t kSteps[4] = {kSide, kSide, kDiagonal, kDiagonal};

// A key a step farther on.
LineKey farther(LineKey k, std::uint32_t step) {
    if (k == kNoLine) return kNoLine;
    const std::uint64_t d = std::min<std::uint64_t>((k >> 32) + step, kFarthest);
    return (d << 32) | (k & 0xFFFFFFFFu);
}

class Sweeps {
public:
    Sweeps(const Segments& segs, NearLines& g, const std::vector<std::uint32_t>& level)
        : segs_(segs), g_(g), level_(level) {}

    // Sweeps forward, then backward, and so on until two sweeps in a row
    // change nothing. On two threads the rows are cut in two halves with a
    // row between them that one thread sweeps after the halves: neither half
    // reads a row the other writes, and what crosses the cut arrives a
    // sweep later.
    void spread(bool split) {
        const int n = g_.nb_lig();
        const int mid = n / 2;
        words_ = (static_cast<std::size_t>(g_.nb_col()) + 63) / 64;
        // per row (with a row each side), a bit a cell: what this sweep
        // changed, what the sweep before marked to look at again, and what
        // this one marks for the next
        std::vector<std::uint64_t> now(words_ * static_cast<std::size_t>(n + 2), 0), marked(now.size(), 0),
            marking(now.size(), 0);
        // the changes of the cut's row that the row after it missed, in each direction
        std::vector<std::uint64_t> held[2] = {std::vector<std::uint64_t>(words_, 0), std::vector<std::uint64_t>(words_, 0)};
        int quiet = 0;
        for (int t = 0; quiet < 2; ++t) {
            const int s = t % 2 == 0 ? +1 : -1;
            const bool full = t < 2;
            std::fill(now.begin(), now.end(), 0);
            std::fill(marking.begin(), marking.end(), 0);
            // the second sweep looks at every cell again: the first marks nothing
            std::uint64_t* marks = t > 0 ? marking.data() : nullptr;
            if (!split) {
                sweep(0, n, s, full, marked, now, marks, -1, nullptr);
            } else {
                const int after_cut = s > 0 ? mid + 1 : mid - 1;
                std::vector<std::uint64_t>& missed = held[s > 0 ? 0 : 1];
                Helper other([&] { sweep(0, mid, s, full, marked, now, marks, after_cut, missed.data()); });
                if (!other.started()) sweep(0, mid, s, full, marked, now, marks, after_cut, missed.data());
                sweep(mid + 1, n, s, full, marked, now, marks, after_cut, missed.data());
                other.join();
                sweep(mid, mid + 1, s, full, marked, now, marks, -1, nullptr);
                // the row after the cut took from the cut's row before the
                // cut's changes of this sweep: the next sweep this way looks again
                const std::uint64_t* cut = now.data() + static_cast<std::size_t>(mid + 1) * words_;
                std::copy(cut, cut + words_, missed.begin());
            }
            const bool any = std::any_of(now.begin(), now.end(), [](std::uint64_t w) { return w != 0; });
            quiet = any ? 0 : quiet + 1;
            marked.swap(marking);
        }
    }

private:
    std::uint32_t level(LineKey k) const { return level_[segment_of(k)]; }
    bool take(LineKey& a, LineKey& b, LineKey c) const { return take_key(a, b, c, level_.data()); }

    // Takes into cell (i, j) what its neighbours behind in a sweep reach:
    // the side cell behind and the three cells of the row behind. True when
    // it changed.
    bool relax(int i, int j, std::ptrdiff_t back, std::ptrdiff_t up, int di) {
        const unsigned char* flags = g_.flags();
        const std::size_t k = g_.at(i, j);
        const unsigned char fx = flags[k];
        // two levels of its own: nothing from a neighbour comes nearer than a
        // segment across the cell itself
        if ((fx & NearLines::kSeedB) != 0) return false;
        const std::ptrdiff_t from[4] = {back, up, up + back, up - back};
        const auto at = [&](int n) { return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(k) + from[n]); };
        if (((fx | flags[at(0)] | flags[at(1)] | flags[at(2)] | flags[at(3)]) & NearLines::kLine) == 0)
            return relax_away(k, from);
        return relax_near(i, j, k, from, di);
    }

    // A cell away from the lines (most cells): no rule applies, each
    // neighbour hands on its two levels, a step farther.
    bool relax_away(std::size_t k, const std::ptrdiff_t (&from)[4]) {
        const KeysInDoubles a = g_.a();
        LineKey* b = g_.b();
        const LineKey xa = a[k], xb = b[k];
        LineKey na = xa, nb = xb;
        for (int n = 0; n < 4; ++n) {
            const std::size_t m = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(k) + from[n]);
            if (const LineKey c = farther(a[m], kSteps[n]); c < nb) take(na, nb, c);
            if (const LineKey c = farther(b[m], kSteps[n]); c < nb) take(na, nb, c);
        }
        if (na == xa && nb == xb) return false;
        a.set(k, na);
        b[k] = nb;
        return true;
    }

    // A line cell, or a cell beside one: what the neighbours hand on, a step
    // farther (a line cell its own levels alone), as the rules allow.
    bool relax_near(int i, int j, std::size_t k, const std::ptrdiff_t (&from)[4], int di) {
        const KeysInDoubles a = g_.a();
        LineKey* b = g_.b();
        unsigned char* flags = g_.flags();
        const unsigned char fx = flags[k];
        const LineKey xa = a[k], xb = b[k];
        LineKey offered[8];
        LineKey nearest = kNoLine;
        for (int n = 0; n < 4; ++n) {
            const std::size_t m = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(k) + from[n]);
            const unsigned char fn = flags[m];
            const bool from_line = (fn & NearLines::kLine) != 0;
            offered[2 * n] = from_line && (fn & NearLines::kSeedA) == 0 ? kNoLine : farther(a[m], kSteps[n]);
            offered[2 * n + 1] = from_line && (fn & NearLines::kSeedB) == 0 ? kNoLine : farther(b[m], kSteps[n]);
            nearest = std::min(nearest, std::min(offered[2 * n], offered[2 * n + 1]));
        }
        // nothing nearer than the second: nothing changes
        if (nearest >= xb) return false;
        LineKey na = xa, nb = xb;
        // a line cell takes another level only from its centre's side of its
        // nearest own segment, by a way across no other segment that meets it
        const bool line = (fx & NearLines::kLine) != 0;
        const bool seed_a = (fx & NearLines::kSeedA) != 0;
        const int dj = static_cast<int>(from[0]);  // the column of the cell behind: -1 forward, +1 backward
        const int ni[4] = {i, i + di, i + di, i + di}, nj[4] = {j + dj, j, j + dj, j - dj};
        for (int n = 0; n < 4; ++n) {
            const std::size_t m = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(k) + from[n]);
            for (int which = 0; which < 2; ++which) {
                const LineKey c = offered[2 * n + which];
                if (c >= nb) continue;
                // what take() refuses whatever the rules below: the nearest's level, no nearer
                if (na != kNoLine && c >= na && level(c) == level(na)) continue;
                // a line cell hands each level on only to its side of every
                // segment of another level that meets it: a cell of two
                // levels of the other's, a crowded one of the others' too
                if ((flags[m] & (NearLines::kSeedB | NearLines::kCrowded)) != 0) {
                    const GridPoint p = segs_.nearest_point(segment_of(c), i, j);
                    if ((flags[m] & NearLines::kSeedB) != 0 &&
                        !segs_.same_side(segment_of(which == 0 ? b[m] : a[m]), segs_.centre(i, j), p))
                        continue;
                    if ((flags[m] & NearLines::kCrowded) != 0 && !beside_others(m, level(c), i, j, p)) continue;
                }
                if (line && seed_a && level(c) != level(xa) &&
                    ((g_.crossed()[k] >> neighbour_bit(ni[n] - i, nj[n] - j)) & 1) != 0)
                    continue;
                take(na, nb, c);
            }
        }
        if (na == xa && nb == xb) return false;
        a.set(k, na);
        b[k] = nb;
        // seeds are never made again, only moved or dropped
        if (line)
            flags[k] = static_cast<unsigned char>((fx & NearLines::kCrowded) | NearLines::kLine |
                                                  (seed_a && na == xa ? NearLines::kSeedA : 0) |
                                                  (seed_a && nb == xa ? NearLines::kSeedB : 0));
        return true;
    }

    // Whether (i, j) lies on p's side of every segment of crowded cell m
    // besides its two nearest whose level is not `lv`.
    bool beside_others(std::size_t m, std::uint32_t lv, int i, int j, const GridPoint& p) const {
        const auto [first, last] = g_.others(m);
        for (const std::uint32_t* o = first; o != last; ++o)
            if (level_[*o] != lv && !segs_.same_side(*o, segs_.centre(i, j), p)) return false;
        return true;
    }

    // After cell k, (i, j), took na and nb in place of xa and xb in a sweep
    // (back and up its ways to the cells it takes from, in the row behind
    // di): marks in `marks` (the next sweep's, the other way, in which those
    // cells take from k) each of them that a new key, a step farther, would
    // change as take() has it. A cell left unmarked would take nothing: its
    // keys only come nearer, so what it refuses now it refuses then. A line
    // cell that had let its own nearest go would be marked whatever the keys
    // (no longer keeping to its segment's side, it may take what it was
    // refused): a guard, since the sweeps never move a line cell's own
    // nearest, which meets its square within 181 units of its centre, while
    // a neighbour's key comes from at least 256 away.
    void mark_back(std::size_t k, int i, int j, std::ptrdiff_t back, std::ptrdiff_t up, int di, LineKey xa, LineKey xb,
                   std::uint64_t* marks) const {
        const KeysInDoubles a = g_.a();
        const LineKey* b = g_.b();
        const unsigned char* flags = g_.flags();
        const LineKey na = a[k], nb = b[k];
        const LineKey fresh[2] = {na != xa ? na : kNoLine, nb != xb && nb != xa ? nb : kNoLine};
        const std::ptrdiff_t from[4] = {back, up, up + back, up - back};
        const int mi[4] = {i, i + di, i + di, i + di};
        const int mj[4] = {j + static_cast<int>(back), j, j + static_cast<int>(back), j - static_cast<int>(back)};
        for (int n = 0; n < 4; ++n) {
            if (mi[n] < 0 || mi[n] >= g_.nb_lig() || mj[n] < 0 || mj[n] >= g_.nb_col()) continue;
            const std::size_t m = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(k) + from[n]);
            const unsigned char fm = flags[m];
            if ((fm & NearLines::kSeedB) != 0) continue;  // takes nothing
            bool look = (fm & NearLines::kLine) != 0 && (fm & NearLines::kSeedA) == 0;
            const LineKey ma = a[m], mb = b[m];
            for (const LineKey c : fresh) {
                if (look || c == kNoLine) continue;
                const LineKey o = farther(c, kSteps[n]);
                look = o < mb && (o < ma || (segment_of(o) != segment_of(ma) && level(o) != level(ma)));
            }
            if (look)
                marks[static_cast<std::size_t>(mi[n] + 1) * words_ + static_cast<std::size_t>(mj[n]) / 64] |=
                    std::uint64_t{1} << (mj[n] % 64);
        }
    }

    // One sweep over rows [r0, r1) in direction s (+1 forward, from the
    // first cell to the last; -1 backward). A full sweep goes over every
    // cell; otherwise a cell is looked at again only when the sweep before
    // marked it (`marked`, mark_back), or a cell it takes from changed in
    // this one (`missed`: the changes row `missed_row` did not see in the
    // sweep before this way). Where `marks` is given, each change marks the
    // cells that the next sweep is to look at again.
    void sweep(int r0, int r1, int s, bool full, const std::vector<std::uint64_t>& marked,
               std::vector<std::uint64_t>& now, std::uint64_t* marks, int missed_row, const std::uint64_t* missed) {
        const std::ptrdiff_t back = -s, up = -s * g_.width();
        const int nb_col = g_.nb_col();
        const std::size_t words = words_;
        std::vector<std::uint64_t> look(words);
        const int first = s > 0 ? r0 : r1 - 1, end = s > 0 ? r1 : r0 - 1;
        const auto bits = [&](const std::vector<std::uint64_t>& v, int i) {
            return v.data() + static_cast<std::size_t>(i + 1) * words;
        };
        // relaxes (i, j); whether it changed, its marks made
        const auto relaxed = [&](int i, int j) {
            if (marks == nullptr) return relax(i, j, back, up, -s);
            const std::size_t k = g_.at(i, j);
            const LineKey xa = g_.a()[k], xb = g_.b()[k];
            if (!relax(i, j, back, up, -s)) return false;
            mark_back(k, i, j, back, up, -s, xa, xb, marks);
            return true;
        };
        for (int i = first; i != end; i += s) {
            std::uint64_t* changed = now.data() + static_cast<std::size_t>(i + 1) * words;
            if (full) {
                for (int j = s > 0 ? 0 : nb_col - 1; j != (s > 0 ? nb_col : -1); j += s)
                    if (relaxed(i, j)) changed[static_cast<std::size_t>(j) / 64] |= std::uint64_t{1} << (j % 64);
                continue;
            }
            // the cells the sweep before marked, those beside or below a
            // change in the row behind, and those after a change in this row
            const std::uint64_t* n1 = bits(now, i - s);
            const std::uint64_t* m0 = bits(marked, i);
            const std::uint64_t* h1 = i == missed_row ? missed : nullptr;
            const auto behind = [&](std::size_t w) { return n1[w] | (h1 != nullptr ? h1[w] : 0); };
            bool any = false;
            for (std::size_t w = 0; w < words; ++w) {
                const std::uint64_t r = behind(w);
                const std::uint64_t lower = w > 0 ? behind(w - 1) >> 63 : 0;
                const std::uint64_t upper = w + 1 < words ? behind(w + 1) << 63 : 0;
                look[w] = r | (r << 1) | (r >> 1) | lower | upper | m0[w];
                any |= look[w] != 0;
            }
            if (!any) continue;
            // in sweep order; a change carries on to the next cell of the row
            bool carry = false;
            for (std::size_t k = 0; k < words; ++k) {
                const std::size_t w = s > 0 ? k : words - 1 - k;
                if (look[w] == 0 && !carry) continue;
                const int base = static_cast<int>(w) * 64;
                const int lo = base, hi = std::min(nb_col, base + 64);
                for (int j = s > 0 ? lo : hi - 1; j != (s > 0 ? hi : lo - 1); j += s) {
                    if (!carry && ((look[w] >> (j - base)) & 1) == 0) continue;
                    carry = relaxed(i, j);
                    if (carry) changed[w] |= std::uint64_t{1} << (j - base);
                }
            }
        }
    }

    const Segments& segs_;
    NearLines& g_;
    const std::vector<std::uint32_t>& level_;  // each segment's level's code
    std::size_t words_ = 0;                    // of a row's change bits
};

}  // namespace

void spread_levels(const Segments& segs, NearLines& g, const std::vector<std::uint32_t>& level, bool split) {
    Sweeps(segs, g, level).spread(split);
}

}  // namespace zorvel

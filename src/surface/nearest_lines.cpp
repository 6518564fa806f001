#include "surface/nearest_lines.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/threads.h"
#include "surface/lines_beyond.h"

namespace zorvel {

namespace {

constexpr std::uint32_t kSide = kUnitsPerCell;  // a step to the side
constexpr std::uint32_t kDiagonal = 362;        // and diagonally: 256 times the square root of 2, rounded
// the steps to the four cells behind in a sweep: beside, behind, and the two diagonals behind
constexpr std::uint32_t kSteps[4] = {kSide, kSide, kDiagonal, kDiagonal};

// A grid this small is swept on one thread.
constexpr long long kSharedCells = 1 << 16;

// A key a step farther on.
LineKey farther(LineKey k, std::uint32_t step) {
    if (k == kNoLine) return kNoLine;
    const std::uint64_t d = std::min<std::uint64_t>((k >> 32) + step, kFarthest);
    return (d << 32) | (k & 0xFFFFFFFFu);
}

class Propagation {
public:
    Propagation(const Segments& segs, NearLines& g) : segs_(segs), g_(g), level_(segs.all.size()) {
        for (std::size_t s = 0; s < segs.all.size(); ++s) level_[s] = segs.all[s].level;
    }

    std::uint32_t level(LineKey k) const { return level_[segment_of(k)]; }

    // Takes candidate c into the two nearest a and b; whether they changed.
    bool take(LineKey& a, LineKey& b, LineKey c) const {
        if (c >= b) return false;  // neither nearer than the second nor a better distance to either
        // neighbours mostly hand on the cell's own nearest segment: its level without a look-up
        if (a != kNoLine && (segment_of(c) == segment_of(a) || level(c) == level(a))) {
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

    // Takes candidate c into cell k's two nearest.
    void take_into(const KeysInDoubles& a, LineKey* b, std::size_t k, LineKey c) const {
        LineKey na = a[k];
        if (take(na, b[k], c)) a.set(k, na);
    }

    // Takes segment s into line cell k, at key c; where s is not the first
    // segment to meet it, every segment that does is kept in `met` (and the
    // cell marked kCrowded until the sweeps, when it means what it says).
    void seed_into(std::size_t k, std::uint32_t s, LineKey c, SegmentsMet& met) {
        const KeysInDoubles a = g_.a();
        unsigned char& f = g_.flags()[k];
        if (a[k] != kNoLine) {
            if ((f & NearLines::kCrowded) == 0) {
                met.emplace_back(k, segment_of(a[k]));
                if (g_.b()[k] != kNoLine) met.emplace_back(k, segment_of(g_.b()[k]));
            }
            met.emplace_back(k, s);
            f |= NearLines::kCrowded;
        }
        f |= NearLines::kLine;
        take_into(a, g_.b(), k, c);
    }

    // The flags of a line cell k once its segments are in: its own nearest,
    // its second nearest too when it has two levels.
    void seeded(std::size_t k) {
        unsigned char& f = g_.flags()[k];
        f = static_cast<unsigned char>((f & NearLines::kCrowded) | NearLines::kLine | NearLines::kSeedA |
                                       (g_.b()[k] != kNoLine ? NearLines::kSeedB : 0));
    }

    // Every line cell, reached by its segments' levels; on two threads, each
    // the cells of half the rows.
    void seed(bool split) {
        split_ = split;
        unsigned char* flags = g_.flags();
        const auto rows = [&](int first, int last, SegmentsMet& met) {
            const int row0 = segs_.part.i0;
            for (std::uint32_t s = 0; s < segs_.all.size(); ++s) {
                // most segments lie in the other half
                const Segment& g = segs_.all[s];
                if (std::max(g.i0, g.i0 + g.di) < row0 + first - 1 || std::min(g.i0, g.i0 + g.di) > row0 + last) continue;
                crossed_cells(
                    segs_, s,
                    [&](int i, int j) { seed_into(g_.at(i, j), s, line_key(segs_.distance(s, i, j), s), met); }, first,
                    last);
            }
            for (int i = first; i < last; ++i)
                for (std::size_t k = g_.at(i, 0), end = k + static_cast<std::size_t>(g_.nb_col()); k < end; ++k)
                    if (flags[k] != 0) seeded(k);
        };
        const int mid = g_.nb_lig() / 2;
        if (!split) {
            rows(0, g_.nb_lig(), met_[0]);
            return;
        }
        Helper other([&] { rows(0, mid, met_[1]); });
        if (!other.started()) rows(0, mid, met_[1]);
        rows(mid, g_.nb_lig(), met_[0]);
        other.join();
    }

    // Every end of a line short of the grid's edge runs on the way its last
    // segment goes, to the first cell of another line or the grid's edge: a
    // line does not stop in the middle of the land, its survey does. In a
    // part of the grid each run-on is the whole grid's, its steps beyond the
    // part looked up among the segments (lines_beyond.h).
    void run_on(Segments& segs) {
        const GridPart& part = segs.part;
        std::optional<LinesBeyond> beyond;
        const std::size_t ends = segs.ends.size();
        for (std::size_t e = 0; e < ends; ++e) {
            const End end = segs.ends[e];
            const Segment g = segs.all[end.segment];
            const double len = std::sqrt(g.di * g.di + g.dj * g.dj);
            if (!(len > 0.0)) continue;
            // from the end, away from the line
            const double ui = (end.at_start ? -g.di : g.di) / len, uj = (end.at_start ? -g.dj : g.dj) / len;
            const double pi = end.at_start ? g.i0 : g.i0 + g.di, pj = end.at_start ? g.j0 : g.j0 + g.dj;
            double t = 0.0;
            constexpr double kStep = 0.25;
            for (;;) {
                const double qi = pi + (t + kStep) * ui, qj = pj + (t + kStep) * uj;
                if (qi < -0.5 || qj < -0.5 || qi > part.rows - 0.5 || qj > part.cols - 0.5) {
                    t += 2 * kStep;  // across the edge
                    break;
                }
                const int r = static_cast<int>(std::floor(qi + 0.5)) - part.i0, c = static_cast<int>(std::floor(qj + 0.5)) - part.j0;
                if (r >= -1 && r <= part.nb_lig && c >= -1 && c <= part.nb_col &&
                    (part.is_whole() || (r >= 0 && r < part.nb_lig && c >= 0 && c < part.nb_col))) {
                    const std::size_t k = g_.at(r, c);
                    const unsigned char f = g_.flags()[k];
                    if ((f & NearLines::kLine) != 0 && (f & NearLines::kSeedA) != 0 &&
                        segs.all[segment_of(g_.a()[k])].line != g.line)
                        break;
                } else {
                    if (!beyond) beyond.emplace(segs);
                    const auto line = beyond->line_at(r + part.i0, c + part.j0);
                    if (line && *line != g.line) break;
                }
                t += kStep;
            }
            if (t <= 0.0) continue;
            const std::uint32_t s = static_cast<std::uint32_t>(segs.all.size());
            segs.all.push_back(Segment{pi, pj, t * ui, t * uj, g.arc, g.level, g.line});
            level_.push_back(g.level);
            if (beyond) beyond->add(s);
            // before the levels spread, a line cell holds its own segments alone
            crossed_cells(segs, s, [&](int i, int j) {
                const std::size_t k = g_.at(i, j);
                seed_into(k, s, line_key(segs.distance(s, i, j), s), met_[2]);
                seeded(k);
            });
        }
        g_.take_others(met_, split_, segs, level_);
    }

    // Sweeps forward, then backward, and so on until two sweeps in a row
    // change nothing. On two threads the rows are cut in two halves with a
    // row between them that one thread sweeps after the halves: neither half
    // reads a row the other writes, and what crosses the cut arrives a
    // sweep later.
    void spread(bool split) {
        const int n = g_.nb_lig();
        const int mid = n / 2;
        words_ = (static_cast<std::size_t>(g_.nb_col()) + 63) / 64;
        // per row (with a row each side), a bit a cell: what the sweep before changed, and this one
        std::vector<std::uint64_t> before(words_ * static_cast<std::size_t>(n + 2), 0), now(before.size(), 0);
        // the changes of the cut's row that the row after it missed, in each direction
        std::vector<std::uint64_t> held[2] = {std::vector<std::uint64_t>(words_, 0), std::vector<std::uint64_t>(words_, 0)};
        int quiet = 0;
        for (int t = 0; quiet < 2; ++t) {
            const int s = t % 2 == 0 ? +1 : -1;
            const bool full = t < 2;
            std::fill(now.begin(), now.end(), 0);
            if (!split) {
                sweep(0, n, s, full, before, now, -1, nullptr);
            } else {
                const int after_cut = s > 0 ? mid + 1 : mid - 1;
                std::vector<std::uint64_t>& missed = held[s > 0 ? 0 : 1];
                Helper other([&] { sweep(0, mid, s, full, before, now, after_cut, missed.data()); });
                if (!other.started()) sweep(0, mid, s, full, before, now, after_cut, missed.data());
                sweep(mid + 1, n, s, full, before, now, after_cut, missed.data());
                other.join();
                sweep(mid, mid + 1, s, full, before, now, -1, nullptr);
                // the row after the cut took from the cut's row before the
                // cut's changes of this sweep: the next sweep this way looks again
                const std::uint64_t* cut = now.data() + static_cast<std::size_t>(mid + 1) * words_;
                std::copy(cut, cut + words_, missed.begin());
            }
            const bool any = std::any_of(now.begin(), now.end(), [](std::uint64_t w) { return w != 0; });
            quiet = any ? 0 : quiet + 1;
            before.swap(now);
        }
    }

private:
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
                    (!segs_.same_side(segment_of(xa), segs_.centre(i, j), segs_.centre(ni[n], nj[n])) ||
                     ((g_.crossed()[k] >> neighbour_bit(ni[n] - i, nj[n] - j)) & 1) != 0))
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

    // One sweep over rows [r0, r1) in direction s (+1 forward, from the
    // first cell to the last; -1 backward). A full sweep goes over every
    // cell; otherwise a cell is looked at again only when a cell it takes
    // from changed since it was last looked at: in the sweep before (the
    // other direction) or in this one (`missed`: the changes row `missed_row`
    // did not see in the sweep before this way).
    void sweep(int r0, int r1, int s, bool full, const std::vector<std::uint64_t>& before,
               std::vector<std::uint64_t>& now, int missed_row, const std::uint64_t* missed) {
        const std::ptrdiff_t back = -s, up = -s * g_.width();
        const int nb_col = g_.nb_col();
        const std::size_t words = words_;
        std::vector<std::uint64_t> look(words);
        const int first = s > 0 ? r0 : r1 - 1, end = s > 0 ? r1 : r0 - 1;
        const auto bits = [&](const std::vector<std::uint64_t>& v, int i) {
            return v.data() + static_cast<std::size_t>(i + 1) * words;
        };
        for (int i = first; i != end; i += s) {
            std::uint64_t* changed = now.data() + static_cast<std::size_t>(i + 1) * words;
            if (full) {
                for (int j = s > 0 ? 0 : nb_col - 1; j != (s > 0 ? nb_col : -1); j += s)
                    if (relax(i, j, back, up, -s)) changed[static_cast<std::size_t>(j) / 64] |= std::uint64_t{1} << (j % 64);
                continue;
            }
            // the cells beside or below a change in the row behind, and those
            // after a change in this row
            const std::uint64_t* b1 = bits(before, i - s);
            const std::uint64_t* n1 = bits(now, i - s);
            const std::uint64_t* b0 = bits(before, i);
            const std::uint64_t* h1 = i == missed_row ? missed : nullptr;
            const auto behind = [&](std::size_t w) { return b1[w] | n1[w] | (h1 != nullptr ? h1[w] : 0); };
            bool any = false;
            for (std::size_t w = 0; w < words; ++w) {
                const std::uint64_t r = behind(w);
                const std::uint64_t lower = w > 0 ? behind(w - 1) >> 63 : 0;
                const std::uint64_t upper = w + 1 < words ? behind(w + 1) << 63 : 0;
                const std::uint64_t spread = r | (r << 1) | (r >> 1) | lower | upper;
                const std::uint64_t own = s > 0 ? (b0[w] << 1) | (w > 0 ? b0[w - 1] >> 63 : 0)
                                                : (b0[w] >> 1) | (w + 1 < words ? b0[w + 1] << 63 : 0);
                look[w] = spread | own;
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
                    carry = relax(i, j, back, up, -s);
                    if (carry) changed[w] |= std::uint64_t{1} << (j - base);
                }
            }
        }
    }

    const Segments& segs_;
    NearLines& g_;
    std::size_t words_ = 0;  // of a row's change bits
    std::vector<std::uint32_t> level_;  // each segment's level's code, close at hand
    // while seeding: the segments of cells that more than one meets, as each
    // thread found them (rows from the middle on, rows before it) and the run-ons
    SegmentsMet met_[3];
    bool split_ = false;
};

}  // namespace

std::unique_ptr<NearLines> nearest_lines(Segments& segs, bool two_threads, std::vector<double>& room) {
    const int nb_lig = segs.part.nb_lig, nb_col = segs.part.nb_col;
    const bool split = two_threads && nb_lig >= 64 && static_cast<long long>(nb_lig) * nb_col >= kSharedCells;
    auto g = std::make_unique<NearLines>(nb_lig, nb_col, split, room);
    Propagation p(segs, *g);
    p.seed(split);
    p.run_on(segs);
    p.spread(split);
    return g;
}

}  // namespace zorvel

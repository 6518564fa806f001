#include "surface/nearest_lines.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/threads.h"
#include "surface/level_sweeps.h"
#include "surface/lines_beyond.h"

namespace zorvel {

namespace {

// A grid this small is swept on one thread.
constexpr long long kSharedCells = 1 << 16;

class Propagation {
public:
    Propagation(const Segments& segs, NearLines& g) : segs_(segs), g_(g), level_(segs.all.size()) {
        for (std::size_t s = 0; s < segs.all.size(); ++s) level_[s] = segs.all[s].level;
    }

    // Takes candidate c into cell k's two nearest.
    void take_into(const KeysInDoubles& a, LineKey* b, std::size_t k, LineKey c) const {
        LineKey na = a[k];
        if (take_key(na, b[k], c, level_.data())) a.set(k, na);
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

    // The levels' codes of the segments, close at hand.
    const std::vector<std::uint32_t>& levels() const { return level_; }

private:
    const Segments& segs_;
    NearLines& g_;
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
    spread_levels(segs, *g, p.levels(), split);
    return g;
}

}  // namespace zorvel

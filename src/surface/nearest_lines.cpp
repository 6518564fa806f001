#include "surface/nearest_lines.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>

#include "base/threads.h"
#include "surface/level_sweeps.h"
#include "surface/lines_beyond.h"

namespace zorvel {

namespace {

// A grid this small is swept on one thread.
constexpr long long kSharedCells = 1 << 16;

// Every end of a line short of the grid's edge runs on the way its last
// segment goes, to the first cell of another line or the grid's edge: a
// line does not stop in the middle of the land, its survey does. line_at(r,
// c) is the polyline of the nearest segment that meets cell (r, c) of the
// grid (in the grid's numbers), nullopt where none does; made(s) is told
// of each run-on, added to the segments, before the next end runs on.
template <typename LineAt, typename Made>
void run_on_ends(Segments& segs, LineAt&& line_at, Made&& made) {
    const GridPart& part = segs.part;
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
            const auto line = line_at(static_cast<int>(std::floor(qi + 0.5)), static_cast<int>(std::floor(qj + 0.5)));
            if (line && *line != g.line) break;
            t += kStep;
        }
        if (t <= 0.0) continue;
        const std::uint32_t s = static_cast<std::uint32_t>(segs.all.size());
        segs.all.push_back(Segment{pi, pj, t * ui, t * uj, g.arc, g.level, g.line});
        made(s);
    }
}

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
        // room for what contours with a vertex about every cell put in the
        // lists (2.5 a segment), had at once and on this thread: grown by
        // doubling, or had on the helper's, they took pages of their own
        // (the Jacksboro contours every 10 m, a million vertices: 133 MB
        // at the job's peak against 109), and pages no process has used
        // for some seconds come slowly on some systems. A help, not a
        // need: where the address space is short, they grow as before.
        const std::size_t room = 3 * segs_.all.size() / (split ? 2 : 1);
        try {
            met_[0].reserve(room);
            if (split) met_[1].reserve(room);
        } catch (const std::bad_alloc&) {
            SegmentsMet{}.swap(met_[0]);
        }
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

    // Every end of a line short of the grid's edge runs on (run_on_ends),
    // a line cell of the part known by its flags and nearest key, one beyond
    // it looked up among the segments (lines_beyond.h).
    void run_on(Segments& segs) {
        const GridPart& part = segs.part;
        std::optional<LinesBeyond> beyond;
        const auto line_at = [&](int r, int c) -> std::optional<std::uint32_t> {
            const int i = r - part.i0, j = c - part.j0;
            if (i >= -1 && i <= part.nb_lig && j >= -1 && j <= part.nb_col &&
                (part.is_whole() || (i >= 0 && i < part.nb_lig && j >= 0 && j < part.nb_col))) {
                const std::size_t k = g_.at(i, j);
                const unsigned char f = g_.flags()[k];
                if ((f & NearLines::kLine) == 0 || (f & NearLines::kSeedA) == 0) return std::nullopt;
                return segs.all[segment_of(g_.a()[k])].line;
            }
            if (!beyond) beyond.emplace(segs);
            return beyond->line_at(r, c);
        };
        run_on_ends(segs, line_at, [&](std::uint32_t s) {
            level_.push_back(segs.all[s].level);
            if (beyond) beyond->add(s);
            // before the levels spread, a line cell holds its own segments alone
            crossed_cells(segs, s, [&](int i, int j) {
                const std::size_t k = g_.at(i, j);
                seed_into(k, s, line_key(segs.distance(s, i, j), s), met_[2]);
                seeded(k);
            });
        });
    }

    // The crowded cells' segments, once every segment is in.
    void take_others(const Segments& segs) { g_.take_others(met_, split_, segs, level_); }

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

// Whether segment s meets a cell of part p.
bool meets(const Segments& segs, std::uint32_t s, const GridPart& p) {
    const Segment& g = segs.all[s];
    // far from it, at a glance
    const double i_lo = std::min(g.i0, g.i0 + g.di), i_hi = std::max(g.i0, g.i0 + g.di);
    const double j_lo = std::min(g.j0, g.j0 + g.dj), j_hi = std::max(g.j0, g.j0 + g.dj);
    if (i_hi < p.i0 - 1 || i_lo > p.i0 + p.nb_lig || j_hi < p.j0 - 1 || j_lo > p.j0 + p.nb_col) return false;
    // or within its cells
    if (i_lo > p.i0 - 0.5 && i_hi < p.i0 + p.nb_lig - 0.5 && j_lo > p.j0 - 0.5 && j_hi < p.j0 + p.nb_col - 0.5) return true;
    bool met = false;
    crossed_cells_within(segs, s, p.i0, p.i0 + p.nb_lig - 1, p.j0, p.j0 + p.nb_col - 1, [&](int, int) { met = true; });
    return met;
}

// A hash of where segments lie and at what level, one after the other: each
// double's bits mixed in (FNV-1a's step on a word, then its high half folded in).
std::uint64_t hashed(std::uint64_t h, const Segment& g, double level) {
    for (const double v : {g.i0, g.j0, g.di, g.dj, level}) {
        h = (h ^ std::bit_cast<std::uint64_t>(v)) * 0x100000001B3ULL;
        h ^= h >> 32;
    }
    return h;
}
constexpr std::uint64_t kHashStart = 0xCBF29CE484222325ULL;

}  // namespace

void keep_part_segments(Segments& segs, const WindowTable* table) {
    const GridPart& part = segs.part;
    const GridPart listed = table != nullptr ? table_part(*table, part.rows, part.cols) : GridPart{};
    const bool from_table = table != nullptr && listed.i0 == part.i0 && listed.j0 == part.j0 &&
                            listed.nb_lig == part.nb_lig && listed.nb_col == part.nb_col;
    // the lines' own segments that meet the table's part: the table's, as
    // many and lying where they did (by the same numbers where every line is read)
    std::vector<std::uint32_t> own;
    bool tables_lines = true;
    if (table != nullptr) {
        std::uint64_t hash = kHashStart;
        for (std::uint32_t s = 0; s < segs.all.size(); ++s)
            if (meets(segs, s, listed)) {
                own.push_back(s);
                hash = hashed(hash, segs.all[s], segs.level_of(s));
            }
        tables_lines = hash == table->kept_hash && (from_table ? own.size() == table->kept.size() : own == table->kept);
    }
    if (!from_table && !segs.ends.empty()) {
        LinesBeyond lines(segs);
        run_on_ends(segs, [&](int r, int c) { return lines.line_at(r, c); }, [&](std::uint32_t s) { lines.add(s); });
    }
    // the part's segments: the table's part's where it is that part
    // and, where every line is read, those the table's ring reaches it from
    std::vector<std::uint32_t> also;
    if (table != nullptr && !from_table && tables_lines) {
        for (const auto& [a, b] : table->ring)
            for (const LineKey k : {a, b})
                if (k != kNoLine) also.push_back(segment_of(k));
        std::sort(also.begin(), also.end());
    }
    std::vector<std::uint32_t> numbers;
    if (from_table)
        numbers.swap(own);
    else
        for (std::uint32_t s = 0; s < segs.all.size(); ++s)
            if (meets(segs, s, part) || std::binary_search(also.begin(), also.end(), s)) numbers.push_back(s);
    std::vector<Segment> kept;
    kept.reserve(numbers.size());
    for (const std::uint32_t s : numbers) kept.push_back(segs.all[s]);
    segs.of_all = tables_lines ? segs.all.size() : 0;  // none of the table's
    segs.all.swap(kept);
    segs.numbers.swap(numbers);
    std::vector<End>().swap(segs.ends);
    segs.ran_on = true;
    if (!from_table || !tables_lines) return;
    segs.numbers = table->kept;
    segs.of_all = table->segments;
    take_table_segments(segs, *table);
}

void run_on_all_ends(Segments& segs) {
    if (!segs.ends.empty()) {
        LinesBeyond lines(segs);
        run_on_ends(segs, [&](int r, int c) { return lines.line_at(r, c); }, [&](std::uint32_t s) { lines.add(s); });
    }
    std::vector<End>().swap(segs.ends);
}

namespace {

constexpr std::size_t kLong = SIZE_MAX;  // the square of a long segment: every part's

// The squares' rows (or columns) from lo to hi (in cells) fall in, within n.
std::pair<int, int> squares_across(double lo, double hi, int side, int n) {
    const auto square = [&](double x) {
        return static_cast<int>(std::clamp(std::floor((x + 0.5) / side), 0.0, static_cast<double>(n - 1)));
    };
    return {square(lo - 1.0), square(hi + 1.0)};
}

}  // namespace

SegmentSquares::SegmentSquares(const Segments& segs)
    : rows_(std::max(1, (segs.part.rows + kSide - 1) / kSide)), cols_(std::max(1, (segs.part.cols + kSide - 1) / kSide)) {
    const auto each = [&](auto&& put) {
        for (std::uint32_t s = 0; s < segs.all.size(); ++s) {
            const Segment& g = segs.all[s];
            // a segment that is not finite meets no cell: its own square, none
            const auto [r0, r1] = squares_across(std::min(g.i0, g.i0 + g.di), std::max(g.i0, g.i0 + g.di), kSide, rows_);
            const auto [c0, c1] = squares_across(std::min(g.j0, g.j0 + g.dj), std::max(g.j0, g.j0 + g.dj), kSide, cols_);
            if (static_cast<long long>(r1 - r0 + 1) * (c1 - c0 + 1) > kSpread) {
                put(kLong, s);
                continue;
            }
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c) put(static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(c), s);
        }
    };
    first_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_) + 1, 0);
    each([&](std::size_t q, std::uint32_t) {
        if (q != kLong) ++first_[q + 1];
    });
    for (std::size_t q = 1; q < first_.size(); ++q) first_[q] += first_[q - 1];
    segments_.resize(first_.back());
    std::vector<std::size_t> at(first_.begin(), first_.end() - 1);
    each([&](std::size_t q, std::uint32_t s) {
        if (q == kLong)
            long_.push_back(s);
        else
            segments_[at[q]++] = s;
    });
}

std::vector<std::uint32_t> SegmentSquares::near(const GridPart& p) const {
    const auto [r0, r1] = squares_across(p.i0, p.i0 + p.nb_lig - 1, kSide, rows_);
    const auto [c0, c1] = squares_across(p.j0, p.j0 + p.nb_col - 1, kSide, cols_);
    std::vector<std::uint32_t> found = long_;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const std::size_t q = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(c);
            found.insert(found.end(), segments_.begin() + static_cast<std::ptrdiff_t>(first_[q]),
                         segments_.begin() + static_cast<std::ptrdiff_t>(first_[q + 1]));
        }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

void list_part_segments(WindowTable& t, const Segments& segs, const SegmentSquares& squares) {
    const GridPart part = table_part(t, segs.part.rows, segs.part.cols);
    t.kept.clear();
    t.run_ons.clear();
    t.kept_hash = kHashStart;
    std::vector<std::uint32_t> met;
    for (const std::uint32_t s : squares.near(part)) {
        if (!meets(segs, s, part)) continue;
        met.push_back(s);
        const Segment& g = segs.all[s];
        if (s < segs.drawn) {
            t.kept.push_back(s);
            t.kept_hash = hashed(t.kept_hash, g, segs.level_of(s));
        } else {
            t.run_ons.push_back(RunOnSegment{s, g.i0, g.j0, g.di, g.dj, segs.level_of(s)});
        }
    }
    // the segments the ring reaches the part from, where the part's lines do not hold them
    std::vector<std::uint32_t> reached;
    for (const auto& [a, b] : t.ring)
        for (const LineKey k : {a, b})
            if (k != kNoLine) reached.push_back(segment_of(k));
    std::sort(reached.begin(), reached.end());
    reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
    t.reached.clear();
    for (const std::uint32_t s : reached)
        if (!std::binary_search(met.begin(), met.end(), s)) {
            const Segment& g = segs.all[s];
            t.reached.push_back(RunOnSegment{s, g.i0, g.j0, g.di, g.dj, segs.level_of(s)});
        }
}

std::unique_ptr<NearLines> nearest_lines(Segments& segs, bool two_threads, std::vector<double>& room,
                                         const PartRing* ring) {
    const int nb_lig = segs.part.nb_lig, nb_col = segs.part.nb_col;
    const bool split = two_threads && nb_lig >= 64 && static_cast<long long>(nb_lig) * nb_col >= kSharedCells;
    auto g = std::make_unique<NearLines>(nb_lig, nb_col, split, room);
    Propagation p(segs, *g);
    p.seed(split);
    if (!segs.ran_on) p.run_on(segs);
    p.take_others(segs);
    g->cross_own_lines(segs, split);
    if (ring != nullptr)
        for (const RingCell& c : *ring)
            for (const LineKey key : {c.a, c.b})
                if (key != kNoLine) p.take_into(g->a(), g->b(), g->at(c.i, c.j), key);
    spread_levels(segs, *g, p.levels(), split);
    return g;
}

}  // namespace zorvel

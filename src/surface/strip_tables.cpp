#include "surface/strip_tables.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <utility>

#include "surface/fill_sums.h"
#include "surface/nearest_lines.h"
#include "surface/part_check.h"
#include "surface/segments.h"
#include "surface/side_bands.h"

namespace zorvel {

namespace {

// A grid this small is filled on one thread.
constexpr long long kSharedCells = 1 << 16;

// A key by the whole grid's segments, from one by a part's.
LineKey whole_key(const Segments& part, LineKey k) {
    return k == kNoLine ? k : (k & ~LineKey{0xFFFFFFFFu}) | part.numbers[segment_of(k)];
}

// A strip's part, its segments and its nearest levels.
struct StripFill {
    Segments segs;
    std::vector<double> room;
    std::unique_ptr<NearLines> g;
    int own = 0;  // the strip's first row, in its part

    std::pair<LineKey, LineKey> keys(int part_row, int j) const {
        const std::size_t k = g->at(part_row, j);
        return {whole_key(segs, g->a()[k]), g->b()[k] == kNoLine || marked(g->b()[k]) ? g->b()[k] : whole_key(segs, g->b()[k])};
    }
};

class StripTables {
public:
    StripTables(const ContourLines& lines, int rows, int cols, std::vector<WindowTable>& tables, bool two)
        : rows_(rows), cols_(cols), tables_(tables), two_(two), whole_(segments_of(lines, GridPart::whole(rows, cols), two)) {
        run_on_all_ends(whole_);
        squares_ = std::make_unique<SegmentSquares>(whole_);
        std::map<int, std::vector<std::size_t>> by_row;
        for (std::size_t w = 0; w < tables.size(); ++w) by_row[tables[w].i0].push_back(w);
        for (auto& [i0, windows] : by_row) strips_.push_back(Strip{i0, tables[windows.front()].nb_lig, std::move(windows)});
        const std::vector<LineKey> none(2 * static_cast<std::size_t>(cols), kNoLine);
        first_.assign(strips_.size(), none);
        last_.assign(strips_.size(), none);
    }

    void make() {
        settle_levels();
        gather_bands_and_pieces();
        number_areas();
        gather_areas_and_tables();
    }

private:
    struct Strip {
        int i0 = 0, rows = 0;
        std::vector<std::size_t> windows;
    };
    struct Piece {
        std::uint64_t first = 0;  // its first cell, row after row in the grid
        std::uint32_t level = 0;
    };

    // Strip n filled, its ring the edge rows its neighbours gave.
    void fill(std::size_t n, StripFill& f) const {
        const Strip& s = strips_[n];
        WindowTable t;
        t.i0 = s.i0, t.j0 = 0, t.nb_lig = s.rows, t.nb_col = cols_;
        for (const auto& [i, j] : ring_cells(t, rows_, cols_)) {
            const std::vector<LineKey>& edge = i < s.i0 ? last_[n - 1] : first_[n + 1];
            t.ring.push_back({edge[2 * static_cast<std::size_t>(j)], edge[2 * static_cast<std::size_t>(j) + 1]});
        }
        list_part_segments(t, whole_, *squares_);
        std::vector<std::uint32_t> numbers = t.kept;
        for (const auto* more : {&t.run_ons, &t.reached})
            for (const RunOnSegment& g : *more) numbers.push_back(g.number);
        std::sort(numbers.begin(), numbers.end());
        f.segs = Segments{};
        f.segs.part = table_part(t, rows_, cols_);
        f.segs.levels = whole_.levels;
        f.segs.lines = whole_.lines;
        f.segs.ran_on = true;
        f.segs.of_all = whole_.all.size();
        f.segs.all.reserve(numbers.size());
        for (const std::uint32_t g : numbers) f.segs.all.push_back(whole_.all[g]);
        f.segs.numbers = std::move(numbers);
        f.segs.drawn = f.segs.all.size();
        // the ring's segments are the part's by construction (list_part_segments)
        const std::optional<PartRing> ring = ring_in_part(t, f.segs);
        if (!ring) throw std::logic_error("a strip's ring names a segment its part does not keep");
        f.g.reset();
        f.g = nearest_lines(f.segs, split(f.segs.part), f.room, &*ring);
        f.own = s.i0 - f.segs.part.i0;
    }

    bool split(const GridPart& p) const {
        return two_ && p.nb_lig >= 64 && static_cast<long long>(p.nb_lig) * p.nb_col >= kSharedCells;
    }

    // Strip n's first and last rows into the edges; whether each changed.
    std::pair<bool, bool> keep_edges(std::size_t n, const StripFill& f) {
        const auto row = [&](int part_row, std::vector<LineKey>& edge) {
            bool changed = false;
            for (int j = 0; j < cols_; ++j) {
                const auto [a, b] = f.keys(part_row, j);
                LineKey& ea = edge[2 * static_cast<std::size_t>(j)];
                LineKey& eb = edge[2 * static_cast<std::size_t>(j) + 1];
                changed |= ea != a || eb != b;
                ea = a, eb = b;
            }
            return changed;
        };
        const bool up = row(f.own, first_[n]);
        const bool down = row(f.own + strips_[n].rows - 1, last_[n]);
        return {up, down};
    }

    // Down the grid and up again, each strip filled while its ring changes.
    void settle_levels() {
        const std::size_t n = strips_.size();
        std::vector<unsigned char> stale(n, 1);
        StripFill f;
        for (int pass = 0; std::find(stale.begin(), stale.end(), 1) != stale.end(); ++pass)
            for (std::size_t q = 0; q < n; ++q) {
                const std::size_t k = pass % 2 == 0 ? q : n - 1 - q;
                if (stale[k] == 0) continue;
                stale[k] = 0;
                fill(k, f);
                const auto [up, down] = keep_edges(k, f);
                if (up && k > 0) stale[k - 1] = 1;
                if (down && k + 1 < n) stale[k + 1] = 1;
            }
    }

    // The strip's cells that one level alone reaches, four-connected among
    // its rows, each piece marked in b by mark(its number among all pieces),
    // as the whole grid's fill marks its areas; the pieces' first numbers.
    template <typename Mark>
    void mark_pieces(std::size_t n, StripFill& f, Mark&& mark, bool record) {
        const KeysInDoubles a = f.g->a();
        LineKey* b = f.g->b();
        const Strip& s = strips_[n];
        std::uint64_t id = first_piece_[n];
        for (int r = 0; r < s.rows; ++r)
            for (int c = 0; c < cols_; ++c) {
                const std::size_t k = f.g->at(f.own + r, c);
                if (a[k] == kNoLine || b[k] != kNoLine) continue;
                const std::uint32_t level = f.segs.all[segment_of(a[k])].level;
                if (record) {
                    pieces_.push_back(Piece{(static_cast<std::uint64_t>(s.i0) + static_cast<std::uint64_t>(r)) *
                                                static_cast<std::uint64_t>(cols_) + static_cast<std::uint64_t>(c),
                                            level});
                    parent_.push_back(id);
                }
                mark_four_connected(*f.g, f.own, 0, s.rows, cols_, r, c, mark(id), [&](std::size_t m) {
                    return a[m] != kNoLine && b[m] == kNoLine && f.segs.all[segment_of(a[m])].level == level;
                });
                ++id;
            }
    }

    std::uint64_t root(std::uint64_t p) {
        while (parent_[p] != p) p = parent_[p] = parent_[parent_[p]];
        return p;
    }

    // Each strip in the grid's order: its cells' bands onto the whole grid's
    // sums, its pieces of areas joined to those of the strip before.
    void gather_bands_and_pieces() {
        const std::size_t sides = 2 * whole_.all.size();
        sums_[0].assign(sides, SideBands{});
        sums_[1].assign(sides, SideBands{});
        first_piece_.assign(strips_.size(), 0);
        std::vector<std::int64_t> above;  // the pieces of the last row before, by column
        StripFill f;
        for (std::size_t n = 0; n < strips_.size(); ++n) {
            fill(n, f);
            std::vector<SideBands> mine[2];
            for (int h = 0; h < 2; ++h) {
                mine[h].resize(2 * f.segs.all.size());
                for (std::size_t l = 0; l < f.segs.all.size(); ++l)
                    for (std::size_t side = 0; side < 2; ++side)
                        mine[h][2 * l + side] = sums_[h][2 * std::size_t{f.segs.numbers[l]} + side];
            }
            sum_side_bands(f.segs, *f.g, split(f.segs.part), mine[0], mine[1], f.own, f.own + strips_[n].rows);
            for (int h = 0; h < 2; ++h)
                for (std::size_t l = 0; l < f.segs.all.size(); ++l)
                    for (std::size_t side = 0; side < 2; ++side)
                        sums_[h][2 * std::size_t{f.segs.numbers[l]} + side] = mine[h][2 * l + side];
            first_piece_[n] = pieces_.size();
            const std::uint64_t base = first_piece_[n];
            mark_pieces(n, f, [&](std::uint64_t id) { return kAreaMark | (id - base); }, true);
            // joined across the edge with the strip before
            const LineKey* b = f.g->b();
            const auto piece_at = [&](int r, int c) -> std::int64_t {
                const LineKey m = b[f.g->at(r, c)];
                return marked(m) ? static_cast<std::int64_t>(base + (m & ~kAreaMark)) : -1;
            };
            for (int c = 0; c < cols_ && !above.empty(); ++c) {
                const std::int64_t p = above[static_cast<std::size_t>(c)], q = piece_at(f.own, c);
                if (p < 0 || q < 0 || pieces_[static_cast<std::size_t>(p)].level != pieces_[static_cast<std::size_t>(q)].level)
                    continue;
                const std::uint64_t rp = root(static_cast<std::uint64_t>(p)), rq = root(static_cast<std::uint64_t>(q));
                if (rp != rq) parent_[std::max(rp, rq)] = std::min(rp, rq);
            }
            above.resize(static_cast<std::size_t>(cols_));
            for (int c = 0; c < cols_; ++c) above[static_cast<std::size_t>(c)] = piece_at(f.own + strips_[n].rows - 1, c);
        }
        // the bands beyond each side, as the whole grid's fill settles them
        std::vector<SideBands>& all = sums_[0];
        for (std::size_t k = 0; k < sides; ++k) all[k].add(sums_[1][k]);
        std::vector<SideBands>().swap(sums_[1]);
        smooth_along_lines(whole_, all, two_);
        beyond_.assign(sides, FarBand{});
        for (std::size_t k = 0; k < sides; ++k)
            if (all[k].cells > 0 && all[k].width > 0.0) beyond_[k] = FarBand{all[k].mean_level(), all[k].mean_width()};
        std::vector<SideBands>().swap(all);
    }

    // The areas, numbered by their first cells; each piece's area.
    void number_areas() {
        std::vector<std::uint64_t> roots;
        for (std::uint64_t p = 0; p < pieces_.size(); ++p) {
            const std::uint64_t r = root(p);
            if (r == p) roots.push_back(p);
            // a root is its area's first piece: pieces are numbered in the grid's order of their first cells
        }
        area_of_piece_.assign(pieces_.size(), 0);
        std::vector<std::uint64_t> area_of_root(pieces_.size(), 0);
        for (std::size_t n = 0; n < roots.size(); ++n) {
            area_of_root[roots[n]] = n;
            areas_.push_back(Area{pieces_[roots[n]].level});
        }
        for (std::uint64_t p = 0; p < pieces_.size(); ++p) area_of_piece_[p] = area_of_root[root(p)];
        std::vector<std::uint64_t>().swap(parent_);
    }

    // Each strip in the grid's order: what its cells tell their areas, and
    // its windows' tables; the areas' heights into the tables at the end.
    void gather_areas_and_tables() {
        std::vector<Area> told[2] = {areas_, areas_};
        std::vector<std::vector<std::size_t>> areas_of(tables_.size());
        std::vector<std::int64_t> slot_of(areas_.size(), -1);
        StripFill f;
        for (std::size_t n = 0; n < strips_.size(); ++n) {
            fill(n, f);
            std::vector<std::size_t> area_of_slot;
            mark_pieces(n, f, [&](std::uint64_t id) {
                const std::size_t area = area_of_piece_[id];
                if (slot_of[area] < 0) {
                    slot_of[area] = static_cast<std::int64_t>(area_of_slot.size());
                    area_of_slot.push_back(area);
                }
                return kAreaMark | static_cast<LineKey>(slot_of[area]);
            }, false);
            std::vector<Area> mine[2];
            for (int h = 0; h < 2; ++h)
                for (const std::size_t area : area_of_slot) mine[h].push_back(told[h][area]);
            std::vector<FarBand> beyond(2 * f.segs.all.size());
            for (std::size_t l = 0; l < f.segs.all.size(); ++l)
                for (std::size_t side = 0; side < 2; ++side) beyond[2 * l + side] = beyond_[2 * std::size_t{f.segs.numbers[l]} + side];
            tell_areas(f.segs, *f.g, beyond, split(f.segs.part), mine[0], mine[1], f.own, f.own + strips_[n].rows);
            for (int h = 0; h < 2; ++h)
                for (std::size_t q = 0; q < area_of_slot.size(); ++q) told[h][area_of_slot[q]] = mine[h][q];
            const int part_i0 = f.segs.part.i0;
            const CellKeys keys = [&](int i, int j) {
                auto [a, b] = f.keys(i - part_i0, j);
                if (marked(b)) b = kAreaMark | area_of_slot[static_cast<std::size_t>(b & ~kAreaMark)];
                return std::pair{a, b};
            };
            for (const std::size_t w : strips_[n].windows) {
                tabulate_window(tables_[w], whole_, keys, rows_, cols_, beyond_, areas_, &areas_of[w]);
                list_part_segments(tables_[w], whole_, *squares_);
            }
            for (const std::size_t area : area_of_slot) slot_of[area] = -1;
        }
        for (std::size_t a = 0; a < areas_.size(); ++a) {
            told[0][a].add(told[1][a]);
            told[0][a].settle();
        }
        for (std::size_t w = 0; w < tables_.size(); ++w)
            for (std::size_t q = 0; q < tables_[w].areas.size(); ++q) {
                const Area& area = told[0][areas_of[w][q]];
                TableArea& p = tables_[w].areas[q];
                p.level = whole_.levels[area.level];
                p.d_max = area.d_max;
                p.top = area.top;
                p.told = area.told;
                p.balance = area.balance;
            }
    }

    int rows_, cols_;
    std::vector<WindowTable>& tables_;
    bool two_;
    Segments whole_;
    std::unique_ptr<SegmentSquares> squares_;
    std::vector<Strip> strips_;
    std::vector<std::vector<LineKey>> first_, last_;  // each strip's first and last rows' keys, two a cell
    std::vector<SideBands> sums_[2];                  // the bands' sums, the whole grid's two halves
    std::vector<FarBand> beyond_;
    std::vector<Piece> pieces_;
    std::vector<std::uint64_t> parent_;
    std::vector<std::uint64_t> first_piece_;  // each strip's first piece
    std::vector<std::uint64_t> area_of_piece_;
    std::vector<Area> areas_;  // their levels
};

}  // namespace

void tabulate_by_strips(const ContourLines& lines, int rows, int cols, std::vector<WindowTable>& tables,
                        bool two_threads) {
    if (rows <= 0 || cols <= 0 || tables.empty()) return;
    StripTables(lines, rows, cols, tables, two_threads).make();
}

}  // namespace zorvel

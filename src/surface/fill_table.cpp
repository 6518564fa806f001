#include "surface/fill_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "surface/part_check.h"

namespace zorvel {

namespace {

// The file: its mark, the segments and the windows (kTableHead bytes); an
// index entry a window (its cells, margin, and where its table lies); the
// tables. Numbers little-endian, doubles as their bits.
constexpr char kMark[8] = {'Z', 'R', 'F', 'I', 'L', 'L', 'T', '3'};
constexpr std::size_t kIndexEntry = 6 * 4 + 2 * 8;
constexpr std::size_t kTableCounts = 8 * 8, kSide = 3 * 8, kArea = 8 * 8, kKept = 4, kRunOn = 6 * 8, kRing = 2 * 8;

void put_segment(std::string& out, const RunOnSegment& g);

void put(std::string& out, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) out.push_back(static_cast<char>(v >> (8 * k)));
}
void put32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(v >> (8 * k)));
}
void put(std::string& out, double v) { put(out, std::bit_cast<std::uint64_t>(v)); }

// Reads numbers off bytes; once short, every later read is 0 and ok() false.
class Reader {
public:
    Reader(const std::string& bytes, std::size_t at) : s_(bytes), at_(at) {}
    std::uint64_t u64() { return take(8); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    int i32() { return static_cast<int>(static_cast<std::int32_t>(u32())); }
    double f64() { return std::bit_cast<double>(u64()); }
    bool ok() const { return ok_; }
    std::size_t left() const { return ok_ ? s_.size() - at_ : 0; }

private:
    std::uint64_t take(std::size_t n) {
        if (!ok_ || s_.size() - at_ < n) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < n; ++k) v |= std::uint64_t{static_cast<unsigned char>(s_[at_ + k])} << (8 * k);
        at_ += n;
        return v;
    }
    const std::string& s_;
    std::size_t at_;
    bool ok_ = true;
};

// The cells of window t four-connected to its cell (r, c) among those
// `in` takes (cells of the part), each seen; how many.
template <typename In>
std::uint64_t own_piece(const WindowTable& t, int r, int c, std::vector<unsigned char>& seen, In&& in) {
    const auto place = [&](int pr, int pc) {
        return static_cast<std::size_t>(pr) * static_cast<std::size_t>(t.nb_col) + static_cast<std::size_t>(pc);
    };
    std::uint64_t n = 0;
    std::vector<std::pair<int, int>> todo{{r, c}};
    seen[place(r, c)] = 1;
    while (!todo.empty()) {
        const auto [pr, pc] = todo.back();
        todo.pop_back();
        ++n;
        const std::pair<int, int> next[4] = {{pr - 1, pc}, {pr + 1, pc}, {pr, pc - 1}, {pr, pc + 1}};
        for (const auto& [nr, nc] : next) {
            if (nr < 0 || nr >= t.nb_lig || nc < 0 || nc >= t.nb_col || seen[place(nr, nc)] != 0) continue;
            if (!in(t.i0 + nr, t.j0 + nc)) continue;
            seen[place(nr, nc)] = 1;
            todo.push_back({nr, nc});
        }
    }
    return n;
}

void put_segment(std::string& out, const RunOnSegment& g) {
    put(out, static_cast<std::uint64_t>(g.number));
    for (const double v : {g.i0, g.j0, g.di, g.dj, g.level}) put(out, v);
}

void put_window(std::string& out, const WindowTable& t) {
    for (const int v : {t.i0, t.j0, t.nb_lig, t.nb_col, t.margin, 0}) put32(out, static_cast<std::uint32_t>(v));
}

}  // namespace

std::string encode_tables(const std::vector<WindowTable>& tables) {
    std::string out(kMark, sizeof kMark);
    put(out, tables.empty() ? std::uint64_t{0} : tables.front().segments);
    put(out, static_cast<std::uint64_t>(tables.size()));
    std::uint64_t offset = kTableHead + kIndexEntry * tables.size();
    for (const WindowTable& t : tables) {
        const std::uint64_t bytes = kTableCounts + kSide * t.sides.size() + kArea * t.areas.size() +
                                    kKept * t.kept.size() + kRunOn * (t.run_ons.size() + t.reached.size()) +
                                    kRing * t.ring.size();
        put_window(out, t);
        put(out, offset);
        put(out, bytes);
        offset += bytes;
    }
    for (const WindowTable& t : tables) {
        put(out, static_cast<std::uint64_t>(t.sides.size()));
        put(out, static_cast<std::uint64_t>(t.areas.size()));
        put(out, t.unreached);
        put(out, static_cast<std::uint64_t>(t.kept.size()));
        put(out, static_cast<std::uint64_t>(t.run_ons.size()));
        put(out, static_cast<std::uint64_t>(t.ring.size()));
        put(out, static_cast<std::uint64_t>(t.reached.size()));
        put(out, t.kept_hash);
        for (const auto& [side, band] : t.sides) {
            put(out, side);
            put(out, band.level);
            put(out, band.width);
        }
        for (const TableArea& a : t.areas) {
            put(out, a.first);
            put(out, a.cells);
            put(out, a.level);
            put(out, a.d_max);
            put(out, a.top);
            put(out, static_cast<std::uint64_t>(a.told));
            put(out, static_cast<std::uint64_t>(a.balance));
            put(out, std::uint64_t{0});
        }
        for (const std::uint32_t s : t.kept) put32(out, s);
        for (const RunOnSegment& g : t.run_ons) put_segment(out, g);
        for (const auto& [a, b] : t.ring) {
            put(out, a);
            put(out, b);
        }
        for (const RunOnSegment& g : t.reached) put_segment(out, g);
    }
    return out;
}

std::optional<std::uint64_t> table_index_bytes(const std::string& head) {
    if (head.size() < kTableHead || std::memcmp(head.data(), kMark, sizeof kMark) != 0) return std::nullopt;
    Reader r(head, sizeof kMark);
    r.u64();
    const std::uint64_t n = r.u64();
    if (n > (std::uint64_t{1} << 40)) return std::nullopt;
    return n * kIndexEntry;
}

std::optional<TablePlace> find_table(const std::string& head_and_index, int i0, int j0, int nb_lig, int nb_col) {
    const auto index = table_index_bytes(head_and_index);
    if (!index || head_and_index.size() < kTableHead + *index) return std::nullopt;
    Reader r(head_and_index, sizeof kMark);
    TablePlace place;
    place.segments = r.u64();
    const std::uint64_t n = r.u64();
    for (std::uint64_t k = 0; k < n; ++k) {
        const int ti0 = r.i32(), tj0 = r.i32(), lig = r.i32(), col = r.i32(), margin = r.i32();
        r.i32();
        const std::uint64_t offset = r.u64(), bytes = r.u64();
        if (ti0 == i0 && tj0 == j0 && lig == nb_lig && col == nb_col) {
            place.offset = offset;
            place.bytes = bytes;
            place.margin = margin;
            return place;
        }
    }
    return std::nullopt;
}

std::optional<WindowTable> decode_table(const std::string& bytes) {
    Reader r(bytes, 0);
    const std::uint64_t sides = r.u64(), areas = r.u64(), unreached = r.u64(), kept = r.u64(), run_ons = r.u64();
    const std::uint64_t ring = r.u64(), reached = r.u64();
    WindowTable t;
    t.kept_hash = r.u64();
    // each count within what is left, then all of it taken
    std::uint64_t left = r.left();
    for (const auto& [n, each] : {std::pair{sides, kSide}, {areas, kArea}, {kept, kKept}, {run_ons, kRunOn},
                                  {ring, kRing}, {reached, kRunOn}}) {
        if (!r.ok() || n > left / each) return std::nullopt;
        left -= n * each;
    }
    if (left != 0) return std::nullopt;
    t.unreached = unreached;
    t.sides.resize(sides);
    for (auto& [side, band] : t.sides) {
        side = r.u64();
        band.level = r.f64();
        band.width = r.f64();
    }
    t.areas.resize(areas);
    for (TableArea& a : t.areas) {
        a.first = r.u64();
        a.cells = r.u64();
        a.level = r.f64();
        a.d_max = r.f64();
        a.top = r.f64();
        a.told = static_cast<long long>(r.u64());
        a.balance = static_cast<long long>(r.u64());
        r.u64();
    }
    t.kept.resize(kept);
    for (std::uint32_t& s : t.kept) s = r.u32();
    const auto segments = [&](std::vector<RunOnSegment>& list, std::uint64_t n) {
        list.resize(n);
        for (RunOnSegment& g : list) {
            const std::uint64_t number = r.u64();
            if (number > UINT32_MAX) return false;
            g.number = static_cast<std::uint32_t>(number);
            for (double* v : {&g.i0, &g.j0, &g.di, &g.dj, &g.level}) *v = r.f64();
        }
        return true;
    };
    if (!segments(t.run_ons, run_ons)) return std::nullopt;
    t.ring.resize(ring);
    for (auto& [a, b] : t.ring) {
        a = r.u64();
        b = r.u64();
    }
    if (!segments(t.reached, reached)) return std::nullopt;
    return r.ok() ? std::optional<WindowTable>(std::move(t)) : std::nullopt;
}

void tabulate_window(WindowTable& t, const Segments& segs, const NearLines& g, const std::vector<FarBand>& beyond,
                     const std::vector<Area>& areas) {
    const KeysInDoubles a = g.a();
    const LineKey* b = g.b();
    const CellKeys keys = [&](int i, int j) {
        const std::size_t k = g.at(i, j);
        return std::pair{a[k], b[k]};
    };
    tabulate_window(t, segs, keys, g.nb_lig(), g.nb_col(), beyond, areas);
}

void tabulate_window(WindowTable& t, const Segments& segs, const CellKeys& keys, int rows, int cols,
                     const std::vector<FarBand>& beyond, const std::vector<Area>& areas,
                     std::vector<std::size_t>* area_of_piece) {
    // the sides its cells look across, each once: a bit a side, then the sides set
    std::vector<std::uint64_t> looked((beyond.size() + 63) / 64, 0), sides;
    std::vector<unsigned char> seen(static_cast<std::size_t>(t.nb_lig) * static_cast<std::size_t>(t.nb_col), 0);
    t.margin = 1;
    for (const auto& [i, j] : ring_cells(t, rows, cols)) {
        const auto [ka, kb] = keys(i, j);
        t.ring.push_back({ka, marked(kb) ? kNoLine : kb});
    }
    for (int r = 0; r < t.nb_lig; ++r)
        for (int c = 0; c < t.nb_col; ++c) {
            const int i = t.i0 + r, j = t.j0 + c;
            const std::pair<LineKey, LineKey> cell = keys(i, j);
            const LineKey ka = cell.first, kb = cell.second;
            if (ka == kNoLine) {
                ++t.unreached;
                continue;
            }
            if (!marked(kb)) {
                for (const LineKey key : {ka, kb}) {
                    const std::uint32_t s = segment_of(key);
                    const std::uint64_t side = 2 * std::uint64_t{s} + static_cast<std::uint64_t>(1 - segs.side(s, i, j));
                    std::uint64_t& word = looked[side / 64];
                    const std::uint64_t bit = std::uint64_t{1} << (side % 64);
                    if (beyond[side].width > 0.0 && (word & bit) == 0) sides.push_back(side);
                    word |= bit;
                }
                continue;
            }
            const std::size_t first = static_cast<std::size_t>(r) * static_cast<std::size_t>(t.nb_col) + static_cast<std::size_t>(c);
            if (seen[first] != 0) continue;
            const std::uint64_t cells = own_piece(t, r, c, seen, [&](int pi, int pj) { return keys(pi, pj).second == kb; });
            const std::size_t n = static_cast<std::size_t>(kb & ~kAreaMark);
            const Area& area = areas[n];
            t.areas.push_back(TableArea{first, cells, segs.levels[area.level], area.d_max, area.top, area.told, area.balance});
            if (area_of_piece != nullptr) area_of_piece->push_back(n);
        }
    std::sort(sides.begin(), sides.end());
    for (const std::uint64_t side : sides) t.sides.push_back({side, beyond[side]});
    t.segments = segs.all.size();
}

GridPart table_part(const WindowTable& t, int rows, int cols) {
    const long long m = t.margin;
    const int i0 = static_cast<int>(std::max<long long>(0, t.i0 - m)), j0 = static_cast<int>(std::max<long long>(0, t.j0 - m));
    const int i1 = static_cast<int>(std::min<long long>(rows, t.i0 + t.nb_lig + m));
    const int j1 = static_cast<int>(std::min<long long>(cols, t.j0 + t.nb_col + m));
    return GridPart{rows, cols, i0, j0, i1 - i0, j1 - j0};
}

namespace {

// The table's bands and areas, into beyond and areas; whether they can be the part's.
bool take_sums(const WindowTable& t, const Segments& segs, std::vector<FarBand>& beyond, std::vector<Area>& areas) {
    const bool some_kept = segs.ran_on;
    bool fits = t.segments == (some_kept ? segs.of_all : segs.all.size());
    beyond.assign(2 * segs.all.size(), FarBand{});
    for (const auto& [side, band] : t.sides) {
        // a part that keeps some segments has the others' sides nowhere:
        // its cells' nearest segments meet it
        std::uint64_t own = side;
        if (some_kept) {
            const auto s = std::lower_bound(segs.numbers.begin(), segs.numbers.end(), side / 2);
            own = s != segs.numbers.end() && *s == side / 2
                      ? 2 * static_cast<std::uint64_t>(s - segs.numbers.begin()) + side % 2
                      : beyond.size();
        }
        if (own < beyond.size())
            beyond[own] = band;
        else
            fits = false;
    }
    for (const TableArea& p : t.areas) {
        // the level's code in the part's levels
        const auto at = std::lower_bound(segs.levels.begin(), segs.levels.end(), p.level);
        fits = fits && at != segs.levels.end() && *at == p.level;
        Area area{static_cast<std::uint32_t>(at - segs.levels.begin())};
        area.d_max = p.d_max;
        area.top = p.top;
        area.told = p.told;
        area.balance = p.balance;
        areas.push_back(area);
    }
    return fits;
}

}  // namespace

long long take_window_table(const WindowTable& t, const KeptCells& keep, const Segments& segs, NearLines& g,
                            std::vector<FarBand>& beyond, std::vector<Area>& areas) {
    bool same = take_sums(t, segs, beyond, areas);
    const KeysInDoubles a = g.a();
    LineKey* b = g.b();
    long long n = 0;
    std::uint64_t unreached = 0;
    std::size_t pieces = 0;
    for (int r = 0; r < keep.nb_lig && same; ++r)
        for (int c = 0; c < keep.nb_col && same; ++c) {
            const int i = keep.i0 + r, j = keep.j0 + c;
            const std::size_t k = g.at(i, j);
            if (a[k] == kNoLine) {
                ++unreached;
                continue;
            }
            // with a ring, nothing reaches the window but through it
            const bool lone = b[k] == kNoLine || marked(b[k]);
            if (t.ring.empty() && distance_of(lone ? a[k] : b[k]) >= kUnitsPerCell * steps_to_cut(segs.part, i, j)) ++n;
            if (b[k] != kNoLine) continue;
            // the piece of the kept cells that one level alone reaches, as the table has it
            const std::uint32_t level = segs.all[segment_of(a[k])].level;
            const std::uint64_t cells = mark_four_connected(g, keep.i0, keep.j0, keep.nb_lig, keep.nb_col, r, c,
                                                            kAreaMark | pieces, [&](std::size_t m) {
                return a[m] != kNoLine && b[m] == kNoLine && segs.all[segment_of(a[m])].level == level;
            });
            const TableArea* p = pieces < t.areas.size() ? &t.areas[pieces] : nullptr;
            const std::size_t first = static_cast<std::size_t>(r) * static_cast<std::size_t>(keep.nb_col) + static_cast<std::size_t>(c);
            same = p != nullptr && p->first == first && p->cells == cells && p->level == segs.levels[level];
            ++pieces;
        }
    same = same && pieces == t.areas.size() && unreached == t.unreached;
    // the cells of one level beyond the pieces take a flat area of their own (not kept, or stopped for)
    const LineKey elsewhere = kAreaMark | areas.size();
    areas.push_back(Area{0});
    for (int i = 0; i < g.nb_lig(); ++i)
        for (int j = 0; j < g.nb_col(); ++j)
            if (const std::size_t k = g.at(i, j); a[k] != kNoLine && b[k] == kNoLine) b[k] = elsewhere;
    return same ? n : static_cast<long long>(keep.nb_lig) * keep.nb_col;
}

}  // namespace zorvel

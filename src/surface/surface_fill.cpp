#include "surface/surface_fill.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "base/grid.h"
#include "base/memory.h"
#include "base/threads.h"

namespace zorvel {

namespace {

// A level reached at a distance, as one key: the distance in the high bits,
// the level's code in the low ones, so that keys order by distance and then
// by level. Keys of 32 bits (22 for the distance, 10 for the code) halve the
// memory the sweeps go through; a grid with more levels, or with a path too
// long for them, takes keys of 64 bits (32 and 32).
template <typename K>
struct Keys {
    static constexpr int kCodeBits = sizeof(K) == 8 ? 32 : 10;
    static constexpr int kDistanceBits = 8 * static_cast<int>(sizeof(K)) - kCodeBits;
    // beyond every path: a move from it stays beyond; one more bit than it
    // marks a cell of a one-level area, whose number the other bits hold
    static constexpr std::uint32_t kNoDistance = (std::uint32_t{1} << (kDistanceBits - 1)) - 1;
    static constexpr std::uint32_t kFarthest = kNoDistance - 16;  // the longest path the keys hold
    static constexpr std::uint32_t kNoCode = (std::uint32_t{1} << (kCodeBits - 1) << 1) - 1;
    static constexpr K kMark = K{1} << (8 * sizeof(K) - 1);
    static constexpr K key(std::uint32_t distance, std::uint32_t code) {
        return (static_cast<K>(distance) << kCodeBits) | code;
    }
    static constexpr K kNone = key(kNoDistance, kNoCode);  // no level reached
    static constexpr std::uint32_t distance_of(K k) { return static_cast<std::uint32_t>(k >> kCodeBits); }
    static constexpr std::uint32_t code_of(K k) { return static_cast<std::uint32_t>(k & kNoCode); }
};

// A cell's two nearest levels: a contour cell holds its own at distance 0
// in `a`, and nothing in `b`.
template <typename K>
struct Near {
    K a;
    K b;
};

constexpr std::uint32_t kSide = 5, kDiagonal = 7;  // the chamfer's costs

// The grid of Near<K> with a border one cell wide that nothing reaches, so
// that every move from a cell of the grid lands inside it; and, for each
// row, which of its cells the last sweep and the current one changed.
template <typename K>
class NearGrid {
public:
    NearGrid(int nb_lig, int nb_col)
        : lig_(nb_lig), col_(nb_col), width_(static_cast<std::ptrdiff_t>(nb_col) + 2),
          words_((static_cast<std::size_t>(nb_col) + 63) / 64) {
        // the cells inside are written once, by whoever makes the grid; a
        // large grid is one mapping, populated in one call
        const std::size_t cells = static_cast<std::size_t>(width_) * static_cast<std::size_t>(nb_lig + 2);
        if (cells * sizeof(Near<K>) >= kMappedBytes) {
            bytes_ = cells * sizeof(Near<K>);
            mapped_ = map_zeroed(bytes_);
            if (mapped_ == nullptr) bytes_ = 0;
        }
        if (mapped_ == nullptr) owned_ = std::make_unique_for_overwrite<Near<K>[]>(cells);
        cells_ = mapped_ != nullptr ? static_cast<Near<K>*>(mapped_) : owned_.get();
        constexpr Near<K> none{Keys<K>::kNone, Keys<K>::kNone};
        for (std::ptrdiff_t j = 0; j < width_; ++j) row(-1)[j - 1] = row(nb_lig)[j - 1] = none;
        for (int i = 0; i < nb_lig; ++i) row(i)[-1] = row(i)[nb_col] = none;
        changed_[0].assign(words_ * static_cast<std::size_t>(nb_lig + 2), 0);
        changed_[1].assign(words_ * static_cast<std::size_t>(nb_lig + 2), 0);
        held_[0].assign(words_, 0);
        held_[1].assign(words_, 0);
    }
    ~NearGrid() {
        if (mapped_ != nullptr) unmap(mapped_, bytes_);
    }
    NearGrid(const NearGrid&) = delete;
    NearGrid& operator=(const NearGrid&) = delete;
    Near<K>* row(int i) { return cells_ + (static_cast<std::ptrdiff_t>(i) + 1) * width_ + 1; }
    std::ptrdiff_t width() const { return width_; }
    int nb_lig() const { return lig_; }
    int nb_col() const { return col_; }
    std::size_t words() const { return words_; }
    // the cells of row i (-1 .. nb_lig) that the sweep before the current
    // one changed, and those the current one changed, a bit each
    std::uint64_t* before(int i) { return changed_[flip_].data() + static_cast<std::size_t>(i + 1) * words_; }
    std::uint64_t* now(int i) { return changed_[1 - flip_].data() + static_cast<std::size_t>(i + 1) * words_; }
    // Keeps the changes of row i in the current sweep, in direction s, for
    // the next sweep in that direction, as made just before it.
    void hold_cut(int s, int i) {
        held_row_ = i;
        std::copy(now(i), now(i) + words_, held_[s > 0 ? 0 : 1].begin());
    }
    // the changes held for a sweep in direction s, on row i; null where none
    const std::uint64_t* held(int s, int i) const { return i == held_row_ ? held_[s > 0 ? 0 : 1].data() : nullptr; }
    // A path longer than the keys hold was found: the grid needs wider ones.
    void too_far() { too_far_.store(true, std::memory_order_relaxed); }
    bool found_too_far() const { return too_far_.load(std::memory_order_relaxed); }
    // the current sweep's changes become the last one's
    void next_sweep() {
        flip_ = 1 - flip_;
        std::fill(changed_[1 - flip_].begin(), changed_[1 - flip_].end(), 0);
    }

private:
    int lig_, col_;
    std::ptrdiff_t width_;
    std::size_t words_;
    void* mapped_ = nullptr;
    std::size_t bytes_ = 0;
    std::unique_ptr<Near<K>[]> owned_;
    Near<K>* cells_ = nullptr;
    std::atomic<bool> too_far_{false};
    std::vector<std::uint64_t> changed_[2];
    int flip_ = 0;
    std::vector<std::uint64_t> held_[2];
    int held_row_ = -2;
};

template <typename K>
inline bool is_free(const Near<K>& n) { return Keys<K>::distance_of(n.a) != 0; }

// Whether candidate c would change x's two nearest.
template <typename K>
inline bool improves(K c, K xa, K xb) {
    return (c < xb) & ((c < xa) | (Keys<K>::code_of(c) != Keys<K>::code_of(xa)));
}

// Takes candidate c into the two nearest a and b.
template <typename K>
inline void take(K& a, K& b, K c) {
    if (c >= b) return;  // neither nearer than the second nor a better distance to either
    if (Keys<K>::code_of(c) == Keys<K>::code_of(a)) {
        if (c < a) a = c;
        return;
    }
    if (c < a) {
        // a level as b's is dropped with it: c is its nearer distance
        b = a;
        a = c;
        return;
    }
    b = c;
}

// Takes into the free cell x what its neighbours behind in a sweep reach:
// the side cell behind (back) and the three cells of the row behind (up);
// a diagonal move only where one of the two cells beside it is free. True
// when x changed; a distance the keys cannot hold is told to g.
template <typename K>
inline bool relax(NearGrid<K>& g, Near<K>* x, std::ptrdiff_t back, std::ptrdiff_t up) {
    constexpr K side = Keys<K>::key(kSide, 0), diagonal = Keys<K>::key(kDiagonal, 0);
    constexpr K kOff = ~K{0};  // a candidate that changes nothing
    const bool f_back = is_free(x[back]), f_ahead = is_free(x[-back]), f_up = is_free(x[up]);
    const K c[8] = {x[back].a + side,
                      x[back].b + side,
                      x[up].a + side,
                      x[up].b + side,
                      (f_back | f_up) ? x[up + back].a + diagonal : kOff,
                      (f_back | f_up) ? x[up + back].b + diagonal : kOff,
                      (f_ahead | f_up) ? x[up - back].a + diagonal : kOff,
                      (f_ahead | f_up) ? x[up - back].b + diagonal : kOff};
    const K xa = x->a, xb = x->b;
    bool any = false;
    for (const K k : c) any |= improves(k, xa, xb);
    if (!any) return false;
    K a = xa, b = xb;
    for (const K k : c) take(a, b, k);
    x->a = a;
    x->b = b;
    const auto far = [](K k) { return Keys<K>::distance_of(k) > Keys<K>::kFarthest && k != Keys<K>::kNone; };
    if (far(a) || far(b)) g.too_far();
    return true;
}

// One sweep over rows [r0, r1) in direction s (+1 forward, from the first
// cell to the last; -1 backward). A full sweep goes over every free cell;
// otherwise a cell is looked at again only when a cell it takes from changed
// since it was last looked at in this direction: in the sweep before (the
// other direction) or in this one.
template <typename K>
void sweep(NearGrid<K>& g, int r0, int r1, int s, bool full) {
    const std::ptrdiff_t back = -s, up = -s * g.width();
    const int nb_col = g.nb_col();
    const std::size_t words = g.words();
    std::vector<std::uint64_t> look(words);
    const int first = s > 0 ? r0 : r1 - 1, end = s > 0 ? r1 : r0 - 1;
    for (int i = first; i != end; i += s) {
        Near<K>* row = g.row(i);
        std::uint64_t* changed = g.now(i);
        if (full) {
            for (int j = s > 0 ? 0 : nb_col - 1; j != (s > 0 ? nb_col : -1); j += s)
                if (is_free(row[j]) && relax(g, row + j, back, up))
                    changed[static_cast<std::size_t>(j) / 64] |= std::uint64_t{1} << (j % 64);
            continue;
        }
        // the cells beside or below a change in the row behind, and those
        // after a change in this row
        const std::uint64_t* b1 = g.before(i - s);
        const std::uint64_t* n1 = g.now(i - s);
        const std::uint64_t* b0 = g.before(i);
        const std::uint64_t* h1 = g.held(s, i - s);
        const auto behind = [&](std::size_t w) { return b1[w] | n1[w] | (h1 != nullptr ? h1[w] : 0); };
        bool any = false;
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t r = behind(w);
            const std::uint64_t lower = w > 0 ? behind(w - 1) >> 63 : 0;
            const std::uint64_t upper = w + 1 < words ? behind(w + 1) << 63 : 0;
            // a cell looks at the row behind one column each way, and at
            // the cell behind it in its own row
            const std::uint64_t spread = r | (r << 1) | (r >> 1) | lower | upper;
            const std::uint64_t own = s > 0 ? (b0[w] << 1) | (w > 0 ? b0[w - 1] >> 63 : 0)
                                            : (b0[w] >> 1) | (w + 1 < words ? b0[w + 1] << 63 : 0);
            look[w] = spread | own;
            any |= look[w] != 0;
        }
        if (!any) continue;
        // in sweep order; a change carries on to the next cell of the row
        bool carry = false;
        for (int k = 0; k < static_cast<int>(words); ++k) {
            const std::size_t w = s > 0 ? static_cast<std::size_t>(k) : words - 1 - static_cast<std::size_t>(k);
            if (look[w] == 0 && !carry) continue;
            const int base = static_cast<int>(w) * 64;
            const int lo = base, hi = std::min(nb_col, base + 64);
            for (int j = s > 0 ? lo : hi - 1; j != (s > 0 ? hi : lo - 1); j += s) {
                if (!carry && ((look[w] >> (j - base)) & 1) == 0) continue;
                carry = is_free(row[j]) && relax(g, row + j, back, up);
                if (carry) changed[w] |= std::uint64_t{1} << (j - base);
            }
        }
    }
}

// Whether a sweep changed any cell.
template <typename K>
bool any_change(NearGrid<K>& g) {
    for (int i = 0; i < g.nb_lig(); ++i) {
        const std::uint64_t* c = g.now(i);
        for (std::size_t w = 0; w < g.words(); ++w)
            if (c[w] != 0) return true;
    }
    return false;
}

// Whether a grid is large enough for a second thread to pay.
bool worth_two_threads(int nb_lig, int nb_col) {
    return nb_lig >= 64 && static_cast<long long>(nb_lig) * nb_col >= (1LL << 16);
}

// Calls first() on a thread of its own and second() on this one when
// `split` (both on this one when no thread can be had), or one after the other.
template <typename F, typename G>
void side_by_side(bool split, F&& first, G&& second) {
    if (!split) {
        first();
        second();
        return;
    }
    Helper other([&first] { first(); });
    if (!other.started()) first();
    second();
    other.join();
}

// Calls f(r0, r1) on rows [0, n/2) and [n/2, n), side by side when `split`.
template <typename F>
void in_halves(int n, bool split, F&& f) {
    side_by_side(split, [&] { f(0, n / 2); }, [&] { f(n / 2, n); });
}

// Sweeps forward, then backward, and so on until two sweeps in a row change
// nothing: the two nearest levels of every free cell, whatever the order the
// sweeps took. On two threads the rows are cut in two halves with a row
// between them that one thread sweeps after the halves: neither half reads
// a row the other writes, and what crosses the cut arrives a sweep later.
template <typename K>
void nearest_levels(NearGrid<K>& g, bool split) {
    const int n = g.nb_lig();
    const int mid = n / 2;
    int quiet = 0;
    for (int t = 0; quiet < 2; ++t) {
        const int s = t % 2 == 0 ? +1 : -1;
        const bool full = t < 2;
        if (!split) {
            sweep(g, 0, n, s, full);
        } else {
            side_by_side(true, [&] { sweep(g, 0, mid, s, full); }, [&] { sweep(g, mid + 1, n, s, full); });
            sweep(g, mid, mid + 1, s, full);
        }
        quiet = any_change(g) ? 0 : quiet + 1;
        // the row after the cut took from the cut's row before the cut's
        // changes of this sweep: the next sweep in this direction looks at
        // them again
        if (split) g.hold_cut(s, mid);
        g.next_sweep();
    }
}

// The areas of cells that one level only reaches: each marked in b with the
// key's top bit and its number, and for each its level, the largest distance in it and
// the balance of the cells across its bounding contour (above 0: they lie
// lower, and the area rises).
struct OneLevelArea {
    std::uint32_t code = 0;
    std::uint32_t d_max = 0;
    long long balance = 0;
};

template <typename K>
inline bool lone(const Near<K>& n) { return is_free(n) && n.a != Keys<K>::kNone && n.b == Keys<K>::kNone; }
template <typename K>
inline bool marked(const Near<K>& n) { return (n.b & Keys<K>::kMark) != 0; }
// The number of the area of a marked cell.
template <typename K>
inline std::size_t area_of(const Near<K>& n) { return static_cast<std::size_t>(n.b & ~Keys<K>::kMark); }

// Marks the area of lone cell (i, j) with number id, run by run.
template <typename K>
void mark_area(NearGrid<K>& g, int i, int j, std::size_t id) {
    std::vector<std::pair<int, int>> seeds{{i, j}};
    while (!seeds.empty()) {
        const auto [si, sj] = seeds.back();
        seeds.pop_back();
        Near<K>* row = g.row(si);
        if (!lone(row[sj])) continue;
        int lo = sj, hi = sj;
        while (lone(row[lo - 1])) --lo;
        while (lone(row[hi + 1])) ++hi;
        for (int k = lo; k <= hi; ++k) row[k].b = Keys<K>::kMark | static_cast<K>(id);
        // a seed for each run of lone cells beside the run, above and below
        for (const int ni : {si - 1, si + 1}) {
            if (ni < 0 || ni >= g.nb_lig()) continue;
            const Near<K>* next = g.row(ni);
            for (int k = lo; k <= hi; ++k)
                if (lone(next[k]) && (k == lo || !lone(next[k - 1]))) seeds.push_back({ni, k});
        }
    }
}

template <typename K>
std::vector<OneLevelArea> one_level_areas(NearGrid<K>& g, bool split) {
    using Kk = Keys<K>;
    std::vector<OneLevelArea> areas;
    for (int i = 0; i < g.nb_lig(); ++i) {
        const Near<K>* row = g.row(i);
        for (int j = 0; j < g.nb_col(); ++j)
            if (lone(row[j])) {
                areas.push_back({Kk::code_of(row[j].a), 0, 0});
                mark_area(g, i, j, areas.size() - 1);
            }
    }
    if (areas.empty()) return areas;
    // the largest distance of each area, and each contour cell's balance of
    // the cells around it that two levels reach (the band across it), handed
    // to every cell of its level's areas around it
    const std::ptrdiff_t w = g.width();
    const std::ptrdiff_t around[] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
    std::vector<OneLevelArea> halves[2] = {areas, areas};
    in_halves(g.nb_lig(), split, [&](int r0, int r1) {
        std::vector<OneLevelArea>& mine = halves[r0 == 0 ? 0 : 1];
        for (int i = r0; i < r1; ++i) {
            const Near<K>* row = g.row(i);
            for (int j = 0; j < g.nb_col(); ++j) {
                const Near<K>* c = row + j;
                if (marked(*c)) {
                    OneLevelArea& area = mine[area_of(*c)];
                    area.d_max = std::max(area.d_max, Kk::distance_of(c->a));
                    continue;
                }
                if (is_free(*c)) continue;
                const std::uint32_t v = Kk::code_of(c->a);
                bool touches = false;
                long long balance = 0;
                for (const std::ptrdiff_t d : around) {
                    const Near<K>& y = c[d];
                    if (marked(y)) {
                        touches = touches || Kk::code_of(y.a) == v;
                    } else if (is_free(y) && y.b != Kk::kNone) {
                        const std::uint32_t ya = Kk::code_of(y.a), yb = Kk::code_of(y.b);
                        const std::uint32_t other = ya == v ? yb : yb == v ? ya : v;
                        balance += other < v ? 1 : other > v ? -1 : 0;
                    }
                }
                if (!touches || balance == 0) continue;
                for (const std::ptrdiff_t d : around)
                    if (marked(c[d]) && Kk::code_of(c[d].a) == v) mine[area_of(c[d])].balance += balance;
            }
        }
    });
    for (std::size_t k = 0; k < areas.size(); ++k) {
        areas[k].d_max = std::max(halves[0][k].d_max, halves[1][k].d_max);
        areas[k].balance = halves[0][k].balance + halves[1][k].balance;
    }
    return areas;
}

// The levels of a grid, in ascending order, and the code of each (by the
// bits of its value, -0 taken as 0).
struct Levels {
    std::vector<double> values;
    std::unordered_map<std::uint64_t, std::uint32_t> code;
    static std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v + 0.0); }
};

Levels levels_of(const std::vector<double>& alti, int nb_lig, int nb_col, bool split) {
    // the distinct values of each half of the rows, then of both
    std::vector<std::uint64_t> seen[2];
    in_halves(nb_lig, split, [&](int r0, int r1) {
        std::unordered_map<std::uint64_t, bool> distinct;
        std::uint64_t last = Levels::bits(kNoElevation);
        const std::size_t to = static_cast<std::size_t>(r1) * static_cast<std::size_t>(nb_col);
        for (std::size_t c = static_cast<std::size_t>(r0) * static_cast<std::size_t>(nb_col); c < to; ++c)
            if (Levels::bits(alti[c]) != last) {
                last = Levels::bits(alti[c]);
                if (alti[c] != kNoElevation && distinct.try_emplace(last, true).second) seen[r0 == 0 ? 0 : 1].push_back(last);
            }
    });
    Levels l;
    for (const auto& half : seen)
        for (const std::uint64_t bits : half)
            if (l.code.try_emplace(bits, 0).second) l.values.push_back(std::bit_cast<double>(bits));
    std::sort(l.values.begin(), l.values.end());
    for (std::uint32_t k = 0; k < l.values.size(); ++k) l.code[Levels::bits(l.values[k])] = k;
    return l;
}

// The fill with keys K; false, with alti untouched, when a path is longer
// than they hold.
template <typename K>
bool fill_with(std::vector<double>& alti, int nb_lig, int nb_col, const Levels& levels, bool split, SurfaceFill& r) {
    using Kk = Keys<K>;
    const auto row_of = [&](int i) { return alti.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(nb_col); };
    NearGrid<K> g(nb_lig, nb_col);
    in_halves(nb_lig, split, [&](int r0, int r1) {
        std::uint64_t seen = Levels::bits(kNoElevation);
        std::uint32_t seen_code = Kk::kNoCode;
        for (int i = r0; i < r1; ++i) {
            Near<K>* row = g.row(i);
            const double* z = row_of(i);
            for (int j = 0; j < nb_col; ++j) {
                if (z[j] == kNoElevation) {
                    row[j] = Near<K>{Kk::kNone, Kk::kNone};
                    continue;
                }
                if (Levels::bits(z[j]) != seen) {
                    seen = Levels::bits(z[j]);
                    seen_code = levels.code.find(seen)->second;
                }
                row[j] = Near<K>{Kk::key(0, seen_code), Kk::kNone};
            }
        }
    });
    nearest_levels(g, split);
    if (g.found_too_far()) return false;
    const std::vector<OneLevelArea> areas = one_level_areas(g, split);

    SurfaceFill halves[2];
    for (SurfaceFill& h : halves) {
        h.lowest = levels.values.front();
        h.highest = levels.values.back();
    }
    in_halves(nb_lig, split, [&](int r0, int r1) {
        SurfaceFill& h = halves[r0 == 0 ? 0 : 1];
        for (int i = r0; i < r1; ++i) {
            const Near<K>* row = g.row(i);
            double* z = row_of(i);
            for (int j = 0; j < nb_col; ++j) {
                const Near<K>& x = row[j];
                if (!is_free(x)) continue;
                if (x.a == Kk::kNone) {
                    ++h.unreached;
                    continue;
                }
                const double va = levels.values[Kk::code_of(x.a)];
                const double da = Kk::distance_of(x.a);
                if (!marked(x)) {
                    const double vb = levels.values[Kk::code_of(x.b)];
                    const double db = Kk::distance_of(x.b);
                    z[j] = va + (vb - va) * da / (da + db);
                    ++h.between;
                    continue;
                }
                const OneLevelArea& area = areas[area_of(x)];
                if (area.balance == 0 || r.step == 0.0) {
                    z[j] = va;
                    ++h.flat;
                    continue;
                }
                const double t = da / area.d_max;
                const double rise = r.step / 2 * (2 * t - t * t);
                z[j] = area.balance > 0 ? va + rise : va - rise;
                ++h.domed;
                h.lowest = std::min(h.lowest, z[j]);
                h.highest = std::max(h.highest, z[j]);
            }
        }
    });
    r.between = halves[0].between + halves[1].between;
    r.domed = halves[0].domed + halves[1].domed;
    r.flat = halves[0].flat + halves[1].flat;
    r.unreached = halves[0].unreached + halves[1].unreached;
    r.lowest = std::min(halves[0].lowest, halves[1].lowest);
    r.highest = std::max(halves[0].highest, halves[1].highest);
    return true;
}

}  // namespace

std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, int nb_lig, int nb_col, bool two_threads) {
    SurfaceFill r;
    if (nb_lig <= 0 || nb_col <= 0) return r;
    const bool split = two_threads && worth_two_threads(nb_lig, nb_col);
    try {
        const Levels levels = levels_of(alti, nb_lig, nb_col, split);
        for (std::size_t k = 1; k < levels.values.size(); ++k) {
            const double step = levels.values[k] - levels.values[k - 1];
            if (r.step == 0.0 || step < r.step) r.step = step;
        }
        if (levels.values.empty()) {
            r.unreached = static_cast<long long>(nb_lig) * nb_col;
            return r;
        }
        // narrow keys where the levels fit them, wide ones where not or
        // where a path turned out too long for them
        if (levels.values.size() < Keys<std::uint32_t>::kNoCode &&
            fill_with<std::uint32_t>(alti, nb_lig, nb_col, levels, split, r))
            return r;
        if (!fill_with<std::uint64_t>(alti, nb_lig, nb_col, levels, split, r)) return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return r;
}

}  // namespace zorvel

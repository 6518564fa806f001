#include "surface/surface_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>
#include <new>
#include <system_error>
#include <thread>

#include "base/grid.h"

namespace zorvel {

namespace {

// A level reached at a distance, as one key: the distance in the high half,
// the level's code in the low half, so that keys order by distance and then
// by level.
using Key = std::uint64_t;
constexpr std::uint32_t kNoDistance = 0x7FFFFFFF;  // beyond every path: a move from it stays beyond
constexpr std::uint32_t kAreaMark = 0x7FFFFFFE;    // b of a cell of a one-level area, with the area's number
constexpr Key kNone = (Key{kNoDistance} << 32) | 0xFFFFFFFF;  // no level reached

constexpr std::uint32_t distance_of(Key k) { return static_cast<std::uint32_t>(k >> 32); }
constexpr std::uint32_t code_of(Key k) { return static_cast<std::uint32_t>(k); }
constexpr Key key(std::uint32_t distance, std::uint32_t code) { return (Key{distance} << 32) | code; }

// A cell's two nearest levels: a contour cell holds its own at distance 0
// in `a`, and nothing in `b`.
struct Near {
    Key a = kNone;
    Key b = kNone;
};

constexpr std::uint32_t kSide = 5, kDiagonal = 7;  // the chamfer's costs

// The grid of Near with a border one cell wide that nothing reaches, so
// that every move from a cell of the grid lands inside it; and, for each
// row, which of its cells the last sweep and the current one changed.
class NearGrid {
public:
    NearGrid(int nb_lig, int nb_col)
        : lig_(nb_lig), col_(nb_col), width_(static_cast<std::ptrdiff_t>(nb_col) + 2),
          words_((static_cast<std::size_t>(nb_col) + 63) / 64) {
        cells_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(nb_lig + 2));
        changed_[0].assign(words_ * static_cast<std::size_t>(nb_lig + 2), 0);
        changed_[1].assign(words_ * static_cast<std::size_t>(nb_lig + 2), 0);
        held_[0].assign(words_, 0);
        held_[1].assign(words_, 0);
    }
    Near* row(int i) { return cells_.data() + (static_cast<std::ptrdiff_t>(i) + 1) * width_ + 1; }
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
    // the current sweep's changes become the last one's
    void next_sweep() {
        flip_ = 1 - flip_;
        std::fill(changed_[1 - flip_].begin(), changed_[1 - flip_].end(), 0);
    }

private:
    int lig_, col_;
    std::ptrdiff_t width_;
    std::size_t words_;
    std::vector<Near> cells_;
    std::vector<std::uint64_t> changed_[2];
    int flip_ = 0;
    std::vector<std::uint64_t> held_[2];
    int held_row_ = -2;
};

inline bool is_free(const Near& n) { return distance_of(n.a) != 0; }

// Whether candidate c would change x's two nearest.
inline bool improves(Key c, Key xa, Key xb) {
    return (c < xb) & ((c < xa) | (code_of(c) != code_of(xa)));
}

// Takes candidate c into x's two nearest.
inline void take(Near& x, Key c) {
    if (c >= x.b) return;  // neither nearer than the second nor a better distance to either
    if (code_of(c) == code_of(x.a)) {
        if (c < x.a) x.a = c;
        return;
    }
    if (c < x.a) {
        // a level as x.b's is dropped with it: c is its nearer distance
        x.b = x.a;
        x.a = c;
        return;
    }
    x.b = c;
}

// Takes into the free cell x what its neighbours behind in a sweep reach:
// the side cell behind (back) and the three cells of the row behind (up);
// a diagonal move only where one of the two cells beside it is free. True
// when x changed.
inline bool relax(Near* x, std::ptrdiff_t back, std::ptrdiff_t up) {
    constexpr Key side = Key{kSide} << 32, diagonal = Key{kDiagonal} << 32;
    constexpr Key kOff = ~Key{0};  // a candidate that changes nothing
    const bool f_back = is_free(x[back]), f_ahead = is_free(x[-back]), f_up = is_free(x[up]);
    const Key c[8] = {x[back].a + side,
                      x[back].b + side,
                      x[up].a + side,
                      x[up].b + side,
                      (f_back | f_up) ? x[up + back].a + diagonal : kOff,
                      (f_back | f_up) ? x[up + back].b + diagonal : kOff,
                      (f_ahead | f_up) ? x[up - back].a + diagonal : kOff,
                      (f_ahead | f_up) ? x[up - back].b + diagonal : kOff};
    const Key xa = x->a, xb = x->b;
    bool any = false;
    for (const Key k : c) any |= improves(k, xa, xb);
    if (!any) return false;
    for (const Key k : c) take(*x, k);
    return true;
}

// One sweep over rows [r0, r1) in direction s (+1 forward, from the first
// cell to the last; -1 backward). A full sweep goes over every free cell;
// otherwise a cell is looked at again only when a cell it takes from changed
// since it was last looked at in this direction: in the sweep before (the
// other direction) or in this one.
void sweep(NearGrid& g, int r0, int r1, int s, bool full) {
    const std::ptrdiff_t back = -s, up = -s * g.width();
    const int nb_col = g.nb_col();
    const std::size_t words = g.words();
    std::vector<std::uint64_t> look(words);
    const int first = s > 0 ? r0 : r1 - 1, end = s > 0 ? r1 : r0 - 1;
    for (int i = first; i != end; i += s) {
        Near* row = g.row(i);
        std::uint64_t* changed = g.now(i);
        if (full) {
            for (int j = s > 0 ? 0 : nb_col - 1; j != (s > 0 ? nb_col : -1); j += s)
                if (is_free(row[j]) && relax(row + j, back, up))
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
                carry = is_free(row[j]) && relax(row + j, back, up);
                if (carry) changed[w] |= std::uint64_t{1} << (j - base);
            }
        }
    }
}

// Whether a sweep changed any cell.
bool any_change(NearGrid& g) {
    for (int i = 0; i < g.nb_lig(); ++i) {
        const std::uint64_t* c = g.now(i);
        for (std::size_t w = 0; w < g.words(); ++w)
            if (c[w] != 0) return true;
    }
    return false;
}

// Sweeps forward, then backward, and so on until two sweeps in a row change
// nothing: the two nearest levels of every free cell, whatever the order the
// sweeps took. On two threads the rows are cut in two halves with a row
// between them that one thread sweeps after the halves: neither half reads
// a row the other writes, and what crosses the cut arrives a sweep later.
void nearest_levels(NearGrid& g, bool two_threads) {
    const int n = g.nb_lig();
    const int mid = n / 2;
    const bool split = two_threads && n >= 64 && static_cast<long long>(n) * g.nb_col() >= (1LL << 16);
    int quiet = 0;
    for (int t = 0; quiet < 2; ++t) {
        const int s = t % 2 == 0 ? +1 : -1;
        const bool full = t < 2;
        if (!split) {
            sweep(g, 0, n, s, full);
        } else {
            std::thread other;
            try {
                other = std::thread([&g, mid, s, full] { sweep(g, 0, mid, s, full); });
            } catch (const std::system_error&) {
                sweep(g, 0, mid, s, full);  // one thread sweeps both halves
            }
            sweep(g, mid + 1, n, s, full);
            if (other.joinable()) other.join();
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

// The areas of cells that one level only reaches: each marked in b with kAreaMark
// and its number, and for each its level, the largest distance in it and
// the balance of the cells across its bounding contour (above 0: they lie
// lower, and the area rises).
struct OneLevelArea {
    std::uint32_t code = 0;
    std::uint32_t d_max = 0;
    long long balance = 0;
};

inline bool lone(const Near& n) { return is_free(n) && n.a != kNone && n.b == kNone; }
inline bool marked(const Near& n) { return distance_of(n.b) == kAreaMark; }

std::vector<OneLevelArea> one_level_areas(NearGrid& g) {
    std::vector<OneLevelArea> areas;
    std::deque<Near*> queue;
    const std::ptrdiff_t w = g.width();
    const std::ptrdiff_t sides[] = {-1, 1, -w, w};
    for (int i = 0; i < g.nb_lig(); ++i) {
        Near* row = g.row(i);
        for (int j = 0; j < g.nb_col(); ++j) {
            if (!lone(row[j])) continue;
            const std::uint32_t id = static_cast<std::uint32_t>(areas.size());
            OneLevelArea area{code_of(row[j].a), 0, 0};
            row[j].b = key(kAreaMark, id);
            queue.push_back(row + j);
            while (!queue.empty()) {
                Near* x = queue.front();
                queue.pop_front();
                area.d_max = std::max(area.d_max, distance_of(x->a));
                for (const std::ptrdiff_t d : sides)
                    if (lone(x[d])) {
                        x[d].b = key(kAreaMark, id);
                        queue.push_back(x + d);
                    }
            }
            areas.push_back(area);
        }
    }
    // each contour cell's balance of the cells around it that two levels
    // reach (the band across it), handed to the areas around it of its level
    const std::ptrdiff_t around[] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
    for (int i = 0; i < g.nb_lig(); ++i) {
        Near* row = g.row(i);
        for (int j = 0; j < g.nb_col(); ++j) {
            const Near* c = row + j;
            if (is_free(*c)) continue;
            const std::uint32_t v = code_of(c->a);
            long long balance = 0;
            bool touches_area = false;
            for (const std::ptrdiff_t d : around) {
                const Near& y = c[d];
                if (marked(y)) {
                    touches_area = touches_area || code_of(y.a) == v;
                } else if (is_free(y) && y.b != kNone) {
                    const std::uint32_t other = code_of(y.a) == v ? code_of(y.b) : code_of(y.b) == v ? code_of(y.a) : v;
                    balance += other < v ? 1 : other > v ? -1 : 0;
                }
            }
            if (!touches_area || balance == 0) continue;
            for (const std::ptrdiff_t d : around) {
                const Near& y = c[d];
                if (marked(y) && code_of(y.a) == v) areas[code_of(y.b)].balance += balance;
            }
        }
    }
    return areas;
}

}  // namespace

std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, int nb_lig, int nb_col, bool two_threads) {
    SurfaceFill r;
    if (nb_lig <= 0 || nb_col <= 0) return r;
    const auto at = [&](int i, int j) -> double& {
        return alti[static_cast<std::size_t>(i) * static_cast<std::size_t>(nb_col) + static_cast<std::size_t>(j)];
    };
    try {
        // the levels, coded in ascending order
        std::vector<double> levels;
        for (const double v : alti)
            if (v != kNoElevation && (levels.empty() || v != levels.back())) levels.push_back(v);
        std::sort(levels.begin(), levels.end());
        levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
        for (std::size_t k = 1; k < levels.size(); ++k) {
            const double step = levels[k] - levels[k - 1];
            if (r.step == 0.0 || step < r.step) r.step = step;
        }

        NearGrid g(nb_lig, nb_col);
        for (int i = 0; i < nb_lig; ++i) {
            Near* row = g.row(i);
            for (int j = 0; j < nb_col; ++j)
                if (const double v = at(i, j); v != kNoElevation)
                    row[j].a = key(0, static_cast<std::uint32_t>(std::lower_bound(levels.begin(), levels.end(), v) -
                                                                  levels.begin()));
        }
        nearest_levels(g, two_threads);
        const std::vector<OneLevelArea> areas = one_level_areas(g);

        for (int i = 0; i < nb_lig; ++i) {
            const Near* row = g.row(i);
            for (int j = 0; j < nb_col; ++j) {
                const Near& x = row[j];
                if (!is_free(x)) continue;
                if (x.a == kNone) {
                    ++r.unreached;
                    continue;
                }
                const double va = levels[code_of(x.a)];
                const double da = distance_of(x.a);
                if (!marked(x)) {
                    const double vb = levels[code_of(x.b)];
                    const double db = distance_of(x.b);
                    at(i, j) = va + (vb - va) * da / (da + db);
                    ++r.between;
                    continue;
                }
                const OneLevelArea& area = areas[code_of(x.b)];
                if (area.balance == 0 || r.step == 0.0) {
                    at(i, j) = va;
                    ++r.flat;
                    continue;
                }
                const double t = da / area.d_max;
                const double rise = r.step / 2 * (2 * t - t * t);
                at(i, j) = area.balance > 0 ? va + rise : va - rise;
                ++r.domed;
            }
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return r;
}

}  // namespace zorvel

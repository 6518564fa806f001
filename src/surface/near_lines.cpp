#include "surface/near_lines.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "base/threads.h"

namespace zorvel {

namespace {

// How many cells (or segments met) ahead the loops over them ask for the
// segments they will read.
constexpr int kAhead = 6;

// The room for n keys, each kNoLine. A large room new from the heap has its
// pages populated first, on two threads: touched a page at a time by the
// one thread that fills it, it took longer than the fill's first sweep.
double* room_for(std::vector<double>& room, std::size_t n) {
    if (room.capacity() < n && n * sizeof(double) >= kMappedBytes) {
        std::vector<double>().swap(room);
        room.reserve(n);
        room.push_back(0.0);
        populate(room.data(), n * sizeof(double));
    }
    room.assign(n, std::bit_cast<double>(kNoLine));
    return room.data();
}

int sign(double v) { return (v > 0.0) - (v < 0.0); }

// Sorts m by cell (below `cells`), stably: a radix sort of the cells' numbers,
// a few bits at a time (a comparison sort of as many took a third of the
// crowded cells' time).
void by_cell(SegmentsMet& m, std::size_t cells) {
    constexpr int kBits = 11;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    SegmentsMet other(m.size());
    std::vector<std::size_t> count(kBuckets);
    for (int shift = 0; shift < 64 && (cells - 1) >> shift != 0; shift += kBits) {
        std::fill(count.begin(), count.end(), 0);
        for (const auto& ks : m) ++count[(ks.first >> shift) & (kBuckets - 1)];
        for (std::size_t b = 0, at = 0; b < kBuckets; ++b) at += std::exchange(count[b], at);
        for (const auto& ks : m) other[count[(ks.first >> shift) & (kBuckets - 1)]++] = ks;
        m.swap(other);
    }
}

// Whether segment t crosses the straight way from (i, j) to q (in the grid's
// numbers): (i, j) and q
// on either side of its line, and its ends on either side of the way's or
// on it (a polyline through a point of the way crosses it there).
bool crosses(const Segment& t, double i, double j, const GridPoint& q) {
    const double wi = q.i - i, wj = q.j - j;
    const double ti = t.i0 + t.di, tj = t.j0 + t.dj;
    return sign(t.di * (j - t.j0) - t.dj * (i - t.i0)) * sign(t.di * (q.j - t.j0) - t.dj * (q.i - t.i0)) < 0 &&
           sign(wi * (t.j0 - j) - wj * (t.i0 - i)) * sign(wi * (tj - j) - wj * (ti - i)) <= 0;
}

// Of the ways from cell (i, j)'s centre to its eight neighbours', those
// segment t crosses, as bits (neighbour_bit): crosses() for each, its
// terms worked out once. The cell in the grid's numbers.
unsigned char ways_crossed(const Segment& t, int i, int j) {
    const int centre = sign(t.di * (j - t.j0) - t.dj * (i - t.i0));
    if (centre == 0) return 0;
    const double ai = t.i0 - i, aj = t.j0 - j;                        // its start from the centre
    const double bi = (t.i0 + t.di) - i, bj = (t.j0 + t.dj) - j;      // and its end
    unsigned int mask = 0;
    for (int di = -1; di <= 1; ++di)
        for (int dj = -1; dj <= 1; ++dj) {
            if (di == 0 && dj == 0) continue;
            const double qi = i + di, qj = j + dj;
            if (centre * sign(t.di * (qj - t.j0) - t.dj * (qi - t.i0)) < 0 && sign(di * aj - dj * ai) * sign(di * bj - dj * bi) <= 0)
                mask |= 1u << neighbour_bit(di, dj);
        }
    return static_cast<unsigned char>(mask);
}

}  // namespace

NearLines::NearLines(int nb_lig, int nb_col, bool split, std::vector<double>& room)
    : lig_(nb_lig),
      col_(nb_col),
      width_(static_cast<std::ptrdiff_t>(nb_col) + 2),
      a_(room_for(room, cells(nb_lig, nb_col))),
      b_(cells(nb_lig, nb_col)),
      flags_(b_.size()),
      crossed_(b_.size()) {
    const auto none = [this](std::size_t from, std::size_t to) {
        std::fill(b_.data() + from, b_.data() + to, kNoLine);
    };
    if (!split) {
        none(0, b_.size());
        return;
    }
    const std::size_t half = b_.size() / 2;
    Helper other([&] { none(half, b_.size()); });
    if (!other.started()) none(half, b_.size());
    none(0, half);
    other.join();
}

void NearLines::settle_cell(const std::pair<std::size_t, std::uint32_t>* first,
                            const std::pair<std::size_t, std::uint32_t>* last, const Segments& segs,
                            const std::vector<std::uint32_t>& level, SegmentsMet& others) {
    const std::size_t k = first->first;
    const int i = static_cast<int>(k / static_cast<std::size_t>(width_)) - 1;
    const int j = static_cast<int>(k % static_cast<std::size_t>(width_)) - 1;
    const std::uint32_t sa = segment_of(a_[k]), la = level[sa];
    LineKey b = kNoLine;
    for (const auto* x = first; x != last; ++x) {
        const std::uint32_t s = x->second;
        const LineKey c = line_key(segs.distance(s, i, j), s);
        if (level[s] == la || c >= b) continue;
        const GridPoint q = segs.nearest_point(s, i, j);
        const GridPoint p = segs.centre(i, j);
        if (std::none_of(first, last, [&](const auto& y) {
                return level[y.second] != level[s] && crosses(segs.all[y.second], p.i, p.j, q);
            }))
            b = c;
    }
    b_.data()[k] = b;
    // a cell of one level of its own takes the other from its neighbours
    if (b == kNoLine)
        for (const auto* x = first; x != last; ++x)
            if (x->second != sa) cross_ways(k, segs, x->second);
    unsigned char& f = flags_.data()[k];
    f = static_cast<unsigned char>((f & ~(kSeedB | kCrowded)) | (b != kNoLine ? kSeedB : 0));
    for (const auto* x = first; x != last; ++x)
        if (x->second != sa && (b != kNoLine ? x->second != segment_of(b) : level[x->second] != la))
            others.push_back(*x);
}

void NearLines::let_go_of_spreading() {
    ZeroedArray<unsigned char>().swap(flags_);
    ZeroedArray<unsigned char>().swap(crossed_);
    std::vector<std::size_t>().swap(other_cells_);
    std::vector<std::uint32_t>().swap(other_segments_);
    std::vector<std::size_t>().swap(other_rows_);
}

void NearLines::cross_ways(std::size_t k, const Segments& segs, std::uint32_t t) {
    crossed_.data()[k] |= ways_crossed(segs.all[t], static_cast<int>(k / static_cast<std::size_t>(width_)) - 1 + segs.part.i0,
                                       static_cast<int>(k % static_cast<std::size_t>(width_)) - 1 + segs.part.j0);
}

void NearLines::cross_own_lines(const Segments& segs, bool split) {
    const auto rows = [&](int first, int last) {
        for (int i = first; i < last; ++i)
            for (int j = 0; j < col_; ++j) {
                const std::size_t k = at(i, j);
                // the segment of a cell ahead, asked for before its turn: crowded
                // contours put neighbouring cells' segments far apart in memory
                if (const std::size_t f = k + kAhead; j + kAhead < col_ && (flags_.data()[f] & (kLine | kSeedB)) == kLine)
                    __builtin_prefetch(&segs.all[segment_of(a_[f])]);
                if ((flags_.data()[k] & (kLine | kSeedB)) != kLine) continue;
                const std::uint32_t s = segment_of(a_[k]);
                const GridPoint p = segs.centre(i, j);
                unsigned int mask = 0;
                for (int di = -1; di <= 1; ++di)
                    for (int dj = -1; dj <= 1; ++dj)
                        if ((di != 0 || dj != 0) && !segs.same_side(s, p, segs.centre(i + di, j + dj)))
                            mask |= 1u << neighbour_bit(di, dj);
                crossed_.data()[k] |= static_cast<unsigned char>(mask);
            }
    };
    if (!split) {
        rows(0, lig_);
        return;
    }
    Helper other([&] { rows(0, lig_ / 2); });
    if (!other.started()) rows(0, lig_ / 2);
    rows(lig_ / 2, lig_);
    other.join();
}

std::pair<const std::uint32_t*, const std::uint32_t*> NearLines::others(std::size_t k) const {
    // among those of its row
    const std::size_t row = k / static_cast<std::size_t>(width_);
    const std::size_t* first = other_cells_.data() + other_rows_[row];
    const std::size_t* last = other_cells_.data() + other_rows_[row + 1];
    const auto [lo, hi] = std::equal_range(first, last, k);
    const std::uint32_t* at = other_segments_.data();
    return {at + (lo - other_cells_.data()), at + (hi - other_cells_.data())};
}

void NearLines::take_others(SegmentsMet (&met)[3], bool split, const Segments& segs,
                            const std::vector<std::uint32_t>& level) {
    // the run-ons' cells to the half of the rows they lie in: each cell's
    // segments in one list
    const std::size_t second_half = split ? at(lig_ / 2, -1) : 0;
    for (const auto& ks : met[2]) met[ks.first < second_half ? 1 : 0].push_back(ks);
    SegmentsMet{}.swap(met[2]);
    SegmentsMet others[2];
    const auto settle = [&](int part) {
        SegmentsMet& m = met[part];
        // most are cells of one level (a polyline's vertex): their ways out
        // that a segment besides the nearest crosses, and nothing more
        std::erase_if(m, [&](const auto& ks) {
            const std::size_t k = ks.first;
            if (b_.data()[k] != kNoLine) return false;
            flags_.data()[k] &= static_cast<unsigned char>(~kCrowded);
            if (ks.second != segment_of(a_[k])) cross_ways(k, segs, ks.second);
            return true;
        });
        // each cell's segments side by side, the cells ascending (what a
        // cell settles to does not depend on the order of its segments)
        by_cell(m, static_cast<std::size_t>(width_) * static_cast<std::size_t>(lig_ + 2));
        for (std::size_t n = 0, e = 0; n < m.size(); n = e) {
            for (e = n; e < m.size() && m[e].first == m[n].first;) ++e;
            // the segments of the cells ahead, asked for before their turn
            for (std::size_t f = n + kAhead; f < std::min(e + kAhead, m.size()); ++f) __builtin_prefetch(&segs.all[m[f].second]);
            settle_cell(m.data() + n, m.data() + e, segs, level, others[part]);
        }
        SegmentsMet{}.swap(m);
    };
    if (split) {
        Helper other([&] { settle(1); });
        if (!other.started()) settle(1);
        settle(0);
        other.join();
    } else {
        settle(0);
    }
    // the first half's cells come before the second's
    SegmentsMet& all = others[1];
    all.insert(all.end(), others[0].begin(), others[0].end());
    SegmentsMet{}.swap(others[0]);
    unsigned char* flags = flags_.data();
    other_cells_.resize(all.size());
    other_segments_.resize(all.size());
    for (std::size_t n = 0; n < all.size(); ++n) {
        other_cells_[n] = all[n].first;
        other_segments_[n] = all[n].second;
        flags[all[n].first] |= kCrowded;
    }
    // where each row's begin, border rows included, and where the last ends
    other_rows_.assign(static_cast<std::size_t>(lig_) + 3, 0);
    for (std::size_t row = 0, n = 0; row < other_rows_.size(); ++row) {
        while (n < all.size() && all[n].first < row * static_cast<std::size_t>(width_)) ++n;
        other_rows_[row] = n;
    }
}

}  // namespace zorvel

// The room of the nearest levels: each cell's two nearest keys, its flags,
// the ways out of a line cell that its segments cross, and the segments of
// the cells that more than one meets.
#ifndef ZORVEL_NEAR_LINES_H
#define ZORVEL_NEAR_LINES_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/memory.h"
#include "surface/line_keys.h"
#include "surface/segments.h"

namespace zorvel {

// The nearest levels' keys, kept bit for bit in the room of a caller's
// doubles (which later take the cells' elevations, key by key).
class KeysInDoubles {
public:
    explicit KeysInDoubles(double* room) : bytes_(reinterpret_cast<unsigned char*>(room)) {}
    LineKey operator[](std::size_t k) const {
        LineKey v;
        std::memcpy(&v, bytes_ + sizeof(LineKey) * k, sizeof v);
        return v;
    }
    void set(std::size_t k, LineKey v) const { std::memcpy(bytes_ + sizeof(LineKey) * k, &v, sizeof v); }

private:
    unsigned char* bytes_;
};

// The bit of neighbour (i + di, j + dj) of a cell (i, j) in a set of them.
constexpr int neighbour_bit(int di, int dj) {
    const int n = (di + 1) * 3 + dj + 1;
    return n < 4 ? n : n - 1;
}

// Cells of a part that take keys as they are, before the levels spread: a
// ring of the whole grid's cells about a window, each holding the whole
// grid's two nearest. Nothing reaches the window from beyond it but
// through them, so its cells settle on the whole grid's levels (the keys
// by the part's segments, Segments::numbers).
struct RingCell {
    int i = 0, j = 0;  // in the part
    LineKey a = kNoLine, b = kNoLine;
};
using PartRing = std::vector<RingCell>;

// Segments that meet a cell: (the cell, the segment).
using SegmentsMet = std::vector<std::pair<std::size_t, std::uint32_t>>;

// The two nearest levels of every cell, with a border of cells that nothing
// reaches: cell (i, j) is at (i + 1) * width() + j + 1.
class NearLines {
public:
    // Nothing reaches any cell yet; the keys set on two threads when
    // `split`. The nearest keys are kept in `room`, resized to cells().
    NearLines(int nb_lig, int nb_col, bool split, std::vector<double>& room);
    // The cells, border included.
    static std::size_t cells(int nb_lig, int nb_col) {
        return (static_cast<std::size_t>(nb_col) + 2) * (static_cast<std::size_t>(nb_lig) + 2);
    }
    int nb_lig() const { return lig_; }
    int nb_col() const { return col_; }
    std::ptrdiff_t width() const { return width_; }
    std::size_t at(int i, int j) const {
        return static_cast<std::size_t>((static_cast<std::ptrdiff_t>(i) + 1) * width_ + j + 1);
    }
    KeysInDoubles a() const { return a_; }
    LineKey* b() { return b_.data(); }
    unsigned char* flags() { return flags_.data(); }
    const LineKey* b() const { return b_.data(); }
    const unsigned char* flags() const { return flags_.data(); }
    // Of a line cell of one level of its own, the ways to its neighbours
    // it takes no other level by (neighbour_bit): to a centre across the
    // line of its nearest segment, or across another segment that meets it.
    const unsigned char* crossed() const { return crossed_.data(); }

    static constexpr unsigned char kLine = 1;     // a segment meets the cell
    static constexpr unsigned char kSeedA = 2;    // its nearest is one of its own segments
    static constexpr unsigned char kSeedB = 4;    // its second nearest too
    static constexpr unsigned char kCrowded = 8;  // and others meet it besides its own (others())

    // The segments that meet crowded cell k besides its own.
    std::pair<const std::uint32_t*, const std::uint32_t*> others(std::size_t k) const;
    // The cells that more than one segment meets, from those segments (as
    // each seeding thread and the run-ons found them; let go here), segment
    // s of level level[s]. Each keeps as its second level the nearest it
    // sees: the straight way from its centre to the segment's nearest point
    // crosses no segment of another level that meets the cell. The other
    // segments of a cell of two levels, and those of other levels of a cell
    // of one, are kept and the cell marked kCrowded. The threads' halves on
    // two threads when `split`.
    void take_others(SegmentsMet (&met)[3], bool split, const Segments& segs, const std::vector<std::uint32_t>& level);
    // Once every segment is in: the ways out of each line cell of one level
    // of its own to a neighbour's centre across its nearest segment's line,
    // into crossed() (its nearest never changes after). On two threads when
    // `split`.
    void cross_own_lines(const Segments& segs, bool split);
    // Lets go of what only the spreading of the levels reads, once it is
    // done: the flags, the ways crossed and the crowded cells' other
    // segments (flags(), crossed() and others() hold nothing after). The two
    // nearest stay.
    void let_go_of_spreading();

private:
    // Cell first->first, from the segments [first, last) that meet it; the
    // others it keeps added to `others`.
    void settle_cell(const std::pair<std::size_t, std::uint32_t>* first, const std::pair<std::size_t, std::uint32_t>* last,
                     const Segments& segs, const std::vector<std::uint32_t>& level, SegmentsMet& others);

    // Marks the ways out of cell k that segment t crosses.
    void cross_ways(std::size_t k, const Segments& segs, std::uint32_t t);

    int lig_, col_;
    std::ptrdiff_t width_;
    KeysInDoubles a_;  // the nearest, in the caller's room
    ZeroedArray<LineKey> b_;
    ZeroedArray<unsigned char> flags_;
    ZeroedArray<unsigned char> crossed_;

    std::vector<std::size_t> other_cells_;       // ascending, once a segment
    std::vector<std::uint32_t> other_segments_;  // beside them
    std::vector<std::size_t> other_rows_;        // where each row's cells begin in them
};

}  // namespace zorvel

#endif

// For every cell of the grid, the two nearest contour levels that reach it
// and, of each, the segment they reach it from: the distance run through
// the grid from the segments, not across them.
//
// Exactly:
//  - A cell whose square a segment meets (edges and corners included) is a
//    line cell of it, and is reached by the segment's level at the distance
//    from its centre to the segment. Its own levels are the nearest of its
//    segments and, as its second, the nearest segment of another level that
//    its centre sees: the straight way to the segment's nearest point
//    crosses no segment of a third level or of the first that meets the
//    cell (a contour beyond another, in a cell several cross, does not
//    bound it). A ring of one level about the centre leaves it none.
//  - A level reaches a cell from a neighbour (eight of them) at the
//    neighbour's distance plus the step: 1 cell to the side, the square
//    root of 2 diagonally. Distances count in 256ths of a cell, each step
//    and each first distance rounded to one.
//  - A line cell hands on only its own levels, so that no level crosses a
//    line of another: a path from cell to cell crosses a segment only
//    through its line cells. It takes another level only from a neighbour
//    on the side of its nearest own segment that its centre lies on, by a
//    way from centre to centre that crosses no other segment meeting it (a
//    polyline through a point of the way crosses it there). It hands each
//    of its levels on only to a cell on its side of every segment of
//    another level that meets it (the cell's centre and the nearest point
//    of the level's segment on one side of it), those of levels it does not
//    keep included: contours closer than a cell, the two banks of a narrow
//    valley, let no level through.
//  - Each cell keeps its two nearest levels (distance first, then the
//    segment's number), each at its nearest segment; a third level nearer
//    than one of them takes its place.
#ifndef ZORVEL_NEAREST_LINES_H
#define ZORVEL_NEAREST_LINES_H

#include <memory>
#include <vector>

#include "surface/fill_table.h"
#include "surface/near_lines.h"
#include "surface/segments.h"

namespace zorvel {

// In a part of the grid, before its nearest levels: every end of a line
// runs on as in the whole grid (looked up among the segments), then only
// the segments that meet a cell of the part are kept, in their order, so
// that keys order as the whole grid's; Segments::numbers says which they
// were. Nothing else the part's levels read is let go.
//
// With the table of a window whose part it is (fill_table.h), the part's
// lines may be only those near it: the lines' own segments that meet the
// part must then be the table's, as many and lying where they did (or the
// part keeps none, and takes no table), and the run-ons come from the table.
// A table's ring names segments kept besides, whether they meet the part or
// not: those the cells about the window reach it from.
void keep_part_segments(Segments& segs, const WindowTable* table = nullptr);


// Every end of a line of the whole grid's segments runs on, as the whole
// grid's fill runs it on (looked up among the segments); the ends are let go.
void run_on_all_ends(Segments& segs);

// The segments by the squares of the grid whose cells they may meet, so
// that those of a part are found without a look at every one.
class SegmentSquares {
public:
    explicit SegmentSquares(const Segments& segs);
    // The segments that may meet a cell of part p, ascending, each once.
    std::vector<std::uint32_t> near(const GridPart& p) const;

private:
    static constexpr int kSide = 32;    // cells a square
    static constexpr int kSpread = 16;  // squares a segment's box may cover; longer ones go with every part
    int rows_ = 0, cols_ = 0;
    std::vector<std::size_t> first_;     // where each square's segments begin in them
    std::vector<std::uint32_t> segments_;
    std::vector<std::uint32_t> long_;    // those whose box covers more squares
};

// Into a window's table, made from the whole grid's segments (found by
// their squares): those that meet its part (table_part).
void list_part_segments(WindowTable& t, const Segments& segs, const SegmentSquares& squares);

// The two nearest levels of every cell of the segments' part of the grid,
// on two threads where it pays; the nearest kept in `room`.
// Cells of `ring` take its keys once the line cells are seeded.
std::unique_ptr<NearLines> nearest_lines(Segments& segs, bool two_threads, std::vector<double>& room,
                                         const PartRing* ring = nullptr);

}  // namespace zorvel

#endif

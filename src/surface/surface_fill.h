// The terrain between the contours: an elevation for every cell of the grid
// from the contour cells around it.
//
// The method, exactly:
//  - A contour cell (one with an elevation) keeps it. The other cells are
//    free; paths run through free cells only, by the moves of the 5-7
//    chamfer: a side step costs 5, a diagonal one 7 (only where one of the
//    two cells beside it is free: a path does not slip between two contour
//    cells that touch by a corner). The distance from a free cell to a level
//    is the cost of the cheapest path from it to a contour cell of that
//    level, in fifths of a cell.
//  - A free cell takes its two nearest levels, distances ordered first and
//    the lower level first where two are as near: a at d_a and b at d_b, and
//    its elevation is a + (b - a) * d_a / (d_a + d_b) (the product first). It lies strictly
//    between the two: a cell between two contours never leaves their band.
//  - A free cell that only one level reaches (a hilltop inside its last
//    ring, a hollow, ground beyond the outermost contour) belongs to an area
//    of such cells, 4-connected, bounded by that level v. The area rises when
//    the free cells just across its bounding contour cells mostly have a
//    lower second level, and sinks when they mostly have a higher one: a dome
//    v +- (I / 2) * (2t - t^2), t = d / d_max, where d is the cell's distance
//    to v, d_max the largest in the area and I the smallest step between two
//    levels of the grid. At its farthest cell it stands half a step from v,
//    so it never reaches the next level the contours would have drawn. Where
//    nothing tells (no other level, or as many cells each way) it stays flat
//    at v.
//  - A free cell that no contour reaches keeps no elevation.
#ifndef ZORVEL_SURFACE_FILL_H
#define ZORVEL_SURFACE_FILL_H

#include <optional>
#include <vector>

namespace zorvel {

// What the fill gave the free cells.
struct SurfaceFill {
    long long between = 0;    // between two levels
    long long domed = 0;      // rising or sinking from one level
    long long flat = 0;       // at the one level that bounds them
    long long unreached = 0;  // no contour reaches them: left without an elevation
    double step = 0.0;        // I: the smallest step between two levels
    // the lowest and the highest elevation of the filled grid (0 when none)
    double lowest = 0.0;
    double highest = 0.0;
};

// Fills alti (nb_lig rows by nb_col columns, row after row, kNoElevation
// where no contour was drawn) in place, on two threads when it is worth it;
// nullopt when its working memory, 8 bytes a cell (16 with more than 1,022
// levels or paths too long for 8), cannot be had.
std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, int nb_lig, int nb_col, bool two_threads = true);

}  // namespace zorvel

#endif

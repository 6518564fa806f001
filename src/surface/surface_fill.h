// The terrain between the contours: an elevation for every cell of the grid
// from the contour lines themselves, where they lie within the cells.
//
// The method, exactly:
//  - The lines are the polylines drawn, every vertex at its turned position
//    in the grid, each segment at the elevation it is drawn with, less the
//    vertices within 1/32 of a cell of the segment their neighbours make and
//    the parts of segments more than 2^40 cells from the grid (as
//    segments.h says); a line that ends short of the grid's edge runs on.
//    A cell's two nearest levels, and of each the segment nearest along the
//    way, are found as nearest_lines.h says: through the grid, never across
//    a line of another level. The cells a line crosses are filled like the
//    others.
//  - d_a and d_b are the distances from the cell's centre to those two
//    segments (a straight line, to the segment itself). A cell between two
//    levels a and b lies at t = d_a / (d_a + d_b) of the way from a to b,
//    across a band W = d_a + d_b wide.
//  - Each side of each segment holds the mean width and the mean far level
//    of the bands whose cells have as their nearest of its level a segment
//    of its polyline on a stretch about a band wide each way: the segments
//    whose middles lie within L of its own along the line, L the mean band
//    of the nearest segments with cells on that side (as many each way),
//    then the mean band within that L (side_bands.h). So a cell finds the
//    band beyond its a (level a', width W_a) and beyond its b (level b',
//    width W_b), from no farther along a line than the bands reach.
//  - The slope at a, as a multiple of the band's own (b - a) / W, is that of
//    the parabola through a', a and b at their distances: with r the slope
//    of the band beyond over the band's and w = W_a / W, (r + w) / (1 + w),
//    at most 3 min(r, 1); 0 where the two bands fall different ways (a ridge
//    or a valley along the contour). The same at b. A band with nothing
//    beyond a contour (the map's edge, an area of one level) carries its own
//    slope across it. The cell takes the cubic of those slopes from a to b
//    at t: its slope runs on across each contour, and it stays strictly
//    between a and b, as the terrain does.
//  - A cell that one level v alone reaches belongs to an area of such cells
//    (four-connected). The bands across its bounding contours say whether it
//    rises (they mostly fall away from v) or sinks, how steeply (m, their
//    mean slope) and by what interval (I, their mean |level - v|). With D the
//    largest distance of the area's cells to v and u = d / D, a cell takes
//    v +- H (2u - u^2), H = I tanh(m D / (2 I)): the surface leaves v with
//    the slope around it, rising as the parabola of that slope would (m D /
//    2) while well below the next contour, and levels off below it, which
//    the contours would have drawn had it been reached. Where nothing says
//    (no band around it, or as many each way) it stays at v.
//  - A cell that no contour reaches keeps no elevation (kNoElevation, -999).
//    A reached cell whose elevation comes out at exactly -999 takes the
//    next double above, -998.9999999999999, so that it is not read as one
//    without (written as Float32 it is -999 again).
//  - The sums are made over the same two halves of the rows however many
//    threads run, so that the surface is the same.
//
// Its working memory is about 18 bytes a cell, the elevations' own eight
// included (the nearest levels are kept in their room until each cell takes
// its elevation: then the second nearest, a flag and the ways out of a line
// cell that its segments cross, those two let go once the levels have
// spread, before the bands are summed), 90 a vertex kept (in a part that
// takes its table, of the segments that meet it), and
// while the line cells are seeded 16 for each segment of a cell that more
// than one segment meets.
#ifndef ZORVEL_SURFACE_FILL_H
#define ZORVEL_SURFACE_FILL_H

#include <optional>
#include <vector>

#include "base/grid.h"
#include "geometry/contour_lines.h"
#include "surface/fill_table.h"
#include "surface/segments.h"

namespace zorvel {

// The elevation a reached cell takes in place of -999, the mark of a cell
// without one: the next double above it.
constexpr double kAboveNoElevation = -0x1.f37ffffffffffp+9;
static_assert(kAboveNoElevation > kNoElevation && kAboveNoElevation - kNoElevation == 0x1p-43);

// What the fill gave the cells (of a part, the cells it keeps).
struct SurfaceFill {
    long long between = 0;    // between two levels
    long long domed = 0;      // rising or sinking from one level
    long long flat = 0;       // at the one level that bounds them
    long long unreached = 0;  // no contour reaches them: left without an elevation
    // of the cells kept of a part of the grid, those whose elevation the
    // part cannot vouch for: the whole grid's may differ (part_check.h)
    long long unsure = 0;
    // the lowest and the highest elevation of the filled grid (0 when none)
    double lowest = 0.0;
    double highest = 0.0;
};

// Fills alti (made the part's nb_lig rows by nb_col columns, row after row)
// from the lines, in the whole grid's cells, on two threads when it is
// worth it; nullopt when its working memory cannot be had. The lines are
// let go once their segments are made. In a part of the grid, the cells
// `keep` names are checked: those the part cannot vouch for are counted.
// A whole grid's fill makes the tables `tables` asks for; a part's takes the
// bands and the areas from the table given, where one is (fill_table.h).
std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, const GridPart& part, ContourLines&& lines,
                                        bool two_threads = true, const KeptCells* keep = nullptr,
                                        const FillTables& tables = {});

}  // namespace zorvel

#endif

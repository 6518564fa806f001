// The terrain between the contours: an elevation for every cell of the grid
// from the contour lines themselves, where they lie within the cells.
//
// The method, exactly:
//  - The lines are the polylines drawn, every vertex at its turned position
//    in the grid, each segment at the elevation it is drawn with. A cell's
//    two nearest levels, and of each the segment nearest along the way, are
//    found as in nearest_lines.h: through the grid, never across a line of
//    another level. The cells a line crosses are filled like the others.
//  - d_a and d_b are the distances from the cell's centre to those two
//    segments (a straight line, to the segment itself). A cell between two
//    levels a and b lies at t = d_a / (d_a + d_b) of the way from a to b,
//    across a band W = d_a + d_b wide.
//  - Each side of each segment holds the mean width and the mean far level
//    of the bands whose cells have it as their nearest segment of its level
//    (or, where none, of the whole polyline's side): so a cell finds the band
//    beyond its a (level a', width W_a) and beyond its b (level b', width
//    W_b). The slopes of the three bands, (a - a') / W_a, (b - a) / W and
//    (b' - b) / W_b, give the slope at a and at b as in a monotone cubic
//    (Fritsch and Carlson): 0 where the bands on both sides fall the same
//    way (a ridge or a valley along the contour), else the harmonic mean of
//    the two; a band that has nothing beyond (the map's edge, an area of one
//    level) continues its own slope. The cell takes the cubic of those
//    slopes from a to b at t: its slope runs on across each contour, and it
//    stays strictly between a and b, as the terrain does.
//  - A cell that one level v alone reaches belongs to an area of such cells
//    (four-connected). The bands across its bounding contours say whether it
//    rises (they mostly fall away from v) or sinks, how steeply (m, their
//    mean slope) and by what interval (I, their mean |level - v|). With D the
//    largest distance of the area's cells to v and u = d / D, a cell takes
//    v +- H (2u - u^2), H = I (1 - exp(-m D / (2 I))): the surface leaves v
//    with the slope around it and levels off below the next contour, which
//    the contours would have drawn had it been reached. Where nothing says
//    (no band around it, or as many each way) it stays at v.
//  - A cell that no contour reaches keeps no elevation.
#ifndef ZORVEL_SURFACE_FILL_H
#define ZORVEL_SURFACE_FILL_H

#include <optional>
#include <vector>

#include "geometry/contour_lines.h"

namespace zorvel {

// What the fill gave the cells.
struct SurfaceFill {
    long long between = 0;    // between two levels
    long long domed = 0;      // rising or sinking from one level
    long long flat = 0;       // at the one level that bounds them
    long long unreached = 0;  // no contour reaches them: left without an elevation
    // the lowest and the highest elevation of the filled grid (0 when none)
    double lowest = 0.0;
    double highest = 0.0;
};

// Fills alti (nb_lig rows by nb_col columns, row after row) from the lines,
// whose cell (i0, j0) is alti's first, on two threads when it is worth it;
// nullopt when its working memory cannot be had.
std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, int nb_lig, int nb_col, const ContourLines& lines,
                                        int i0 = 0, int j0 = 0, bool two_threads = true);

}  // namespace zorvel

#endif

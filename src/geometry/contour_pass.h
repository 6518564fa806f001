// The vertex step of pass two: a vertex from map coordinates to a grid cell,
// turned about the grid centre, and joined to the one before it; and the
// elevation grid it draws into.
#ifndef ZORVEL_CONTOUR_PASS_H
#define ZORVEL_CONTOUR_PASS_H

#include <string>

#include "base/console.h"
#include "geometry/elevation_grid.h"
#include "base/extents.h"
#include "geometry/trace_droite.h"

namespace zorvel {

// Creates dtab of nb_lig + 2 rows by nb_col + 2 columns with cells of
// `width` bytes (-999.0 over rows 0..nb_lig and columns 0..nb_col, 0.0 in
// the last row and column), after checking that it and the class grid fit
// in `memory` bytes (0: the machine's memory); empty, after a stop line
// (with hint at its end), when they cannot be had.
ElevationGrid grid_setup(Console& con, int nb_lig, int nb_col, int width, unsigned long long memory,
                         const std::string& hint = "", int more_per_cell = 0);

// What placing a vertex reads: the grid size, the extents' minimum, the pixel
// size and the rotation.
struct GridFrame {
    int nb_lig;
    int nb_col;
    double min_x;
    double min_y;
    double pix_size;
    double angle;  // degrees, from the rotation dialogue
    int sentido;   // 0 left, 1 right
    // turned by the polar form even at angle 0, whose round trip rounds the
    // positions (the dialogue's placement); false: at angle 0 a position is
    // not turned, and a point on a cell's edge falls in the cell after it
    bool polar = true;
};

// The fractional grid position of a map point, before the rotation.
struct GridPoint {
    double i;
    double j;
};
GridPoint grid_position(const GridFrame& fr, double x, double y);

// The cell of the map point (x, y): its grid position, turned and rounded.
Cell vertex_cell(const GridFrame& fr, double x, double y);

// Joins cell to deb, the cell of the previous vertex of the polyline, with
// alti unless the vertex is the polyline's first; cell becomes deb. False
// when dtab could not code alti (see ElevationGrid::set).
bool draw_step(ElevationGrid& dtab, Cell& deb, bool first, Cell cell, double alti);

}  // namespace zorvel

#endif

// The grid derived from the header extents and the pixel size, and the
// rotated pixel size.
#ifndef ZORVEL_GRID_GEOMETRY_H
#define ZORVEL_GRID_GEOMETRY_H

#include <optional>
#include <string>

#include "base/console.h"
#include "base/extents.h"
#include "base/report.h"

namespace zorvel {

// A grid's rows and columns, and the cell of it where a window's cells
// start (0, 0 for the grid itself).
struct GridSpan {
    int nb_lig = 0, nb_col = 0, i0 = 0, j0 = 0;
};

enum class Approximation { first, second };

struct GridSize {
    int nb_lig;
    int nb_col;
};

// Radians per degree, (1/180) times pi with pi = 4 atan(1).
double degree_factor();

// nb_lig and nb_col for the extents and pixel size, nearest whole number of
// pixels, halves going up; nullopt when a count leaves the int range.
std::optional<GridSize> size_grid(const Extents& ext, double pix_size);

// The sizing at code 20 of $EXTMAX: reports the approximation with nb_lig
// and nb_col; nullopt, after a stop line naming the drawing and what its
// extents are called, when the grid has no cells or leaves the int range.
std::optional<GridSize> grid_sizing(Console& con, Report& report, const Extents& ext, double pix_size,
                                    Approximation which, const std::string& drawing, const std::string& extents_name);

// The angle and the sense chosen between the passes.
struct RotationChoice {
    double angle;  // decimal degrees
    int sentido;   // 0 left, 1 right
};

// The pixel size of pass two: pix_size times hypo / nb_col, from pass one's nb_col.
double rotated_pixel_size(double pix_size, int nb_col, double angle);

}  // namespace zorvel

#endif

// The grid derived from the header extents and the pixel size, the rotation
// dialogue between the passes and the rotated pixel size.
#ifndef ZORVEL_GRID_GEOMETRY_H
#define ZORVEL_GRID_GEOMETRY_H

#include <cstdio>
#include <optional>
#include <string>

#include "console.h"
#include "extents.h"

namespace zorvel {

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

// The sizing at code 20 of $EXTMAX: prints the approximation with nb_lig
// and nb_col; nullopt, after a stop line naming the drawing, when the grid
// has no cells or leaves the int range.
std::optional<GridSize> grid_sizing(Console& con, const Extents& ext, double pix_size, Approximation which,
                                    const std::string& drawing);

// The angle and the sense chosen between the passes.
struct RotationChoice {
    double angle;  // decimal degrees
    int sentido;   // 0 left, 1 right
};

// Asks the angle, then the sense until it is 0 or 1; nullopt at end of input.
std::optional<RotationChoice> rotation_dialogue(Console& con);

// The pixel size of pass two: pix_size times hypo / nb_col, from pass one's nb_col.
double rotated_pixel_size(double pix_size, int nb_col, double angle);

// The report of pass one: polylines, elevation range, header extents.
void report_pass_one(std::FILE* out, int segm, double min_dyn, double max_dyn, const Extents& ext);

}  // namespace zorvel

#endif

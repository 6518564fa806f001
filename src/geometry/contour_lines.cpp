#include "geometry/contour_lines.h"

#include <cmath>

namespace zorvel {

GridPoint turned_position(const GridFrame& fr, double x, double y) {
    const GridPoint p = grid_position(fr, x, y);
    if (!fr.polar && fr.angle == 0.0) return p;
    // turned about the grid centre as the vertices are placed (sens 0 adds
    // the turn to the polar angle), without the polar form's round trip:
    // the fill wants the place, not the cell
    const double ic = fr.nb_lig * 0.5, jc = fr.nb_col * 0.5;
    const double dif_i = ic - p.i, dif_j = p.j - jc;
    const double radians = fr.angle * (std::atan(1.0) / 45.0);
    const double cos_t = std::cos(radians), sin_t = fr.sentido == 0 ? std::sin(radians) : -std::sin(radians);
    return GridPoint{ic - (dif_i * cos_t + dif_j * sin_t), jc + (dif_j * cos_t - dif_i * sin_t)};
}

}  // namespace zorvel

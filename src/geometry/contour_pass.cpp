#include "geometry/contour_pass.h"
#include "base/messages.h"

#include <cstdint>
#include <cstdio>

#include "base/memory.h"
#include "base/numeric.h"
#include "geometry/rotation.h"

namespace zorvel {

ElevationGrid grid_setup(Console& con, int nb_lig, int nb_col, int width, unsigned long long memory,
                         const std::string& hint) {
    // the cells and the row pointers, counted in extended precision: the
    // product passes 64 bits long before the int counts overflow; a grid of
    // one-byte codes becomes the class grid in place, any other needs one more
    const long double rows = static_cast<long double>(nb_lig) + 2;
    const long double cols = static_cast<long double>(nb_col) + 2;
    const long double per_cell = width + (width == 1 ? 0 : 1);
    const long double need = rows * cols * per_cell + rows * 2 * sizeof(void*);
    const long double have = static_cast<long double>(memory != 0 ? memory : usable_memory());
    if (nb_lig > INT32_MAX - 2 || nb_col > INT32_MAX - 2 || need > have) {
        char text[200];
        std::snprintf(text, sizeof text, T_("la cuadricula de %d lineas y %d columnas necesita %.0Lf MiB de memoria y solo hay %.0Lf MiB"),
                      nb_lig, nb_col, need / (1 << 20), have / (1 << 20));
        stop_line(con, text + hint);
        return ElevationGrid();
    }
    ElevationGrid dtab = ElevationGrid::make(nb_col + 2, nb_lig + 2, width);
    if (!dtab) stop_no_memory(con, T_("la cuadricula"), nb_lig, nb_col);
    return dtab;
}

GridPoint grid_position(const GridFrame& fr, double x, double y) {
    // row 0 lies at the top of the extents, the maximum Y
    const double i = static_cast<double>(fr.nb_lig - (static_cast<long double>(y) - fr.min_y) / fr.pix_size);
    const double j = static_cast<double>((static_cast<long double>(x) - fr.min_x) / fr.pix_size);
    return GridPoint{i, j};
}

Cell vertex_cell(const GridFrame& fr, double x, double y) {
    const GridPoint p = grid_position(fr, x, y);
    if (!fr.polar && fr.angle == 0.0) return Cell{round_half_up_exact(p.i), round_half_up_exact(p.j)};
    // turned even at angle 0: the rounding of the round trip is part of the result
    const Turned t = rotation(fr.angle, fr.sentido, p.i, p.j, fr.nb_lig, fr.nb_col);
    return Cell{round_half_up_exact(t.id2), round_half_up_exact(t.jd2)};
}

bool draw_step(ElevationGrid& dtab, Cell& deb, bool first, Cell cell, double alti) {
    const Cell from = deb;
    deb = cell;
    // each segment carries the elevation of its later vertex
    return first || dtab.draw(from, cell, alti);
}

}  // namespace zorvel

#include "geometry/contour_pass.h"
#include "base/messages.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "base/memory.h"
#include "base/numeric.h"
#include "geometry/rotation.h"

namespace zorvel {

ElevationGrid grid_setup(Console& con, int nb_lig, int nb_col, int width, unsigned long long memory,
                         const std::string& hint, int more_per_cell) {
    // the cells and the row pointers, counted in extended precision: the
    // product passes 64 bits long before the int counts overflow; a grid of
    // one-byte codes becomes the class grid in place, any other needs one more
    const long double rows = static_cast<long double>(nb_lig) + 2;
    const long double cols = static_cast<long double>(nb_col) + 2;
    const long double per_cell = width + (width == 1 ? 0 : 1) + more_per_cell;
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

namespace {

// Each coordinate of grid_position: row 0 lies at the top of the extents, the maximum Y.
double grid_row(const GridFrame& fr, double y) {
    return static_cast<double>(fr.nb_lig - (static_cast<long double>(y) - fr.min_y) / fr.pix_size);
}
double grid_column(const GridFrame& fr, double x) {
    return static_cast<double>((static_cast<long double>(x) - fr.min_x) / fr.pix_size);
}

}  // namespace

GridPoint grid_position(const GridFrame& fr, double x, double y) { return GridPoint{grid_row(fr, y), grid_column(fr, x)}; }

namespace {

// The cosine and sine of the turn last asked for on this thread.
struct TurnTrig {
    std::uint64_t angle_bits = ~std::uint64_t{0};  // no angle's
    double cos_t = 1.0;
    double sin_t = 0.0;
};
thread_local TurnTrig turn_trig;

// Where v, within `margin` of the exact position, rounds as
// round_half_up_exact rounds that position (v + 0.5 truncated toward
// zero), its cell: where v + 0.5 is not within the margin of a whole number.
bool settled_near(double v, double margin, double& cell) {
    const double up = v + 0.5;
    if (!(std::fabs(up) < 0x1p52)) return false;  // NaN too
    cell = static_cast<double>(static_cast<long long>(up));
    // up - floor(up), rounded as that difference rounds, without the call
    const double below = up - cell;
    const double past = below < 0.0 ? below + 1.0 : below;
    return past > margin && past < 1.0 - margin;
}

// Where the turned cell can be told without the polar form, the cell.
//
// The polar form turns p about the centre by going through its polar angle:
// atan2, degrees, the turn added, radians, sin and cos, each step rounded
// by an ulp or so of its result. So its row and column differ from those of
// the exact turn by about 1e-14 of p's distance from the centre, plus an
// ulp of the centre's coordinates. The turn by the angle's cosine and sine
// comes within as little of the exact one. Where a coordinate of the latter
// lies farther than kMargin (1e-9, some 10^5 times both errors together) of
// that distance from the half at which it rounds, both round it alike: the
// cell is the polar form's, bit for bit. Elsewhere (within that margin,
// turns beyond one turn, where the degrees lose digits, positions far away
// or without a value) nothing, and the polar form decides.
std::optional<Cell> cell_turned_clear(const GridFrame& fr, const GridPoint& p) {
    constexpr double kMargin = 0x1p-30;
    constexpr double kFar = 1e9;
    if (!(std::fabs(fr.angle) <= 360.0)) return std::nullopt;
    const double ic = fr.nb_lig * 0.5;
    const double jc = fr.nb_col * 0.5;
    const double dif_i = ic - p.i;
    const double dif_j = p.j - jc;
    if (!(std::fabs(dif_i) < kFar && std::fabs(dif_j) < kFar)) return std::nullopt;  // NaN too
    TurnTrig& t = turn_trig;
    if (t.angle_bits != bits_of(fr.angle)) {
        const double radians = fr.angle * (std::atan(1.0) / 45.0);
        t = TurnTrig{bits_of(fr.angle), std::cos(radians), std::sin(radians)};
    }
    // sens 0 adds the turn to the polar angle, any other takes it away:
    // d * sin(a + t) = dif_i cos t + dif_j sin t, d * cos(a + t) = dif_j cos t - dif_i sin t
    const double sin_t = fr.sentido == 0 ? t.sin_t : -t.sin_t;
    const double row = ic - (dif_i * t.cos_t + dif_j * sin_t);
    const double col = jc + (dif_j * t.cos_t - dif_i * sin_t);
    const double margin = (std::fabs(dif_i) + std::fabs(dif_j) + ic + jc + 1.0) * kMargin;
    Cell c{0.0, 0.0};
    if (!settled_near(row, margin, c.i) || !settled_near(col, margin, c.j)) return std::nullopt;
    return c;
}

// The inverse of the pixel size last asked for on this thread; 0 where it
// is no normal double, whose product would lose digits.
struct PixelInverse {
    std::uint64_t pix_bits = ~std::uint64_t{0};  // no size's
    double inverse = 0.0;
};
thread_local PixelInverse pixel_inverse;

// The grid position in doubles, a product for each quotient: within
// 2^-49 (|q| + nb_lig) of grid_position's, q being the quotient of each
// coordinate (the difference, the inverse and the product each round by
// half an ulp, and so does grid_position's result); NaN where the inverse
// is unusable.
GridPoint near_position(const GridFrame& fr, double x, double y) {
    PixelInverse& v = pixel_inverse;
    if (v.pix_bits != bits_of(fr.pix_size)) {
        const double inverse = 1.0 / fr.pix_size;
        v = PixelInverse{bits_of(fr.pix_size), std::isnormal(inverse) ? inverse : 0.0};
    }
    if (v.inverse == 0.0) return GridPoint{std::nan(""), std::nan("")};
    return GridPoint{fr.nb_lig - (y - fr.min_y) * v.inverse, (x - fr.min_x) * v.inverse};
}

}  // namespace

Cell vertex_cell(const GridFrame& fr, double x, double y) {
    // the position in doubles settles nearly every cell; grid_position,
    // in extended precision, the few that lie by a cell's edge
    const GridPoint near = near_position(fr, x, y);
    if (!fr.polar && fr.angle == 0.0) {
        // margins a thousand times the error bound
        const double margin_i = (std::fabs(near.i) + 2.0 * fr.nb_lig + 1.0) * 0x1p-39;
        const double margin_j = (std::fabs(near.j) + 1.0) * 0x1p-39;
        // only the one that lies by an edge (a vertex on a grid line, as
        // contours traced on a grid of the same spacing have by the thousand)
        Cell c{0.0, 0.0};
        if (!settled_near(near.i, margin_i, c.i)) c.i = round_half_up_exact(grid_row(fr, y));
        if (!settled_near(near.j, margin_j, c.j)) c.j = round_half_up_exact(grid_column(fr, x));
        return c;
    }
    // turned even at angle 0: the rounding of the round trip is part of the
    // result, and the polar form decides wherever it could matter. Its
    // margin is some 2^17 times the position's error.
    if (const auto c = cell_turned_clear(fr, near)) return *c;
    const GridPoint p = grid_position(fr, x, y);
    if (const auto c = cell_turned_clear(fr, p)) return *c;
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

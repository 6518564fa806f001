// Fuzz target: the rotation and the segment walk on any doubles and ints,
// NaN, infinities and extremes included, into a small grid whose every write
// the sanitizers check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "geometry/contour_pass.h"
#include "geometry/elevation_grid.h"
#include "base/grid.h"
#include "base/numeric.h"
#include "geometry/rotation.h"
#include "geometry/trace_droite.h"

using namespace zorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* p = data;
    std::size_t left = size;
    const int rows = 1 + take<std::uint8_t>(p, left) % 40;
    const int cols = 1 + take<std::uint8_t>(p, left) % 40;
    const double angle = take<double>(p, left);
    const int sens = take<std::uint8_t>(p, left) % 2;
    auto g = Grid<double>::make(cols + 2, rows + 2);
    const DrawTarget<double> view{g.rows(), rows + 2, cols + 2};
    // the same walks into a grid of codes, which must hold the same elevations
    auto coded = ElevationGrid::make(cols + 2, rows + 2, 2);
    for (int i = 0; i < rows + 2; ++i)
        for (int j = 0; j < cols + 2; ++j) g[i][j] = (i == rows + 1 || j == cols + 1) ? 0.0 : kNoElevation;
    int segments = 0;
    Cell deb{0, 0};
    bool have_deb = false;
    while (left >= 2 * sizeof(double)) {
        const double i = take<double>(p, left);
        const double j = take<double>(p, left);
        const Turned t = rotation(angle, sens, i, j, rows, cols);
        // the distance to the centre is kept wherever it is finite
        const Cell cell{round_half_up_exact(t.id2), round_half_up_exact(t.jd2)};
        // a vertex's cell is the polar form's, however it is found
        const GridFrame fr{rows, cols, 0.0, 0.0, 1.0, angle, sens};
        const GridPoint at = grid_position(fr, j, rows - i);
        const Turned polar = rotation(angle, sens, at.i, at.j, rows, cols);
        const Cell placed = vertex_cell(fr, j, rows - i);
        if (bits_of(placed.i) != bits_of(round_half_up_exact(polar.id2)) ||
            bits_of(placed.j) != bits_of(round_half_up_exact(polar.jd2)))
            std::abort();
        if (have_deb) {
            // more elevations than one byte codes
            const double alti = 1.0 + (segments++ % 300);
            trace_segment(view, deb, cell, alti);
            if (!coded.draw(deb, cell, alti)) std::abort();
        }
        deb = cell;
        have_deb = true;
    }
    for (int i = 0; i < rows + 2; ++i)
        for (int j = 0; j < cols + 2; ++j)
            if (coded.at(i, j) != g[i][j]) std::abort();
    // and the walk on raw ints
    p = data;
    left = size;
    while (left >= 4 * sizeof(std::int16_t)) {
        const int a = take<std::int16_t>(p, left), b = take<std::int16_t>(p, left);
        const int c = take<std::int16_t>(p, left), d = take<std::int16_t>(p, left);
        trace_droite(view, a, b, c, d, 2.0);
    }
    return 0;
}

#include "run/fill_run.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/messages.h"
#include "surface/surface_fill.h"

namespace zorvel {

namespace {

// A window's margin grows until its part of the grid would hold more than
// this many times the cells of the window with its first margin all round:
// a window is not let take a whole grid's memory.
constexpr long long kGrowth = 4;

long long cells_of(const GridPart& p) { return static_cast<long long>(p.nb_lig) * p.nb_col; }

// The part of the grid around a window with a margin, within the grid.
GridPart part_around(const GridSpan& whole, const GridWindow& w, int margin) {
    const WindowCells c = with_margin(w, margin, whole.nb_lig, whole.nb_col);
    return GridPart{whole.nb_lig, whole.nb_col, c.i0, c.j0, c.rows, c.cols};
}

}  // namespace

std::optional<std::pair<double, double>> fill_between_contours(Console& con, RunState& rs, ContourLines&& lines,
                                                               const std::optional<GridWindow>& window, int margin,
                                                               bool grows, const FillTables& tables) {
    const GridPart drawn{rs.whole.nb_lig, rs.whole.nb_col, rs.whole.i0, rs.whole.j0, rs.nb_lig, rs.nb_col};
    GridPart part = drawn;
    const long long budget =
        window ? kGrowth * (window->ysize + 2LL * margin) * (window->xsize + 2LL * margin) : cells_of(drawn);
    std::vector<double> wider;
    std::optional<SurfaceFill> fill;
    for (;;) {
        std::optional<KeptCells> keep;
        if (window) keep = KeptCells{window->yoff - part.i0, window->xoff - part.j0, window->ysize, window->xsize};
        const int wider_margin = margin > (1 << 29) ? 1 << 30 : std::max(1, 2 * margin);
        const GridPart next = window ? part_around(rs.whole, *window, wider_margin) : part;
        const bool last = !grows || !window || part.is_whole() || cells_of(next) > budget;
        ContourLines kept;
        if (!last) kept = lines;
        const bool own = part.i0 == drawn.i0 && part.j0 == drawn.j0 && part.nb_lig == drawn.nb_lig && part.nb_col == drawn.nb_col;
        fill = fill_surface(own ? rs.alti : wider, part, std::move(last ? lines : kept), true, keep ? &*keep : nullptr, tables);
        if (!fill) {
            stop_no_memory(con, T_("el relleno entre las curvas"), part.nb_lig, part.nb_col);
            return std::nullopt;
        }
        if (fill->unsure == 0 || last) break;
        margin = wider_margin;
        part = next;
    }
    if (!wider.empty()) {
        // the drawn cells, out of the wider part's
        rs.alti.resize(static_cast<std::size_t>(drawn.nb_lig) * static_cast<std::size_t>(drawn.nb_col));
        for (int i = 0; i < drawn.nb_lig; ++i)
            std::copy_n(wider.data() + static_cast<std::size_t>(drawn.i0 - part.i0 + i) * static_cast<std::size_t>(part.nb_col) +
                            static_cast<std::size_t>(drawn.j0 - part.j0),
                        drawn.nb_col, rs.alti.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(drawn.nb_col));
    }
    if (fill->unsure > 0 && tables.given != nullptr) {
        stop_line(con, message(T_("-fill_table: {1} celdas de la ventana no son las de la cuadricula entera con su tabla: "
                                  "la tabla es de otras curvas u otra cuadricula, o su margen de {2} no basta"),
                               {std::to_string(fill->unsure), std::to_string(margin)}));
        return std::nullopt;
    }
    if (fill->unsure > 0) {
        stop_line(con, message(T_("-srcwin y -fill: {1} celdas de la ventana dependen de curvas o celdas mas alla de su "
                                  "margen de {2}: pida un -fill_margin mayor"),
                               {std::to_string(fill->unsure), std::to_string(margin)}));
        return std::nullopt;
    }
    rs.fill = *fill;
    // a window's cells are all reached, or it has stopped
    if (fill->unreached > 0 && !window)
        warn_line(con, std::to_string(fill->unreached) +
                           T_(" celdas quedan sin elevacion: no les llega ninguna curva (la cuadricula no tiene ninguna)"));
    return std::pair{fill->lowest, fill->highest};
}

}  // namespace zorvel

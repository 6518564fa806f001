#include "geometry/grid_layout.h"
#include "base/messages.h"

#include <cmath>
#include <cstdio>

#include "geometry/grid_geometry.h"

namespace zorvel {

namespace {

constexpr double kMaxCells = 2147483000.0;  // rows or columns within the int range, with room

// A grid of nc columns and nl rows of cells of tr whose corner is at
// (x0, y1), the top left: the vertices' placement puts a cell's centre on
// its whole row and column, so the frame lies half a cell right and down.
GridLayout corner_grid(double x0, double y1, double nc, double nl, double tr) {
    Extents f;
    f.min_x = x0 + 0.5 * tr;
    f.max_x = f.min_x + nc * tr;
    f.max_y = y1 - 0.5 * tr;
    f.min_y = f.max_y - nl * tr;
    return GridLayout{f, tr};
}

}  // namespace

std::optional<GridLayout> user_grid(const Extents& extent, const GridAsk& ask, std::string& why) {
    const double w = extent.max_x - extent.min_x, h = extent.max_y - extent.min_y;
    double tr = ask.tr;
    if (ask.ts) {
        const double tx = w / ask.ts->first, ty = h / ask.ts->second;
        // square cells: the extent's shape must be the grid's
        if (!(std::fabs(tx - ty) <= 1e-9 * std::fmax(tx, ty))) {
            why = message(T_("-ts {1} {2}: las celdas de {3} por {4} no son cuadradas"),
                          {std::to_string(ask.ts->first), std::to_string(ask.ts->second), number_text(tx), number_text(ty)});
            return std::nullopt;
        }
        tr = tx;
    }
    const auto in_range = [&](double cells) {
        if (cells >= 1 && cells <= kMaxCells) return true;
        why = T_("la cuadricula pedida no tiene celdas o sale del rango de los enteros");
        return false;
    };
    if (ask.angle != 0.0) {
        // the extent turned: its bounding box, about the same centre
        const double r = ask.angle * degree_factor();
        const double c = std::fabs(std::cos(r)), s = std::fabs(std::sin(r));
        const double nc = std::floor((w * c + h * s) / tr) + 2, nl = std::floor((w * s + h * c) / tr) + 2;
        if (!in_range(nc) || !in_range(nl)) return std::nullopt;
        const double cx = extent.min_x + 0.5 * w, cy = extent.min_y + 0.5 * h;
        // the centre of the extent on the grid's centre, about which the vertices turn
        Extents f{cx - 0.5 * nc * tr, cy - 0.5 * nl * tr, 0.0, cx + 0.5 * nc * tr, cy + 0.5 * nl * tr, 0.0};
        return GridLayout{f, tr};
    }
    double x0 = extent.min_x, y1 = extent.max_y, nc = 0, nl = 0;
    if (ask.tap) {
        x0 = std::floor(extent.min_x / tr) * tr;
        y1 = std::ceil(extent.max_y / tr) * tr;
        nc = ask.exact ? std::ceil(extent.max_x / tr) - std::floor(extent.min_x / tr)
                       : std::floor((extent.max_x - x0) / tr) + 1;
        nl = ask.exact ? std::ceil(extent.max_y / tr) - std::floor(extent.min_y / tr)
                       : std::floor((y1 - extent.min_y) / tr) + 1;
    } else if (ask.exact || ask.ts) {
        nc = ask.ts ? ask.ts->first : std::floor(w / tr + 0.5);
        nl = ask.ts ? ask.ts->second : std::floor(h / tr + 0.5);
    } else {
        // every point of the sheet, the maximum X and the minimum Y included
        nc = std::floor(w / tr) + 1;
        nl = std::floor(h / tr) + 1;
    }
    if (!in_range(nc) || !in_range(nl)) return std::nullopt;
    return corner_grid(x0, y1, nc, nl, tr);
}

}  // namespace zorvel

// The grid as a GIS user asks for it: cells of the size given, exactly the
// extent given, or the whole sheet turned about its centre with every
// vertex of it inside; laid out as the rectangle the vertices are placed in.
#ifndef ZORVEL_GRID_LAYOUT_H
#define ZORVEL_GRID_LAYOUT_H

#include <optional>
#include <string>
#include <utility>

#include "base/extents.h"

namespace zorvel {

// Where the vertices are placed and the size of the cells: a point (x, y)
// falls at row nb_lig - (y - frame.min_y) / pix_size and column
// (x - frame.min_x) / pix_size, turned about the grid centre, and the grid
// has as many rows and columns as the frame holds cells.
struct GridLayout {
    Extents frame;
    double pix_size;
};

// What the user asked of the grid.
struct GridAsk {
    double tr = 0.0;                             // the cell size; 0 with ts
    std::optional<std::pair<int, int>> ts;       // columns and rows
    bool exact = false;                          // the extent is -te's, taken as it is
    bool tap = false;                            // aligned to multiples of tr
    double angle = 0.0;                          // degrees
};

// The grid over `extent` (-te's, or the sheet's: the header's or the
// layer's). Unturned, its columns and rows are the cells of tr from the
// extent's minimum X and maximum Y: as many as cover every point of the
// sheet, its far edges included, or exactly -te's extent (to the nearest
// cell, as gdal_rasterize takes it), aligned to multiples of tr with tap.
// Turned, it is the smallest grid centred on the extent's centre that holds
// the extent turned by the angle, with a cell to spare for the rounding.
// nullopt, with why, when -ts asks for cells that are not square, or for a
// grid beyond the int range.
std::optional<GridLayout> user_grid(const Extents& extent, const GridAsk& ask, std::string& why);

}  // namespace zorvel

#endif

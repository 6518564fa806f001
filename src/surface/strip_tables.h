// The tables of a grid's windows (fill_table.h) made without the whole
// grid's fill in memory: strip by strip, each strip a row of windows, whole
// rows wide, with the row beyond each of its edges (its ring).
//
// 1. The nearest levels. Each strip fills itself with its ring holding
//    what its neighbours' last fills gave their edge rows, down the grid,
//    up again and so on, each strip again while its ring changes. Each
//    fill's keys are ways that exist in the whole grid, never nearer than
//    its own, and a strip whose ring holds the whole grid's keys settles on
//    them (nearest_lines.h): once no ring changes, every strip holds the
//    whole grid's keys.
// 2. The bands. Each strip, in the grid's order, adds its cells' bands to
//    the sums the whole grid's fill makes (fill_sums.h), to the same bits;
//    its pieces of areas of one level, four-connected among its rows, are
//    joined across its edges into the whole grid's areas, numbered by their
//    first cells as the whole grid's fill numbers them.
// 3. The areas. Each strip again adds what its cells tell their areas, and
//    makes its windows' tables, whose areas take their heights at the end.
//
// Memory: a strip's cells (about 17 bytes a cell), the whole grid's
// segments and their sums, the strips' edge rows.
#ifndef ZORVEL_STRIP_TABLES_H
#define ZORVEL_STRIP_TABLES_H

#include <vector>

#include "geometry/contour_lines.h"
#include "surface/fill_table.h"

namespace zorvel {

// The tables of the windows `tables` (their cells set; they tile the grid
// of rows x cols by rows of windows of one height), as the whole grid's
// fill of `lines` makes them; on two threads where it pays. An allocation
// that fails throws std::bad_alloc.
void tabulate_by_strips(const ContourLines& lines, int rows, int cols, std::vector<WindowTable>& tables,
                        bool two_threads);

}  // namespace zorvel

#endif

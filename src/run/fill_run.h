// The fill between the contours within a run: of the whole grid, or of a
// window with the margin around it that its cells need.
#ifndef ZORVEL_FILL_RUN_H
#define ZORVEL_FILL_RUN_H

#include <optional>
#include <utility>

#include "base/console.h"
#include "geometry/contour_lines.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "surface/fill_table.h"

namespace zorvel {

// Fills the run's alti between the contours; the lowest and highest
// elevation of the filled grid; nullopt after a stop line. In a window (its
// margin drawn around it), only what the window can vouch for: its cells
// the whole grid's, or a stop line. A margin that `grows` doubles until the
// window vouches for every cell, or its part holds the whole grid or would
// pass its budget; the drawn cells are then taken from the wider fill.
std::optional<std::pair<double, double>> fill_between_contours(Console& con, RunState& rs, ContourLines&& lines,
                                                               const std::optional<GridWindow>& window, int margin,
                                                               bool grows, const FillTables& tables);

}  // namespace zorvel

#endif

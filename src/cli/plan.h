// The plan of a grid's windows: the whole drawing read once for the grid,
// the interval and the limits, then a command a line for each window (for
// xargs, GNU parallel or a Slurm array) and the VRT that mosaics them.
#ifndef ZORVEL_PLAN_H
#define ZORVEL_PLAN_H

#include <optional>
#include <string>

#include "base/console.h"
#include "cli/options.h"
#include "surface/fill_table.h"

namespace zorvel {

// Runs the plan that cl asks for (-plan COLUMNS ROWS); the exit status.
int run_plan(const CommandLine& cl, Console& con);

// The table of window w in the file a plan of the fill wrote; nullopt after a stop line.
std::optional<WindowTable> read_window_table(Console& con, const std::string& path, const GridWindow& w);

}  // namespace zorvel

#endif

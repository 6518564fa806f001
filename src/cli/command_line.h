// The program as a command-line tool: every setting given as an option, no
// question asked, in the manner of the field's tools (gdal_rasterize's
// option names), and a georeferenced header beside the raw image.
#ifndef ZORVEL_COMMAND_LINE_H
#define ZORVEL_COMMAND_LINE_H

#include <string>
#include <vector>

#include "cli/options.h"
#include "base/console.h"
#include "output/envi_header.h"

namespace zorvel {

// Runs the program with these arguments (argv without the program's name);
// the exit status: 0 after a complete run, 1 when the run stops, 2 for a
// command line that cannot be used.
int run_command_line(const std::vector<std::string>& args, Console& con);

}  // namespace zorvel

#endif

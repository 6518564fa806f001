// What the command line says of a run that ended: the grid, the image, the
// classes, the interval and why, the fill, and the files written.
#ifndef ZORVEL_SUMMARY_H
#define ZORVEL_SUMMARY_H

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "run/finished_run.h"

namespace zorvel {

// Writes the summary of the run done to out: image is the output named
// first, paths the files (those that exist are listed).
void summary(std::FILE* out, const CommandLine& cl, const FinishedRun& rs, const std::string& image,
             const std::vector<std::string>& paths, const std::string& interval_why);

}  // namespace zorvel

#endif

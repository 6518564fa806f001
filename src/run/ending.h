// How a run that got its classes ends, whichever way it came in: the crop
// and the descriptor, the raw image, the outputs of its own (the command
// line's header), every output under its name, and the summary.
#ifndef ZORVEL_ENDING_H
#define ZORVEL_ENDING_H

#include <functional>
#include <optional>

#include "run/finished_run.h"
#include "run/run_state.h"
#include "base/console.h"
#include "base/report.h"
#include "output/output.h"

namespace zorvel {

// The run rs as it stands, for what is written of it.
FinishedRun finished_of(RunState& rs);

// Writes what a run that got its classes writes; the exit status of the
// run: 0 when all is written, 1 after a stop line.
int end_run(Console& con, Report& report, RunState& rs, const RunEnding& ending = {});

}  // namespace zorvel

#endif

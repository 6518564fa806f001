// How a run that got its classes ends, whichever way it came in: the crop
// and the descriptor, the raw image, the outputs of its own (the command
// line's header), every output under its name, and the summary.
#ifndef ZORVEL_ENDING_H
#define ZORVEL_ENDING_H

#include <functional>
#include <optional>

#include "app/run_state.h"
#include "base/console.h"
#include "base/report.h"
#include "output/output.h"

namespace zorvel {

struct RunEnding {
    // the image cut down to the cells with a class (the dialogue's), or the whole grid
    bool crop = true;
    // an image of the drawn elevations (the run's alti) instead of the classes
    std::optional<ValueImage> values;
    // the rows and columns of the run's cells kept, when not all (or the crop) of them
    std::optional<Crop> keep;
    // outputs written after the raw image, before any output takes its name;
    // false, after its stop line, when one cannot be written
    std::function<bool(const RunState&)> more_outputs;
    // said once every output has its name
    std::function<void(const RunState&)> summary;
};

// Writes what a run that got its classes writes; the exit status of the
// run: 0 when all is written, 1 after a stop line.
int end_run(Console& con, Report& report, RunState& rs, const RunEnding& ending = {});

}  // namespace zorvel

#endif

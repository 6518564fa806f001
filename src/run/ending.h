// How a run that got its classes ends, whichever way it came in: the crop
// and the descriptor, the raw image, the outputs of its own (the command
// line's header), every output under its name, and the summary.
#ifndef ZORVEL_ENDING_H
#define ZORVEL_ENDING_H

#include <functional>
#include <optional>

#include "run/run_state.h"
#include "base/console.h"
#include "base/report.h"
#include "output/output.h"

namespace zorvel {

// What a finished run made, as the outputs written last and the summary
// read it: the image, its classes, where the grid and the image lie, the
// grid's elevations, and what the fill gave.
struct FinishedRun {
    const CroppedImage& image;
    const ClassTable& classes;
    const GridSpan& whole;             // the whole grid: rows, columns, and the cell the run's starts at
    double pix_size;                   // the grid's cells, the rotated size
    const Extents& frame;              // where the vertices were placed
    RotationChoice turn;
    std::vector<double>& alti;         // the drawn (or filled) elevations, nb_col a row, when kept
    int nb_col;
    const std::optional<SurfaceFill>& fill;
};

struct RunEnding {
    // the image cut down to the cells with a class (the dialogue's), or the whole grid
    bool crop = true;
    // an image of the drawn elevations (the run's alti) instead of the classes
    std::optional<ValueImage> values;
    // the rows and columns of the run's cells kept, when not all (or the crop) of them
    std::optional<Crop> keep;
    // outputs written after the raw image, before any output takes its name;
    // false, after its stop line, when one cannot be written
    std::function<bool(const FinishedRun&)> more_outputs;
    // said once every output has its name
    std::function<void(const FinishedRun&)> summary;
};

// Writes what a run that got its classes writes; the exit status of the
// run: 0 when all is written, 1 after a stop line.
int end_run(Console& con, Report& report, RunState& rs, const RunEnding& ending = {});

}  // namespace zorvel

#endif

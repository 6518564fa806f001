// What a finished run made and how the run ends, as whoever drives it sees
// them: the image, its classes, where it lies, and the outputs written last.
#ifndef ZORVEL_FINISHED_RUN_H
#define ZORVEL_FINISHED_RUN_H

#include <functional>
#include <optional>
#include <vector>

#include "base/extents.h"
#include "classes/classes.h"
#include "geometry/grid_geometry.h"
#include "output/output.h"
#include "surface/surface_fill.h"

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
    int val_minimo, val_maximo;  // the table's limits
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

}  // namespace zorvel

#endif

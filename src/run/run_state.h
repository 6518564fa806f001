// The values a run carries from one phase to the next, under the short
// French and Spanish names the program gives them everywhere (its texts,
// its files), kept whole so that one search finds them all. Only the run itself sees them: every phase takes what it reads and
// gives back what it makes.
#ifndef ZORVEL_RUN_STATE_H
#define ZORVEL_RUN_STATE_H

#include <cstddef>
#include <optional>
#include <vector>

#include "classes/classes.h"
#include "base/extents.h"
#include "base/files.h"
#include "base/grid.h"
#include "base/stages.h"
#include "geometry/grid_geometry.h"
#include "output/output.h"
#include "run/settings.h"
#include "surface/surface_fill.h"

namespace zorvel {

struct RunState {
    RunLimits limits;
    RunFiles files;  // f1, f2, f2d, f3d and their paths

    double pix_size = 0.0;  // the pixel size of the grid: typed, then the rotated one
    double size_pix = 0.0;  // the pixel size as typed, for the descriptor
    Extents ext;            // the extents of the sheet (or -te's), for the descriptor
    Extents frame;          // where the vertices were placed: the grid's own rectangle

    int nb_lig = 0;           // grid rows
    int nb_col = 0;           // grid columns
    // the grid rs's cells are a window of (-srcwin), and where they start in
    // it; the whole grid, from 0, without a window
    GridSpan whole;
    Grid<unsigned char> tab;  // class numbers, nb_lig rows by nb_col columns
    std::vector<double> alti;  // the drawn elevations, row after row, when the image is of them
    std::optional<SurfaceFill> fill;  // what the fill between the contours gave, when asked

    int val_minimo = 0;  // correspondence table minimum
    int val_maximo = 0;  // correspondence table maximum
    ClassTable classes;  // the class values
    RotationChoice turn{0.0, 0};

    StageClock stages;  // how long each stage took, for the benchmarks

    CroppedImage image;  // nb_lig3, nb_col3 and tab3, a window on tab (declared after it)
};

}  // namespace zorvel

#endif

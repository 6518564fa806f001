// What the drawn grid and pass one tell the classes: the range of whole
// elevations drawn or read, the contours' interval, the elevations as doubles.
#ifndef ZORVEL_GRID_FACTS_H
#define ZORVEL_GRID_FACTS_H

#include <vector>

#include "classes/classes.h"
#include "geometry/elevation_grid.h"
#include "passes/passes.h"
#include "run/settings.h"

namespace zorvel {

// The lowest and highest whole elevation in rows 0..nb_lig-1 and columns
// 0..nb_col-1 of dtab, empty cells and values without one left out.
DrawnRange drawn_range(const ElevationGrid& dtab, int nb_lig, int nb_col);

// The lowest and highest whole elevation of every vertex pass one read (of
// its range where it counted too many elevations to keep them).
DrawnRange vertex_range(const VertexTally& tally);

// The contour interval of the whole source, from the elevations pass one
// counted; from the drawn grid where they were too many to keep.
ContourInterval source_interval(const ElevationCount& count, const ElevationGrid& dtab, int nb_lig, int nb_col);

// The elevations of rows 0..nb_lig-1 and columns 0..nb_col-1, row after row.
std::vector<double> elevations_of(const ElevationGrid& dtab, int nb_lig, int nb_col);

}  // namespace zorvel

#endif

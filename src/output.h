// The crop of the class grid, the descriptor text and the raw image.
#ifndef ZORVEL_OUTPUT_H
#define ZORVEL_OUTPUT_H

#include "dialogue.h"
#include "run_state.h"

namespace zorvel {

// The rows and columns kept by the crop.
struct Crop {
    bool empty;  // no occupied cell at all
    int min_i, max_i, min_j, max_j;
};

// The occupied rectangle of tab; the bounds start at 10000 and 0, so a grid
// whose first occupied row or column lies beyond 10000 keeps the empty ones from 10000 on.
Crop bounding_box(const Grid<unsigned char>& tab, int nb_lig, int nb_col);

// Crops tab into tab3, a window on it, and writes the descriptor; false, after a stop line, on failure.
bool extraction(Console& con, RunState& rs);

// Writes tab3 as the raw image, one row per write; false, after a stop line, on failure.
bool save(Console& con, RunState& rs);

}  // namespace zorvel

#endif

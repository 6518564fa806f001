// Class numbers into the class grid, and the corner cells of right-angle turns taken out.
#ifndef ZORVEL_CLASSIFY_H
#define ZORVEL_CLASSIFY_H

#include <cstdio>

#include "classes.h"
#include "run_state.h"

namespace zorvel {

// Makes tab from dtab: every cell gets the class whose value is its whole
// elevation, with a progress line every 200 rows. A grid of one-byte codes
// becomes tab in place, leaving dtab empty; false when tab cannot be had.
bool class_assignment(std::FILE* out, RunState& rs, const ClassTable& ct);

// Empties every interior cell whose only neighbours of its class are two
// orthogonal ones at a right angle (masks 10, 40, 160 and 130).
void corner_cleanup(Grid<unsigned char>& tab, int nb_lig, int nb_col);

}  // namespace zorvel

#endif

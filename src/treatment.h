// The heart of the run: the two passes over the drawing, the drawing of the
// contours and their classification.
#ifndef ZORVEL_TREATMENT_H
#define ZORVEL_TREATMENT_H

#include "console.h"
#include "run_state.h"

namespace zorvel {

// Skip count, pass one, rotation dialogue, pass two, classes and cleanup;
// false, after its message, when the run stops.
bool treatment(Console& con, RunState& rs);

}  // namespace zorvel

#endif

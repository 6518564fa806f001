// The heart of the run: the two passes over the contours, their drawing
// into the elevation grid and their classification.
#ifndef ZORVEL_TREATMENT_H
#define ZORVEL_TREATMENT_H

#include "base/console.h"
#include "base/report.h"
#include "run/run_state.h"
#include "run/settings.h"

namespace zorvel {

// Skip count, pass one, rotation, pass two, classes and cleanup; false,
// after its message, when the run stops. What the run tells as it goes
// goes to report.
bool treatment(Console& con, Report& report, RunState& rs, RunSettings& settings, const ContourSource& source);

}  // namespace zorvel

#endif

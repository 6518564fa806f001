// One whole run: the dialogue, the two passes, the classes and the outputs.
#ifndef ZORVEL_RUN_H
#define ZORVEL_RUN_H

#include <string>

#include "base/console.h"
#include "run/run_state.h"

namespace zorvel {

// Runs the program on the console with the given data root; the exit status:
// 0 after a complete run, 1 for every stop.
int run(Console& con, RunState& rs, const std::string& root);

}  // namespace zorvel

#endif

// One whole run: the dialogue, the two passes, the classes and the outputs.
#ifndef ZORVEL_DIALOGUE_RUN_H
#define ZORVEL_DIALOGUE_RUN_H

#include <string>

#include "base/console.h"
#include "run/settings.h"

namespace zorvel {

// Runs the program on the console with the given data root (and the limits
// a test or the fuzzer asks for); the exit status: 0 after a complete run,
// 1 for every stop.
int run(Console& con, const std::string& root, const RunLimits& limits = {});

}  // namespace zorvel

#endif

// How long each stage of a run took, for the benchmarks: told in one line on
// standard error at the end of a complete run, when ZORVEL_RASTER_STAGES is
// set in the environment; nothing is timed otherwise.
#ifndef ZORVEL_STAGES_H
#define ZORVEL_STAGES_H

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zorvel {

class StageClock {
public:
    StageClock();
    // Ends the stage that ran since the last mark (or since the clock was
    // made), under `name`.
    void mark(const char* name);
    // "etapas: NAME 0.123 s, ..." when the environment asks for it; "" otherwise.
    std::string told() const;

private:
    bool on_;
    std::chrono::steady_clock::time_point last_;
    std::vector<std::pair<const char*, double>> stages_;
};

}  // namespace zorvel

#endif

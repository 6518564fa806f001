#include "run.h"

#include "output.h"
#include "treatment.h"

namespace zorvel {

int run(Console& con, RunState& rs, const std::string& root) {
    if (!opening(con, rs, root)) return 1;
    if (!ask_pixel_size(con, rs)) return 1;
    if (!treatment(con, rs)) return 1;
    if (!extraction(con, rs)) return 1;
    if (!save(con, rs)) return 1;
    // the console is the last output: a failure to write it is a failure of the run
    return std::fflush(con.out) == 0 ? 0 : 1;
}

}  // namespace zorvel

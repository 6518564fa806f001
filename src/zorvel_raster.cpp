// zorvel_raster: a DXF drawing of contour lines in, a classified raster image out.
#include <cstdio>

#include "dialogue.h"
#include "output.h"
#include "treatment.h"

int main() {
    zorvel::Console con = zorvel::standard_console();
    zorvel::RunState rs;
    if (!zorvel::opening(con, rs, zorvel::data_root())) return 1;
    if (!zorvel::ask_pixel_size(con, rs)) return 1;
    if (!zorvel::treatment(con, rs)) return 1;
    if (!zorvel::extraction(con, rs)) return 1;
    if (!zorvel::save(con, rs)) return 1;
    // the console is the last output: a failure to write it is a failure of the run
    return std::fflush(stdout) == 0 ? 0 : 1;
}

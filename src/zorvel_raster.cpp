// zorvel_raster: a DXF drawing of contour lines in, a classified raster image out.
#include "dialogue.h"
#include "interrupts.h"
#include "run.h"

int main() {
    zorvel::install_interrupt_handlers();
    zorvel::Console con = zorvel::standard_console();
    zorvel::RunState rs;
    return zorvel::run(con, rs, zorvel::data_root());
}

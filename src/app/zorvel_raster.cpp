// zorvel_raster: a DXF drawing of contour lines in, a classified raster image out.
#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "dialogue/dialogue.h"
#include "base/console.h"
#include "base/interrupts.h"
#include "base/messages.h"
#include "dialogue/dialogue_run.h"

int main(int argc, char** argv) {
    zorvel::open_missing_standard_descriptors();
    zorvel::install_interrupt_handlers();
    zorvel::use_message_catalogs();
    zorvel::Console con = zorvel::standard_console();
    // with arguments a command-line tool; without, the program's own dialogue
    if (argc > 1) return zorvel::run_command_line(std::vector<std::string>(argv + 1, argv + argc), con);
    // an allocation that fails anywhere stops the dialogue too, its outputs undone
    try {
        return zorvel::run(con, zorvel::data_root());
    } catch (const std::bad_alloc&) {
        zorvel::stop_line(con, zorvel::T_("sin memoria: la ejecucion no puede tener la que necesita"));
        return 1;
    }
}

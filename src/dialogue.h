// The console dialogue: prompts and answers, the stops, and the opening of
// the four files.
#ifndef ZORVEL_DIALOGUE_H
#define ZORVEL_DIALOGUE_H

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "run_state.h"

namespace zorvel {

// Where the answers come from and where prompts, refusals and stop lines go.
struct Console {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool interactive = false;  // the answers come from a terminal
};

// The console of the process: standard input, output and error.
Console standard_console();

// Why an answer is refused: nullptr accepts it, "" asks again without a word
// (the 0-or-1 menus), any other text is printed before the question comes back.
template <typename T>
using Check = std::function<const char*(T)>;

// Asks the prompt and reads one word ("%s"); nullopt, after a stop line, at end of input.
std::optional<std::string> ask_word(Console& con, const char* prompt, const char* what);
// Asks the prompt and reads an int ("%d") until one passes the check; nullopt at end of input.
std::optional<int> ask_int(Console& con, const char* prompt, const char* what,
                           const Check<int>& check = {});
// Asks the prompt and reads a double ("%lf") until one passes the check; nullopt at end of input.
std::optional<double> ask_double(Console& con, const char* prompt, const char* what,
                                 const Check<double>& check = {});

// Prints the one line on standard error that ends a run.
void stop_line(Console& con, const std::string& text);
// Waits for one key press, unechoed, when the answers come from a terminal.
void wait_key(Console& con);

// The data root: $ZORVEL_RASTER_ROOT as given, or the fixed root of the platform.
std::string data_root();
// Path separator after the folder answer.
const char* path_separator();

// Banner, folder, drawing and image names, and the four opens; false when the run stops.
bool opening(Console& con, RunState& rs, const std::string& root);
// The pixel-size question; sets pix_size and size_pix; false when the run stops.
bool ask_pixel_size(Console& con, RunState& rs);

}  // namespace zorvel

#endif

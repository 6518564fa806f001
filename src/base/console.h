// The console: where the answers come from, where the dialogue and the
// lines that end a run go, and the key press a stop waits for.
#ifndef ZORVEL_CONSOLE_H
#define ZORVEL_CONSOLE_H

#include <cstdio>
#include <string>

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

// Prints the one line on standard error that ends a run.
void stop_line(Console& con, const std::string& text);
// Prints a warning line on standard error; the run goes on.
void warn_line(Console& con, const std::string& text);
// The stop line of an allocation that failed: what it was for, and the grid's size.
void stop_no_memory(Console& con, const char* what, int nb_lig, int nb_col);
// Waits for one key press, unechoed, when the answers come from a terminal.
void wait_key(Console& con);

}  // namespace zorvel

#endif

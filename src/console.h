// The console: questions and their answers, refusals, and the lines that
// end a run.
#ifndef ZORVEL_CONSOLE_H
#define ZORVEL_CONSOLE_H

#include <cstdio>
#include <functional>
#include <optional>
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

// What a check makes of an answer.
struct Verdict {
    bool accepted;
    const char* refusal;  // said before the question comes back; nullptr: it comes back without a word
    static Verdict accept() { return {true, nullptr}; }
    static Verdict ask_again() { return {false, nullptr}; }
    static Verdict refuse(const char* why) { return {false, why}; }
};
template <typename T>
using Check = std::function<Verdict(T)>;

// Asks the prompt and reads one word ("%s"); nullopt, after a stop line, at end of input.
std::optional<std::string> ask_word(Console& con, const char* prompt, const char* what);
// Asks the prompt and reads an int ("%d") until one passes the check; nullopt at end of input.
std::optional<int> ask_int(Console& con, const char* prompt, const char* what, const Check<int>& check = {});
// Asks the prompt and reads a double ("%lf") until one passes the check; nullopt at end of input.
std::optional<double> ask_double(Console& con, const char* prompt, const char* what,
                                 const Check<double>& check = {});

// A whole word as a number, as the answers are taken: nullopt, and why
// (a refusal of the dialogue), when the C library does not read all of it
// as one, or an int does not hold it.
std::optional<double> whole_double(const std::string& word, const char** why = nullptr);
std::optional<int> whole_int(const std::string& word, const char** why = nullptr);

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

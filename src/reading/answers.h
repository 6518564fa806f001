// The dialogue's answers: one word each, read from the console, taken
// whole as a number where a number is asked, and checked; an answer that
// cannot be used is refused and the question asked again.
#ifndef ZORVEL_ANSWERS_H
#define ZORVEL_ANSWERS_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "base/console.h"

namespace zorvel {

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

// The longest answer taken: a longer word is refused, and consumed whole.
constexpr std::size_t kAnswerMax = 4096;

// Asks the prompt and reads one word ("%s") until one can be an answer (a
// word over kAnswerMax characters, or holding a NUL, is refused); nullopt,
// after a stop line, at end of input.
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

}  // namespace zorvel

#endif

// The program's messages in the user's language: Spanish, the language they
// are written in, or another one whose catalog is installed, where the
// environment asks for it (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), through
// gettext. Only the messages follow the environment: numbers are read and
// written in the C locale, whatever it says.
#ifndef ZORVEL_MESSAGES_H
#define ZORVEL_MESSAGES_H

#include <initializer_list>
#include <string>

namespace zorvel {

// Takes the messages' language from the environment and finds the catalogs:
// those of the build tree beside the program, or the installed ones.
void use_message_catalogs();

// The message in the user's language; `text` itself where no catalog has it
// (and always before use_message_catalogs).
const char* T_(const char* text);

// Marks a text for the catalogs where it is written; T_ translates it where used.
constexpr const char* N_(const char* text) { return text; }

// A message with its values in place: {1}, {2} ... stand for the values
// given after it, in whatever order a translation puts them.
std::string message(const char* text, std::initializer_list<std::string> values);

// A number as people write it: the shortest text that reads back as the
// same double (1e-05, 31.14), in the C locale's form.
std::string number_text(double v);

}  // namespace zorvel

#endif

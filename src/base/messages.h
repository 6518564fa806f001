// The program's messages in the user's language: Spanish, the language they
// are written in, or another one whose catalog is installed, where the
// environment asks for it (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), through
// gettext. Only the messages follow the environment: numbers are read and
// written in the C locale, whatever it says.
#ifndef ZORVEL_MESSAGES_H
#define ZORVEL_MESSAGES_H

namespace zorvel {

// Takes the messages' language from the environment and finds the catalogs:
// those of the build tree beside the program, or the installed ones.
void use_message_catalogs();

// The message in the user's language; `text` itself where no catalog has it
// (and always before use_message_catalogs).
const char* T_(const char* text);

// Marks a text for the catalogs where it is written; T_ translates it where used.
constexpr const char* N_(const char* text) { return text; }

}  // namespace zorvel

#endif

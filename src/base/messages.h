// The program's messages in the user's language: English unless the
// environment asks for Spanish (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as
// gettext reads them), from the catalogs po/LANG.po compiled by msgfmt. The
// sources write their messages in Spanish without its accents; the Spanish
// catalog writes them as Spanish is written, in the character set of the
// environment's locale. Only the messages follow the environment: numbers
// are read and written in the C locale, whatever it says.
#ifndef ZORVEL_MESSAGES_H
#define ZORVEL_MESSAGES_H

#include <functional>
#include <initializer_list>
#include <string>

namespace zorvel {

// The locale variables that choose the messages' language.
struct MessageEnvironment {
    std::string language, lc_all, lc_messages, lang;
};

// The messages' language ("es", "en", "pt_BR" ...): the first of LANGUAGE's
// that has a catalog (on any locale but C and POSIX, as gettext heeds it),
// else that of the messages' locale (LC_ALL, else LC_MESSAGES, else LANG)
// where it has one, else English. Spanish, the sources' own, always has one.
std::string message_language(const MessageEnvironment& env,
                             const std::function<bool(const std::string&)>& has_catalog);

// Takes the messages' language from the environment and reads its catalog:
// from ZORVEL_RASTER_LOCALEDIR when set, else beside the program (a build
// folder), else where the install put it, relative to the program and as
// installed. T_ does it on its first call too.
void use_message_catalogs();

// The message in the user's language; `text` itself where the catalog does
// not have it (or has no catalog, or cannot write it in the locale's
// character set).
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

// The program's messages in the user's language: English unless the
// environment asks for Spanish, as gettext reads the environment; numbers in
// the C locale's form, as people write them. (The program run under such
// environments, and under a locale of the decimal comma: the end-to-end
// cases cli_help_*, cli_stop_in_* and cli_decimal_comma_locale.)
#include <gtest/gtest.h>

#include <cfloat>
#include <set>
#include <string>

#include "base/messages.h"

namespace zorvel {
namespace {

TEST(Messages, TheLanguageComesFromTheEnvironmentAsGettextReadsIt) {
    const std::set<std::string> catalogs = {"en", "es", "pt_BR"};
    const auto has = [&](const std::string& l) { return catalogs.count(l) > 0; };
    struct Case {
        MessageEnvironment env;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        const char* language;
    };
    const Case cases[] = {
        {{"", "", "", ""}, "en"},
        {{"", "", "", "C"}, "en"},
        {{"", "", "", "POSIX"}, "en"},
        {{"", "C.UTF-8", "", ""}, "en"},
        {{"", "", "", "fr_FR.UTF-8"}, "en"},
        {{"", "", "", "es_ES.UTF-8"}, "es"},
        {{"", "", "", "es_MX"}, "es"},
        {{"", "", "", "es"}, "es"},
        {{"", "", "es_AR.UTF-8@euro", "en_US.UTF-8"}, "es"},  // LC_MESSAGES before LANG
        {{"", "en_GB.UTF-8", "es_ES.UTF-8", ""}, "en"},        // LC_ALL before both
        {{"es", "", "", "C.UTF-8"}, "es"},                     // LANGUAGE on C.UTF-8
        {{"es", "", "", "C"}, "en"},                           // and not on C,
        {{"es", "POSIX", "", "es_ES.UTF-8"}, "en"},            // nor POSIX
        {{"fr:de:es:en", "", "", "en_US.UTF-8"}, "es"},        // the first with a catalog
        {{"fr", "", "", "es_ES.UTF-8"}, "es"},                 // none: the locale's
        {{"pt_BR:es", "", "", "en_US.UTF-8"}, "pt_BR"},        // a language and country
        {{"pt_PT", "", "", "en_US.UTF-8"}, "en"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(message_language(c.env, has), c.language)
            << c.env.language << "|" << c.env.lc_all << "|" << c.env.lc_messages << "|" << c.env.lang;
}

TEST(Messages, NumbersAsPeopleWriteThemInTheCLocale) {
    EXPECT_EQ(number_text(1e-05), "1e-05");
    EXPECT_EQ(number_text(0.0001), "0.0001");
    EXPECT_EQ(number_text(31.14), "31.14");
    EXPECT_EQ(number_text(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(number_text(9000000), "9000000");
    EXPECT_EQ(number_text(1e16), "10000000000000000");
    EXPECT_EQ(number_text(1e17), "1e+17");
    EXPECT_EQ(number_text(-DBL_MAX), "-1.7976931348623157e+308");
    EXPECT_EQ(number_text(-0.0), "-0");
}

}  // namespace
}  // namespace zorvel

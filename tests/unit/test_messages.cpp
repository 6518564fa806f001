// The program's messages in the user's language: English unless the
// environment asks for Spanish, as gettext reads the environment; Spanish
// as it is written; numbers in the C locale's form, as people write them.
#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "base/messages.h"
#include "process.h"
#include "test_support.h"

namespace zorvel {
namespace {

struct Said {
    int status;
    std::string out, err;
};

// The program run with only the given locale variables set (and the build's
// catalogs found beside it, not named).
Said run_in(const std::vector<std::pair<const char*, const char*>>& env, const std::vector<std::string>& args,
            const test::TempDir& tmp) {
    const std::string out = tmp.root() + "out.txt", err = tmp.root() + "err.txt";
    const test::Exit e = test::run_program(args, err, [&] {
        for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "ZORVEL_RASTER_LOCALEDIR"}) unsetenv(v);
        for (const auto& [name, value] : env) setenv(name, value, 1);
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        close(fd);
    });
    return {WIFEXITED(e.status) ? WEXITSTATUS(e.status) : -1, test::slurp(out), e.err};
}

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

TEST(Messages, HelpAndStopsInTheLanguageTheEnvironmentAsks) {
    test::TempDir tmp;
    const Said en = run_in({{"LANG", "en_US.UTF-8"}}, {"--help"}, tmp);
    ASSERT_EQ(en.out.rfind("Usage: zorvel_raster [options] DRAWING.dxf... OUTPUT\n", 0), 0u) << en.out;
    EXPECT_NE(en.out.find("  -tr SIZE              cell size, in the drawing's units (or -ts)\n"), std::string::npos);
    const Said es = run_in({{"LANG", "es_ES.UTF-8"}}, {"--help"}, tmp);
    ASSERT_EQ(es.out.rfind("Uso: zorvel_raster [opciones] DIBUJO.dxf... SALIDA\n", 0), 0u) << es.out;
    // Spanish as it is written, its columns as wide as the English ones
    EXPECT_NE(es.out.find("  -tr TAMAÑO            tamaño de la celda, en unidades del dibujo (o -ts)\n"), std::string::npos)
        << es.out;
    for (const auto& env : std::vector<std::vector<std::pair<const char*, const char*>>>{
             {}, {{"LANG", "C"}}, {{"LC_ALL", "C.UTF-8"}}, {{"LANG", "POSIX"}}, {{"LANG", "fr_FR.UTF-8"}},
             {{"LC_ALL", "C"}, {"LANGUAGE", "es"}}})
        EXPECT_EQ(run_in(env, {"--help"}, tmp).out, en.out) << (env.empty() ? "" : env.front().second);
    EXPECT_EQ(run_in({{"LANG", "C.UTF-8"}, {"LANGUAGE", "es"}}, {"--help"}, tmp).out, es.out);
    EXPECT_EQ(run_in({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "es"}}, {"--help"}, tmp).out, es.out);

    // a stop in each; in ASCII where the locale's character set is no more
    const Said stop_en = run_in({{"LANG", "C"}}, {"in.dxf", "out"}, tmp);
    EXPECT_EQ(stop_en.status, 2);
    EXPECT_EQ(stop_en.err, "zorvel_raster: -tr: the pixel size is missing, and it is required\n");
    EXPECT_EQ(run_in({{"LANG", "es_ES.UTF-8"}}, {"in.dxf", "out"}, tmp).err,
              "zorvel_raster: -tr: falta el tamaño del píxel, que es obligatorio\n");
    EXPECT_EQ(run_in({{"LANG", "es_ES"}}, {"in.dxf", "out"}, tmp).err,
              "zorvel_raster: -tr: falta el tamano del pixel, que es obligatorio\n");

    // the catalogs named, and none where none is
    EXPECT_EQ(run_in({{"LANG", "es_ES.UTF-8"}, {"ZORVEL_RASTER_LOCALEDIR", ZORVEL_TEST_LOCALEDIR}}, {"--help"}, tmp).out,
              es.out);
    const Said none = run_in({{"LANG", "en_US.UTF-8"}, {"ZORVEL_RASTER_LOCALEDIR", "/nowhere"}}, {"--help"}, tmp);
    EXPECT_EQ(none.out.rfind("Uso: zorvel_raster [opciones]", 0), 0u) << none.out;
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
    // the drawing's 2.5 read and the summary's pixel size written as in C
    // under a locale of the decimal comma
    test::TempDir tmp;
    const std::string in = tmp.root() + "c.dxf";
    std::ofstream(in) << "0\nSECTION\n9\n$EXTMIN\n10\n0\n20\n0\n9\n$EXTMAX\n10\n25.5\n20\n25.5\n0\nENDSEC\n"
                         "0\nPOLYLINE\n0\nVERTEX\n10\n2.5\n20\n2.5\n30\n12.25\n0\nVERTEX\n10\n20.5\n20\n2.5\n30\n12.25\n"
                         "0\nSEQEND\n0\nEOF\n";
    for (const char* lang : {"es_ES.UTF-8", "C"}) {
        SCOPED_TRACE(lang);
        const Said s = run_in({{"LC_ALL", lang}}, {"-tr", "2.5", "-ot", "Float64", "--overwrite", in, tmp.root() + "o"}, tmp);
        ASSERT_EQ(s.status, 0) << s.err;
        EXPECT_NE(s.out.find(", " + std::string(lang[0] == 'e' ? "píxel" : "pixel") + " 2.5 ("), std::string::npos) << s.out;
    }
}

}  // namespace
}  // namespace zorvel

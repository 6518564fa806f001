// The program's messages in the user's language: English where the
// environment asks for it, Spanish as written under Spanish, C or POSIX;
// numbers in the C locale under every one.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"
#include "test_support.h"

namespace zorvel {
namespace {

struct Said {
    int status;
    std::string out, err;
};

// The program run with only the given locale variables set.
Said run_in(const std::vector<std::pair<const char*, const char*>>& env, const std::vector<std::string>& args,
            const test::TempDir& tmp) {
    const std::string out = tmp.root() + "out.txt", err = tmp.root() + "err.txt";
    const test::Exit e = test::run_program(args, err, [&] {
        for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
        for (const auto& [name, value] : env) setenv(name, value, 1);
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        close(fd);
    });
    return {WIFEXITED(e.status) ? WEXITSTATUS(e.status) : -1, test::slurp(out), e.err};
}

// Whether this machine has the locale (the CI generates those the tests use).
bool have_locale(const char* name) {
    const std::string before = std::setlocale(LC_MESSAGES, nullptr);
    const bool have = std::setlocale(LC_MESSAGES, name) != nullptr;
    std::setlocale(LC_MESSAGES, before.c_str());
    return have;
}

TEST(Messages, HelpAndStopsInTheLanguageTheEnvironmentAsks) {
    test::TempDir tmp;
    const Said c = run_in({{"LANG", "C"}}, {"--help"}, tmp);
    EXPECT_EQ(c.out.rfind("Uso: zorvel_raster [opciones]", 0), 0u) << c.out;
    EXPECT_EQ(run_in({}, {"--help"}, tmp).out, c.out);
    EXPECT_EQ(run_in({{"LANG", "es_ES.UTF-8"}}, {"--help"}, tmp).out, c.out);
    EXPECT_EQ(run_in({{"LC_ALL", "POSIX"}, {"LANGUAGE", "en"}}, {"--help"}, tmp).out, c.out);  // C ignores LANGUAGE

    // English through LANGUAGE on a locale every system has
    const Said en = run_in({{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "en"}}, {"--help"}, tmp);
    EXPECT_EQ(en.out.rfind("Usage: zorvel_raster [options] DRAWING.dxf... OUTPUT\n", 0), 0u) << en.out;
    EXPECT_NE(en.out.find("  -tr SIZE              cell size, in the drawing's units (or -ts)\n"), std::string::npos) << en.out;
    EXPECT_EQ(en.out.find("tamano"), std::string::npos) << en.out;
    const Said stop = run_in({{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "en"}}, {"in.dxf", "out"}, tmp);
    EXPECT_EQ(stop.status, 2);
    EXPECT_EQ(stop.err, "zorvel_raster: -tr: the pixel size is missing, and it is required\n");
    EXPECT_EQ(run_in({{"LANG", "C"}}, {"in.dxf", "out"}, tmp).err,
              "zorvel_raster: -tr: falta el tamano del pixel, que es obligatorio\n");

    // and through LANG, where the machine has the locale
    if (!have_locale("en_US.UTF-8")) GTEST_SKIP() << "no en_US.UTF-8 locale here (.ci/run generates it)";
    EXPECT_EQ(run_in({{"LANG", "en_US.UTF-8"}}, {"--help"}, tmp).out, en.out);
    EXPECT_EQ(run_in({{"LC_MESSAGES", "en_US.UTF-8"}}, {"--help"}, tmp).out, en.out);
}

TEST(Messages, NumbersStayInTheCLocaleUnderEveryLanguage) {
    // a locale with the decimal comma: the drawing's 2.5 and 12.25 read and
    // the summary's pixel size written as in C
    if (!have_locale("es_ES.UTF-8")) GTEST_SKIP() << "no es_ES.UTF-8 locale here (.ci/run generates it)";
    test::TempDir tmp;
    const std::string in = tmp.root() + "c.dxf";
    std::ofstream(in) << "0\nSECTION\n9\n$EXTMIN\n10\n0\n20\n0\n9\n$EXTMAX\n10\n25.5\n20\n25.5\n0\nENDSEC\n"
                         "0\nPOLYLINE\n0\nVERTEX\n10\n2.5\n20\n2.5\n30\n12.25\n0\nVERTEX\n10\n20.5\n20\n2.5\n30\n12.25\n"
                         "0\nSEQEND\n0\nEOF\n";
    for (const char* lang : {"es_ES.UTF-8", "C"}) {
        SCOPED_TRACE(lang);
        const Said s = run_in({{"LC_ALL", lang}}, {"-tr", "2.5", "-ot", "Float64", "--overwrite", in, tmp.root() + "o"}, tmp);
        ASSERT_EQ(s.status, 0) << s.err;
        EXPECT_NE(s.out.find(", pixel 2.5 ("), std::string::npos) << s.out;
    }
}

}  // namespace
}  // namespace zorvel

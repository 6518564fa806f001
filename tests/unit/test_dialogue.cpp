#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> banner_rows(const std::string& out) {
    std::vector<std::string> rows;
    std::size_t at = 0;
    while (rows.size() < 13) {
        const std::size_t start = out.find("\n\t", at);
        if (start == std::string::npos) break;
        const std::size_t stop = out.find('\n', start + 2);
        rows.push_back(out.substr(start + 2, stop - start - 2));
        at = stop;
    }
    return rows;
}

TEST(Dialogue, BannerHasThirteenRowsOfFiftyNineCharacters) {
    test::ScriptedConsole sc("");
    RunState rs;
    EXPECT_FALSE(opening(sc.con, rs, "/nowhere/"));
    const std::string out = sc.output();
    ASSERT_EQ(out.rfind("\n\t*****", 0), 0u);
    const auto rows = banner_rows(out);
    ASSERT_EQ(rows.size(), 13u);
    const std::string blank = "*" + std::string(57, ' ') + "*";
    for (const std::string& r : rows) EXPECT_EQ(r.size(), 59u) << r;
    EXPECT_EQ(rows[0], std::string(59, '*'));
    EXPECT_EQ(rows[12], std::string(59, '*'));
    for (int k : {1, 2, 4, 5, 6, 7, 8, 11}) EXPECT_EQ(rows[static_cast<std::size_t>(k)], blank);
    EXPECT_EQ(rows[3], "*" + std::string(20, ' ') + "ZORVEL_RASTER" + std::string(24, ' ') + "*");
    // credit rows: text toward the right, ending 4 and 3 blanks before the asterisk
    EXPECT_EQ(rows[9].substr(54), "    *");
    EXPECT_NE(rows[9][53], ' ');
    EXPECT_EQ(rows[10].substr(55), "   *");
    EXPECT_NE(rows[10][54], ' ');
    // the banner ends without a line feed; the first prompt brings its own
    EXPECT_NE(out.find(std::string(59, '*') + "\n\n Nombre del archivo : "), std::string::npos);
}

TEST(Dialogue, PathsAreComposedFromRootFolderAndNames) {
    test::TempDir tmp;
    fs::create_directories(tmp.path / "obra");
    std::ofstream(tmp.path / "obra" / "curvas.dxf") << "0\nEOF\n";
    // old outputs of the same names are emptied
    std::ofstream(tmp.path / "obra" / "mapa_zorvl.txt") << "old";
    test::ScriptedConsole sc("obra\ncurvas\nmapa\n");
    RunState rs;
    ASSERT_TRUE(opening(sc.con, rs, tmp.root()));
    const std::string folder = tmp.root() + "obra/";
    EXPECT_EQ(rs.nomim1, folder + "curvas.dxf");
    EXPECT_EQ(rs.nomim2, folder + "mapa_zorvl.raw");
    EXPECT_EQ(rs.nomdescr2, folder + "mapa_zorvl.txt");
    EXPECT_EQ(rs.nomdescr3, folder + "mapa_zorvl_tab.txt");
    for (const char* name : {"mapa_zorvl.raw", "mapa_zorvl.txt", "mapa_zorvl_tab.txt"}) {
        ASSERT_TRUE(fs::exists(tmp.path / "obra" / name)) << name;
        EXPECT_EQ(fs::file_size(tmp.path / "obra" / name), 0u) << name;
    }
    EXPECT_TRUE(sc.output().ends_with("\n\n Nombre de la imagen resultante (sin extension _zorvl.raw) ? "));
}

TEST(Dialogue, MissingDrawingStopsWithTheWholePathBeforeTheImageQuestion) {
    test::TempDir tmp;
    fs::create_directories(tmp.path / "obra");
    std::ofstream(tmp.path / "obra" / "curvas.dxf") << "0\nEOF\n";
    // ".dxf" typed by the user gets a second one
    test::ScriptedConsole sc("obra curvas.dxf mapa\n");
    RunState rs;
    EXPECT_FALSE(opening(sc.con, rs, tmp.root()));
    const std::string out = sc.output();
    EXPECT_TRUE(out.ends_with("\n No hay Fila " + tmp.root() + "obra/curvas.dxf.dxf \n")) << out;
    EXPECT_EQ(out.find("Nombre de la imagen"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.path / "obra" / "mapa_zorvl.raw"));
}

TEST(Dialogue, OutputThatCannotBeCreatedStopsTheRun) {
    test::TempDir tmp;
    fs::create_directories(tmp.path / "obra");
    std::ofstream(tmp.path / "obra" / "curvas.dxf") << "0\nEOF\n";
    test::ScriptedConsole sc("obra\ncurvas\nno/existe/mapa\n");
    RunState rs;
    EXPECT_FALSE(opening(sc.con, rs, tmp.root()));
    EXPECT_EQ(sc.errors(), "zorvel_raster: no se puede crear " + tmp.root() +
                               "obra/no/existe/mapa_zorvl.raw: No such file or directory\n");
}

TEST(Dialogue, LongPathsAreHeld) {
    test::TempDir tmp;
    const std::string folder(150, 'd');
    fs::create_directories(tmp.path / folder);
    std::ofstream(tmp.path / folder / (std::string(120, 'n') + ".dxf")) << "0\nEOF\n";
    test::ScriptedConsole sc(folder + " " + std::string(120, 'n') + " " + std::string(100, 'i'));
    RunState rs;
    ASSERT_TRUE(opening(sc.con, rs, tmp.root()));
    EXPECT_TRUE(fs::exists(tmp.path / folder / (std::string(100, 'i') + "_zorvl_tab.txt")));
}

TEST(Dialogue, NumbersAreReadAsTheCLibraryReadsThem) {
    // "10abc" gives 10 and leaves "abc" for the next question, which refuses it
    test::ScriptedConsole sc("10abc 7\n");
    const auto first = ask_int(sc.con, "A? ", "a");
    const auto second = ask_int(sc.con, "B? ", "b");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, 10);
    EXPECT_EQ(*second, 7);
    EXPECT_EQ(sc.output(), "A? B? \n respuesta no valida: se espera un numero B? ");
}

TEST(Dialogue, PixelSizeRefusesWhatIsNoUsableNumber) {
    test::ScriptedConsole sc("abc -abc 0 -1 nan inf 2.5\n");
    RunState rs;
    ASSERT_TRUE(ask_pixel_size(sc.con, rs));
    EXPECT_EQ(rs.pix_size, 2.5);
    EXPECT_EQ(rs.size_pix, 2.5);
    const std::string out = sc.output();
    std::size_t prompts = 0;
    for (std::size_t at = 0; (at = out.find("tamano del pixel ? ", at)) != std::string::npos; ++at) ++prompts;
    EXPECT_EQ(prompts, 7u);
    EXPECT_TRUE(sc.errors().empty());
}

TEST(Dialogue, EndOfInputAtAPromptIsAStop) {
    test::ScriptedConsole sc("abc");
    EXPECT_FALSE(ask_double(sc.con, "X? ", "el valor x"));
    EXPECT_EQ(sc.errors(), "zorvel_raster: fin de la entrada: falta el valor x\n");
    test::ScriptedConsole words("  \n");
    EXPECT_FALSE(ask_word(words.con, "W? ", "la palabra"));
}

TEST(Dialogue, MenuAsksAgainSilentlyUntilItsAnswerFits) {
    test::ScriptedConsole sc("2 1");
    const auto v = ask_int(sc.con, "M? ", "m", [](int x) { return x == 0 || x == 1 ? nullptr : ""; });
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, 1);
    EXPECT_EQ(sc.output(), "M? M? ");
}

}  // namespace
}  // namespace zorvel

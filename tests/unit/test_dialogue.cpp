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

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dialogue.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

TEST(Dialogue, PathsAreComposedFromRootFolderAndNames) {
    test::TempDir tmp;
    fs::create_directories(tmp.path / "obra");
    std::ofstream(tmp.path / "obra" / "curvas.dxf") << "0\nEOF\n";
    // an answer with blanks answers the next questions too
    test::ScriptedConsole sc("obra curvas\nmapa\n");
    const auto rf = opening(sc.con, tmp.root());
    ASSERT_TRUE(rf);
    const std::string folder = tmp.root() + "obra/";
    EXPECT_EQ(rf->nomim1, folder + "curvas.dxf");
    EXPECT_EQ(rf->nomim2, folder + "mapa_zorvl.raw");
    EXPECT_EQ(rf->nomdescr2, folder + "mapa_zorvl.txt");
    EXPECT_EQ(rf->nomdescr3, folder + "mapa_zorvl_tab.txt");
    EXPECT_TRUE(sc.output().ends_with("\n\n Nombre de la imagen resultante (sin extension _zorvl.raw) ? "));
}

}  // namespace
}  // namespace zorvel

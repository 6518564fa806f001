#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "reading/ogr_source.h"
#include "reading/dxf_scanner.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int status;
    std::string out, err;
};

Ran run(const std::vector<std::string>& args) {
    test::ScriptedConsole sc("");
    const int status = run_command_line(args, sc.con);
    return Ran{status, sc.output(), sc.errors()};
}

// What depends on the build: without GDAL only old-style DXF is read.
TEST(CommandLine, SourcesTheBuildCannotReadStopInOneLine) {
    test::TempDir tmp;
    const std::string none = tmp.root() + "n.dxf";
    std::ofstream(none) << "0\nLWPOLYLINE\n38\n100\n10\n1\n20\n2\n0\nEOF\n";
    const Ran nr = run({"-tr", "10", none, tmp.root() + "o"});
    EXPECT_EQ(nr.status, 1);
    EXPECT_NE(nr.err.find(ogr_available() ? "GDAL no puede abrir" : ogr_unavailable_why() + ": solo lee dibujos DXF"),
              std::string::npos)
        << nr.err;
    EXPECT_EQ(std::count(nr.err.begin(), nr.err.end(), '\n'), 1);
    EXPECT_EQ(run({"-tr", "10", "-ogr", tmp.root() + "nada.dxf", tmp.root() + "o"}).status, ogr_available() ? 1 : 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 1);
}

TEST(CommandLine, SkipCountFromTheFirstVertexRecord) {
    // (the writers' drawings are read with their skip counts end to end)
    const std::pair<const char*, int> cases[] = {
        // a layer named VERTEX in the polyline record is no vertex record
        {"0 POLYLINE 8 VERTEX 66 1 0 VERTEX 8 CURVAS DE NIVEL 10 1", 4},
        {"0 VERTEX 8 L 42 1 0 VERTEX 5 A 10 1", 2},
        {"0 LWPOLYLINE 10 1 20 2", -1},
    };
    for (const auto& [drawing, reg] : cases) {
        FileHandle f = test::stream_of(drawing);
        DrawingReader rd(f.get());
        EXPECT_EQ(first_fitting_skip_count(rd), reg) << drawing;
    }
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "dxf_scanner.h"
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

// Ten vertical contours, 100 at x = 0 to 190 at x = 90, extents 0..100 by 0..50.
const char* kDrawing =
    "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n0\n20\n0\n30\n0\n9\n$EXTMAX\n10\n100\n20\n50\n30\n0\n0\nENDSEC\n"
    "0\nPOLYLINE\n0\nVERTEX\n8\nCURVAS DE NIVEL\n10\n0\n20\n40\n30\n100\n0\nVERTEX\n8\nCURVAS DE NIVEL\n10\n0\n20\n10\n30\n100\n";

TEST(CommandLine, EveryBadValueIsOneLineAndExitTwo) {
    test::TempDir tmp;
    const std::string d = tmp.root() + "d.dxf", o = tmp.root() + "o";
    std::ofstream(d) << kDrawing;
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{d, o}, "-tr: falta el tamano del pixel"},
        {{"-tr"}, "-tr: falta un tamano"},
        {{"-tr", "abc", d, o}, "-tr: se espera un tamano de pixel mayor que 0, no 'abc'"},
        {{"-tr", "0", d, o}, "-tr: se espera"},
        {{"-tr", "-5", d, o}, "-tr: se espera"},
        {{"-tr", "5", "6", d, o}, "-tr: los pixeles son cuadrados"},
        {{"-tr", "10,5", d, o}, "no '10,5'"},
        {{"-tr", "5", "-reg", "-1", d, o}, "-reg: se espera"},
        {{"-tr", "5", "-reg", "x", d, o}, "-reg: se espera"},
        {{"-tr", "5", "-rot", "inf", d, o}, "-rot: se espera"},
        {{"-tr", "5", "-sense", "up", d, o}, "-sense: se espera left o right, no 'up'"},
        {{"-tr", "5", "-interval", "0", d, o}, "-interval: se espera"},
        {{"-tr", "5", "-interval", "2.5", d, o}, "-interval: se espera"},
        {{"-tr", "5", "-min", "x", d, o}, "-min: se espera un valor entero"},
        {{"-tr", "5", "-max", d, o}, "-max: se espera un valor entero"},
        {{"-tr", "5", "-te", "0", "0", "100", d, o}, "-te: se espera XMIN YMIN XMAX YMAX"},
        {{"-tr", "5", "-te", "10", "0", "0", "50", d, o}, "-te: XMIN debe ser menor que XMAX"},
        {{"-tr", "5", "-x", d, o}, "opcion desconocida: -x"},
        {{"-tr", "5", d}, "faltan el dibujo y la salida"},
        {{"-tr", "5", d, o, "extra"}, "argumento de mas: extra"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const Ran r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.find("zorvel_raster: "), 0u) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(o + "_zorvl.raw"));
    }
    EXPECT_EQ(run({"--help"}).status, 0);
    EXPECT_NE(run({"--help"}).out.find("-tr TAMANO"), std::string::npos);
    EXPECT_EQ(run({"--version"}).out.rfind("zorvel_raster ", 0), 0u);
}

TEST(CommandLine, ExistingOutputsNeedOverwriteAndStayUntouched) {
    test::TempDir tmp;
    const std::string d = tmp.root() + "d.dxf", o = tmp.root() + "o";
    std::ofstream(d) << kDrawing;
    std::ofstream(o + "_zorvl.hdr") << "earlier";
    const Ran refused = run({"-tr", "10", "-interval", "10", d, o});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("ya existe " + o + "_zorvl.hdr: use --overwrite"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 2);
    const Ran done = run({"-tr", "10", "-interval", "10", "--overwrite", d, o});
    EXPECT_EQ(done.status, 0) << done.err;
    // automatic skip count (a layer of three words: 4), the top contour classified
    std::ifstream table(o + "_zorvl_tab.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(table), {}), " 1 100 \n 2 110 \n");
    EXPECT_NE(done.out.find("clases: 1, de 100 a 100 cada 10"), std::string::npos) << done.out;
}

constexpr const char* kNoVertexAtAll = "/nonexistent/none.dxf";

TEST(CommandLine, RunStopsExitOne) {
    test::TempDir tmp;
    const std::string o = tmp.root() + "o";
    const std::string placeholder = tmp.root() + "p.dxf", none = tmp.root() + "n.dxf";
    // the header left by writers that had no extents, and no vertex with a code 10
    std::ofstream(placeholder) << "9\n$EXTMIN\n10\n1e20\n20\n1e20\n9\n$EXTMAX\n10\n-1e20\n20\n-1e20\n0\nEOF\n";
    std::ofstream(none) << "0\nLWPOLYLINE\n38\n100\n10\n1\n20\n2\n0\nEOF\n";
    const Ran missing = run({"-tr", "10", tmp.root() + "nada.dxf", o});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no se puede abrir el dibujo"), std::string::npos);
    const Ran ph = run({"-tr", "10", "-reg", "2", placeholder, o});
    EXPECT_EQ(ph.status, 1);
    EXPECT_NE(ph.err.find("no da extensiones utilizables ($EXTMIN, $EXTMAX): indique -te"), std::string::npos) << ph.err;
    // without GDAL nothing else is read; with it, an old-style skip count must be given
    const Ran nr = run({"-tr", "10", none, o});
    EXPECT_EQ(nr.status, 1);
    EXPECT_NE(nr.err.find(ogr_available() ? "GDAL no puede abrir" : "se compilo sin GDAL: solo lee dibujos DXF"),
              std::string::npos) << nr.err;
    const Ran forced = run({"-tr", "10", "-reg", "auto", "-ogr", kNoVertexAtAll, o});
    EXPECT_EQ(forced.status, ogr_available() ? 1 : 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 2);
}

TEST(CommandLine, SkipCountFromTheFirstVertexRecord) {
    struct Case {
        const char* drawing;  // under tests/e2e/, or a drawing itself
        int reg;
    };
    const Case cases[] = {
        {"writer_ezdxf", 4},
        {"writer_ezdxf_modern", 12},
        {"writer_gdal_converted", 4},
        {"skip_count_zero", 0},
        // a layer named VERTEX in the polyline record is no vertex record
        {"0 POLYLINE 8 VERTEX 66 1 0 VERTEX 8 CURVAS DE NIVEL 10 1", 4},
        {"0 VERTEX 8 L 42 1 0 VERTEX 5 A 10 1", 2},
        {"0 LWPOLYLINE 10 1 20 2", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drawing);
        const fs::path file = fs::path(ZORVEL_SOURCE_DIR) / "tests/e2e" / c.drawing / "drawing.dxf";
        FileHandle f = fs::exists(file) ? FileHandle(std::fopen(file.c_str(), "r")) : test::stream_of(c.drawing);
        DrawingReader rd(f.get());
        EXPECT_EQ(first_fitting_skip_count(rd), c.reg);
    }
}

}  // namespace
}  // namespace zorvel

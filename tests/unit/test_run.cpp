// Whole runs in-process: what the user sees for hostile drawings and answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "run.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

// The header of a drawing with extents 0..100 by 0..50.
std::string header(const std::string& extmax = "9\n$EXTMAX\n10\n100.0\n20\n50.0\n30\n0.0\n") {
    return "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n0.0\n20\n0.0\n30\n0.0\n" + extmax +
           "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
}

std::string polyline(double z, const std::vector<std::pair<std::string, std::string>>& points) {
    std::string s = "0\nPOLYLINE\n8\nCURVAS\n66\n1\n";
    for (const auto& [x, y] : points)
        s += "0\nVERTEX\n8\nCURVAS\n10\n" + x + "\n20\n" + y + "\n30\n" + std::to_string(z) + "\n";
    return s + "0\nSEQEND\n";
}

// Ten vertical contours, 100 at x = 0 to 190 at x = 90.
std::string typical_drawing() {
    std::string s = header();
    for (int k = 0; k < 10; ++k)
        s += polyline(100 + 10 * k, {{std::to_string(10 * k), "40"}, {std::to_string(10 * k), "10"}});
    return s + "0\nENDSEC\n0\nEOF\n";
}

const std::vector<std::string> kTypicalAnswers = {"obra", "curvas", "mapa", "10", "2", "0", "0", "0", "100", "200"};

struct Outcome {
    int status;
    std::string out, err;
    std::string raw, descriptor, table;
};

std::string join(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += w + "\n";
    return s;
}

std::string slurp(const fs::path& p) {
    if (!fs::is_regular_file(p)) return "";  // /dev/full reads as zeros without end
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Runs the program with `drawing` as root/obra/curvas.dxf; `prepare` may change the folder first.
Outcome run_with(const std::string& drawing, const std::string& answers,
                 const std::function<void(const fs::path&)>& prepare = {}, unsigned long long memory = 0) {
    test::TempDir tmp;
    const fs::path folder = tmp.path / "obra";
    fs::create_directories(folder);
    std::ofstream(folder / "curvas.dxf", std::ios::binary) << drawing;
    if (prepare) prepare(folder);
    test::ScriptedConsole sc(answers);
    RunState rs;
    rs.limits.grid_memory = memory;
    Outcome o;
    o.status = run(sc.con, rs, tmp.root());
    rs = RunState();  // closes whatever the run left open
    o.out = sc.output();
    o.err = sc.errors();
    o.raw = slurp(folder / "mapa_zorvl.raw");
    o.descriptor = slurp(folder / "mapa_zorvl.txt");
    o.table = slurp(folder / "mapa_zorvl_tab.txt");
    return o;
}

TEST(Run, EndOfInputAtEveryQuestionStops) {
    for (std::size_t k = 0; k < kTypicalAnswers.size(); ++k) {
        SCOPED_TRACE(testing::Message() << k << " answers");
        const std::vector<std::string> given(kTypicalAnswers.begin(), kTypicalAnswers.begin() + static_cast<long>(k));
        const Outcome o = run_with(typical_drawing(), join(given));
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err.rfind("zorvel_raster: fin de la entrada: falta ", 0), 0u) << o.err;
        EXPECT_EQ(o.raw, "");
        EXPECT_EQ(o.table, "");
    }
}

TEST(Run, LongWordsAndLargeGrids) {
    // one contour: no suggestion, so the interval is typed
    const std::string one = join({"obra", "curvas", "mapa", "10", "2", "0", "0", "1", "10", "100", "200"});
    // a word of any size is streamed through a bounded buffer
    const std::string word(64 << 20, 'W');
    const Outcome o = run_with(header() + word + "\n" + polyline(100, {{"10", "40"}, {"10", "10"}}), one);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.raw, std::string(4, '\x01'));
    // 500,000 x 1,000,000 cells of one byte are refused, before anything is allocated
    std::vector<std::string> small = kTypicalAnswers;
    small[3] = "0.0001";
    const Outcome big = run_with(typical_drawing(), join(small), {}, 1ULL << 30);
    EXPECT_EQ(big.status, 1);
    EXPECT_EQ(big.err.rfind("zorvel_raster: la cuadricula de 500000 lineas y 1000000 columnas necesita 476848 MiB de "
                            "memoria y solo hay 1024 MiB", 0), 0u) << big.err;
}

TEST(Run, ExtentsChangedBetweenPolylinesPlaceOnlyTheLaterVertices) {
    // a second $EXTMIN among the entities moves the vertices read after it, not
    // those before it, even while they are still being drawn
    std::string drawing = header();
    for (int k = 0; k < 3000; ++k) drawing += polyline(100, {{"10", "40"}, {"10", "10"}});
    drawing += "9\n$EXTMIN\n10\n-20.0\n20\n0.0\n30\n0.0\n9\n$OTHER\n";
    drawing += polyline(110, {{"10", "40"}, {"10", "10"}}) + "0\nEOF\n";
    const Outcome o =
        run_with(drawing, join({"obra", "curvas", "mapa", "10", "2", "0", "0", "1", "10", "100", "120"}));
    ASSERT_EQ(o.status, 0) << o.err;
    // rows 1..4: class 1 in column 1, class 2 in column 3 (the crop keeps columns 1..3)
    EXPECT_EQ(o.raw, std::string("\x01\xff\x02\x01\xff\x02\x01\xff\x02\x01\xff\x02", 12));
}

TEST(Run, DrawingThatIsAFolderIsAReadError) {
    const Outcome o = run_with("", join(kTypicalAnswers), [](const fs::path& folder) {
        fs::remove(folder / "curvas.dxf");
        fs::create_directory(folder / "curvas.dxf");
    });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("zorvel_raster: no se puede leer ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find("Is a directory"), std::string::npos) << o.err;
}

TEST(Run, FullDiskIsAFailureNamingTheFile) {
    for (const char* name : {"mapa_zorvl.raw", "mapa_zorvl.txt", "mapa_zorvl_tab.txt"}) {
        SCOPED_TRACE(name);
        const Outcome o = run_with(typical_drawing(), join(kTypicalAnswers), [&](const fs::path& folder) {
            fs::create_symlink("/dev/full", folder / name);
        });
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(std::string("no se puede escribir ")), std::string::npos) << o.err;
        EXPECT_NE(o.err.find(std::string(name) + ": No space left on device"), std::string::npos) << o.err;
    }
}

}  // namespace
}  // namespace zorvel

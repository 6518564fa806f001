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
    rs.grid_memory_limit = memory;
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

TEST(Run, TypicalRunCompletes) {
    const Outcome o = run_with(typical_drawing(), join(kTypicalAnswers));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.raw.size(), 40u);
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

TEST(Run, NonNumbersAtEveryNumericQuestionAreRefusedAndAskedAgain) {
    const Outcome clean = run_with(typical_drawing(), join(kTypicalAnswers));
    std::vector<std::string> answers;
    for (std::size_t k = 0; k < kTypicalAnswers.size(); ++k) {
        if (k >= 3) answers.push_back(k % 2 ? "abc" : "-x");
        answers.push_back(kTypicalAnswers[k]);
    }
    const Outcome o = run_with(typical_drawing(), join(answers));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.raw, clean.raw);
    EXPECT_EQ(o.descriptor, clean.descriptor);
    EXPECT_EQ(o.table, clean.table);
    std::size_t refusals = 0;
    for (std::size_t at = 0; (at = o.out.find("respuesta no valida", at)) != std::string::npos; ++at) ++refusals;
    EXPECT_EQ(refusals, kTypicalAnswers.size() - 3);
}

TEST(Run, HostileDrawingsStopWithAMessageOrRunThrough) {
    const std::string words(64 << 20, 'W');  // stands for a word of any size: it is streamed
    struct Case {
        const char* name;
        std::string drawing;
        std::vector<std::string> answers;
        int status;
        const char* err;  // what the stop line says, "" when there is none
    };
    std::vector<std::string> typical = kTypicalAnswers;
    // one contour: no suggestion, so the interval is typed
    const std::vector<std::string> one = {"obra", "curvas", "mapa", "10", "2", "0", "0", "1", "10", "100", "200"};
    std::vector<std::string> pixel_tiny = kTypicalAnswers;
    pixel_tiny[3] = "1e-300";
    std::vector<std::string> pixel_small = kTypicalAnswers;
    pixel_small[3] = "0.0001";
    const std::string garbage = [] {
        std::string g;
        for (int k = 0; k < 5000; ++k) g.push_back(static_cast<char>((k * 7919 + 13) % 256));
        return g;
    }();
    const std::string cut = typical_drawing().substr(0, typical_drawing().find("20\n10", 700) + 4);
    const Case cases[] = {
        {"empty drawing", "", typical, 1, "no da la Y maxima"},
        {"binary garbage", garbage, typical, 1, "no da la Y maxima"},
        {"no $EXTMAX", header("") + polyline(100, {{"10", "40"}, {"10", "10"}}), typical, 1, "no da la Y maxima"},
        {"no code 20", header("9\n$EXTMAX\n10\n100.0\n30\n0.0\n"), typical, 1, "no da la Y maxima"},
        {"cut in the middle of a vertex", cut, one, 0, ""},
        {"vertices before $EXTMAX", polyline(100, {{"10", "40"}, {"10", "10"}}) + header(), one, 1,
         "tiene vertices antes de $EXTMAX"},
        {"a word of 64 MiB", header() + words + "\n" + polyline(100, {{"10", "40"}, {"10", "10"}}), one, 0, ""},
        {"NaN and infinite values", header() + polyline(100, {{"nan", "40"}, {"10", "inf"}, {"10", "10"}, {"-inf", "nan"}}) +
                                         polyline(100, {{"30", "40"}, {"30", "10"}}),
         one, 0, ""},
        {"vertex at 1e300", header() + polyline(100, {{"10", "10"}, {"1e300", "1e300"}, {"-1e300", "5"}}), one, 0, ""},
        {"pixel size giving a grid out of range", typical_drawing(), pixel_tiny, 1, "fuera de rango"},
        {"grid larger than the memory", typical_drawing(), pixel_small, 1, "la cuadricula de 500000 lineas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = run_with(c.drawing, join(c.answers), {}, 1ULL << 30);
        EXPECT_EQ(o.status, c.status) << o.err;
        if (*c.err == '\0') {
            EXPECT_EQ(o.err, "");
        } else {
            EXPECT_EQ(o.err.rfind("zorvel_raster: ", 0), 0u) << o.err;
            EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        }
        if (c.status != 0) {
            EXPECT_EQ(o.raw + o.descriptor + o.table, "");
        } else {
            EXPECT_FALSE(o.raw.empty());
        }
    }
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

TEST(Run, OutputFolderThatCannotHoldTheFilesStopsBeforeThePixelSize) {
    std::vector<std::string> answers = kTypicalAnswers;
    answers[2] = "curvas.dxf/mapa";  // a folder that is a file
    const Outcome o = run_with(typical_drawing(), join(answers));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("no se puede crear"), std::string::npos) << o.err;
    EXPECT_EQ(o.out.find("tamano del pixel"), std::string::npos);
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxf_scanner.h"
#include "test_support.h"

namespace zorvel {
namespace {

struct Seen {
    std::vector<Extents> sizings;
    std::vector<std::vector<double>> vertices;  // x, y, elevation, flag before
    int segm = 0;
    PassEnd end = PassEnd::end_of_file;
    std::string out;
};

// One pass over `drawing` with hooks that only record what they receive.
Seen scan(const std::string& drawing, int reg, std::size_t chunk = kReadChunk) {
    Seen seen;
    auto f = test::stream_of(drawing);
    test::File out(std::tmpfile());
    DrawingReader rd(f.get(), chunk);
    ScanState st;
    st.reg = reg;
    Extents ext;
    PassHooks hooks;
    hooks.at_max_y = [&](const Extents& e) {
        seen.sizings.push_back(e);
        return true;
    };
    hooks.at_vertex = [&](ScanState& s) {
        seen.vertices.push_back({s.dval1, s.dval2, s.dval3, static_cast<double>(s.flag)});
        return true;
    };
    seen.end = scan_pass(rd, st, ext, hooks, out.get());
    seen.segm = st.segm;
    seen.out = test::contents(out.get());
    return seen;
}

const std::string kHeader =
    "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n0.0\n20\n0.0\n30\n0.0\n"
    "9\n$EXTMAX\n10\n100.0\n20\n50.0\n30\n0.0\n9\n$LIMMIN\n10\n0.0\n20\n0.0\n0\nENDSEC\n";

TEST(Scanner, TypicalDrawingReadsExtentsPolylineAndVertices) {
    const std::string drawing = kHeader +
                                "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\nCURVAS\n66\n1\n"
                                "0\nVERTEX\n8\nCURVAS\n10\n10.0\n20\n40.0\n30\n100.0\n"
                                "0\nVERTEX\n8\nCURVAS\n10\n40.0\n20\n10.0\n30\n100.0\n"
                                "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
    for (std::size_t chunk : {std::size_t{5}, kReadChunk}) {
        const Seen s = scan(drawing, 2, chunk);
        EXPECT_EQ(s.end, PassEnd::end_of_file);
        EXPECT_EQ(s.segm, 1);
        EXPECT_EQ(s.out, "\tsegment 1            \r        ");
        ASSERT_EQ(s.sizings.size(), 1u);
        // the sizing runs once max_y is known: min_x, min_y, max_x and max_y are set, max_alt not yet
        EXPECT_EQ(s.sizings[0].min_x, 0.0);
        EXPECT_EQ(s.sizings[0].max_x, 100.0);
        EXPECT_EQ(s.sizings[0].max_y, 50.0);
        ASSERT_EQ(s.vertices.size(), 2u);
        EXPECT_EQ(s.vertices[0], (std::vector<double>{10.0, 40.0, 100.0, 0}));
        EXPECT_EQ(s.vertices[1], (std::vector<double>{40.0, 10.0, 100.0, 0}));
    }
}

TEST(Scanner, KeywordsActAsWholeWordsWhereverTheyStand) {
    struct Case {
        const char* name;
        std::string drawing;
        int polylines;
        std::size_t vertices;
    };
    const Case cases[] = {
        {"layer named VERTEX", "POLYLINE 8 VERTEX 66 1 ", 1, 1},
        {"text whose value is POLYLINE", "0 TEXT 1 POLYLINE 0 EOF", 1, 0},
        {"other case", "polyline Vertex POLYLINEs VERTEX2 $extmax", 0, 0},
        {"longer word", "XPOLYLINE VERTEXX", 0, 0},
        {"polylines without vertices count", "POLYLINE POLYLINE POLYLINE 0 EOF", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Seen s = scan(c.drawing, 2);
        EXPECT_EQ(s.segm, c.polylines);
        EXPECT_EQ(s.vertices.size(), c.vertices);
    }
}

TEST(Scanner, SkipCountDecidesWhereXIsRead) {
    struct Case {
        const char* name;
        int reg;
        const char* drawing;
        std::vector<double> vertex;
    };
    const Case cases[] = {
        {"layer code and name", 2, "VERTEX 8 L 10 1.5 20 2.5 30 3.5 0", {1.5, 2.5, 3.5, 0}},
        {"zero skips nothing", 0, "VERTEX 10 1.5 20 2.5 30 3.5 0", {1.5, 2.5, 3.5, 0}},
        {"negative skips nothing", -4, "VERTEX 10 1.5 20 2.5 30 3.5 0", {1.5, 2.5, 3.5, 0}},
        {"handle before the layer", 4, "VERTEX 5 1F 8 L 10 1.5 20 2.5 30 3.5 0", {1.5, 2.5, 3.5, 0}},
        // items are read by position: the second number is X whatever its code says
        {"another code where X is expected", 2, "VERTEX 8 L 42 7.0 20 2.5 30 3.5 0", {7.0, 2.5, 3.5, 0}},
        // a failed read keeps the previous value, 0.0 before the first vertex
        // (the layer name stops every conversion, so nothing is read at all)
        {"layout off by one", 1, "VERTEX 8 L 10 1.5 20 2.5 30 3.5 0", {0.0, 0.0, 0.0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Seen s = scan(c.drawing, c.reg);
        ASSERT_FALSE(s.vertices.empty());
        EXPECT_EQ(s.vertices[0], c.vertex);
    }
}

TEST(Scanner, Regression_FinalNewlineRereadsLastToken) {
    // the read that runs into the end leaves the last token in place, and it acts again
    EXPECT_EQ(scan("0 POLYLINE\n", 2).segm, 2);
    EXPECT_EQ(scan("0 POLYLINE", 2).segm, 1);
    EXPECT_EQ(scan("0 POLYLINE \n\t ", 2).segm, 2);
}

TEST(Scanner, GroupLoopTakesCodesInAnyOrderAndEndsOnAnyOtherCode) {
    {
        // $EXTMIN with 10 and 20 only: the loop ends on the 9 and min_alt stays 0.0
        auto f = test::stream_of("$EXTMIN 20 -5.5 10 3.0 20 -6.5 9 $EXTMAX 20 8.0 10 9.0 30 1.0 0 POLYLINE");
        DrawingReader rd(f.get());
        ScanState st;
        Extents ext;
        std::vector<Extents> sizings;
        PassHooks hooks;
        hooks.at_max_y = [&](const Extents& e) {
            sizings.push_back(e);
            return true;
        };
        test::File out(std::tmpfile());
        EXPECT_EQ(scan_pass(rd, st, ext, hooks, out.get()), PassEnd::end_of_file);
        EXPECT_EQ(ext.min_x, 3.0);
        EXPECT_EQ(ext.min_y, -6.5);
        EXPECT_EQ(ext.min_alt, 0.0);
        EXPECT_EQ(ext.max_x, 9.0);
        EXPECT_EQ(ext.max_alt, 1.0);
        // code 20 came before code 10: the sizing saw max_x still at 0.0
        ASSERT_EQ(sizings.size(), 1u);
        EXPECT_EQ(sizings[0].max_x, 0.0);
        EXPECT_EQ(sizings[0].max_y, 8.0);
        // the code that ended the loop was consumed, not taken for a keyword
        EXPECT_EQ(st.segm, 1);
    }
}

TEST(Scanner, GroupLoopEndsWhenNoCodeCanBeRead) {
    struct Case {
        const char* name;
        const char* drawing;
        std::size_t sizings;
        int polylines;
    };
    const Case cases[] = {
        {"word where a code is awaited", "$EXTMAX 10 5.0 NIVEL POLYLINE", 0, 1},
        {"end of drawing after max_y", "$EXTMAX 10 5.0 20 7.0", 1, 0},
        {"value that is no number", "$EXTMAX 20 abc POLYLINE", 1, 1},
        {"end of drawing after the keyword", "$EXTMIN", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Seen s = scan(c.drawing, 2);
        EXPECT_EQ(s.end, PassEnd::end_of_file);
        EXPECT_EQ(s.sizings.size(), c.sizings);
        EXPECT_EQ(s.segm, c.polylines);
    }
}

TEST(Scanner, ResetsFlagAtEveryPolylineAndStopsWhenAHookSaysSo) {
    auto f = test::stream_of("VERTEX 10 1 20 1 30 1 0 POLYLINE VERTEX 10 2 20 2 30 2 0 VERTEX 10 3 20 3 30 3 0");
    DrawingReader rd(f.get());
    ScanState st;
    Extents ext;
    std::vector<int> flags;
    PassHooks hooks;
    hooks.at_vertex = [&](ScanState& s) {
        flags.push_back(s.flag);
        s.flag = 1;
        return flags.size() < 3;
    };
    test::File out(std::tmpfile());
    EXPECT_EQ(scan_pass(rd, st, ext, hooks, out.get()), PassEnd::stopped);
    EXPECT_EQ(flags, (std::vector<int>{0, 0, 1}));
}

TEST(Scanner, ReadErrorEndsThePass) {
    test::File dir(std::fopen("/", "r"));
    ASSERT_NE(dir, nullptr);
    DrawingReader rd(dir.get());
    ScanState st;
    Extents ext;
    test::File out(std::tmpfile());
    EXPECT_EQ(scan_pass(rd, st, ext, PassHooks{}, out.get()), PassEnd::read_error);
}

}  // namespace
}  // namespace zorvel

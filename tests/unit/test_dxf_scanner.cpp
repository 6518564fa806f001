#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dialogue/dialogue.h"
#include "reading/dxf_scanner.h"
#include "test_support.h"

namespace zorvel {
namespace {

// A sink that writes down what it is told.
struct Seen final : ContourSink {
    std::vector<Extents> sizings;
    std::vector<std::vector<double>> vertices;  // x, y, elevation
    int stop_after = -1;                        // vertices before the sink stops the pass
    bool max_y_read(const Extents& e) override {
        sizings.push_back(e);
        return true;
    }
    bool vertex(double x, double y, double z) override {
        vertices.push_back({x, y, z});
        return static_cast<int>(vertices.size()) != stop_after;
    }
};

struct Scan {
    Seen seen;
    ScanState st;
    Extents ext;
    PassEnd end{};
    std::string out;
};

// One pass over `drawing`; small chunks put word ends on the buffer's edges.
Scan scan(const std::string& drawing, int reg, std::size_t chunk = kReadChunk, int stop_after = -1) {
    Scan s;
    s.seen.stop_after = stop_after;
    auto f = test::stream_of(drawing);
    FileHandle out(std::tmpfile());
    DrawingReader rd(f.get(), chunk);
    s.st.reg = reg;
    DialogueReport report(out.get());
    s.end = scan_pass(rd, s.st, s.ext, s.seen, report);
    s.out = test::contents(out.get());
    return s;
}

TEST(Scanner, KeywordsAndSkipCounts) {
    struct Case {
        const char* name;
        int reg;
        std::string drawing;
        int polylines;
        std::vector<std::vector<double>> vertices;
    };
    const Case cases[] = {
        {"layer named VERTEX", 2, "POLYLINE 8 VERTEX 66 1 10 5 20 6 30 7 0", 1, {{5, 6, 7}}},
        {"text whose value is POLYLINE", 2, "0 TEXT 1 POLYLINE 0 EOF", 1, {}},
        {"other case or longer words", 2, "polyline Vertex POLYLINEs VERTEX2 XPOLYLINE $extmax", 0, {}},
        {"polylines without vertices count", 2, "POLYLINE POLYLINE POLYLINE 0 EOF", 3, {}},
        {"zero skips nothing", 0, "VERTEX 10 1.5 20 2.5 30 3.5 0", 0, {{1.5, 2.5, 3.5}}},
        {"negative skips nothing", -4, "VERTEX 10 1.5 20 2.5 30 3.5 0", 0, {{1.5, 2.5, 3.5}}},
        {"handle before the layer", 4, "VERTEX 5 1F 8 L 10 1.5 20 2.5 30 3.5 0", 0, {{1.5, 2.5, 3.5}}},
        // items are read by position: the second number is X whatever its code says
        {"another code where X is expected", 2, "VERTEX 8 L 42 7.0 20 2.5 30 3.5 0", 0, {{7.0, 2.5, 3.5}}},
        // a failed read keeps the previous value: 0.0 before the first vertex
        {"layout off by one", 1, "VERTEX 8 L 10 1.5 20 2.5 30 3.5 0", 0, {{0, 0, 0}}},
        // the read that runs into the end leaves the last token in place, and it acts again
        {"Regression_FinalNewlineRereadsLastToken", 2, "0 POLYLINE\n", 2, {}},
        {"last token without a line end", 2, "0 POLYLINE", 1, {}},
        // the last skipped word is the token the failed read at the end leaves
        {"a skipped keyword acts again at the end", 2, "VERTEX 8 VERTEX 10 1 20 2 30 3 0\n", 0, {{1, 2, 3}, {1, 2, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scan s = scan(c.drawing, c.reg);
        EXPECT_EQ(s.st.segm, c.polylines);
        EXPECT_EQ(s.seen.vertices, c.vertices);
    }
}

// What a pass tells its recorder, and where it stands when it pauses.
struct Told final : ScanRecorder {
    std::vector<std::size_t> seen;  // offsets and failed reads, as told
    void extents() override { seen.push_back(SIZE_MAX); }
    void polyline(std::size_t top) override { seen.push_back(top); }
    void vertex(std::size_t top, double, double, double, std::size_t before, std::size_t after) override {
        seen.insert(seen.end(), {top, before, after});
    }
};

struct Paused {
    Told told;
    Scan s;
    std::vector<std::string> pauses;  // where each paused pass stood, and its token
    std::size_t shaped = 0;
};

// A pass paused at each offset of stops in turn, then read to the end.
Paused paused_scan(const std::string& drawing, int reg, std::size_t chunk, const std::vector<std::size_t>& stops) {
    Paused r;
    auto f = test::stream_of(drawing);
    DrawingReader rd(f.get(), chunk);
    r.s.st.reg = reg;
    Report quiet;
    for (std::size_t stop : stops) {
        r.s.end = scan_until(rd, r.s.st, r.s.ext, r.s.seen, quiet, stop, &r.told);
        r.pauses.push_back(r.s.end == PassEnd::paused ? std::to_string(rd.consumed()) + r.s.st.texte.text : "");
    }
    r.s.end = scan_until(rd, r.s.st, r.s.ext, r.s.seen, quiet, SIZE_MAX, &r.told);
    r.shaped = rd.shaped_reads();
    return r;
}

// Records of one shape, as writers put them out, are read in one sweep, and
// by the shape the reader learns from the first two; now and then a record
// differs (another layer, blank, code or word, a NUL, a keyword in between,
// words of no record) and must be read word by word. Against a three-byte
// buffer, which reads every word the long way: the same vertices, state,
// recorded offsets and pauses.
TEST(Scanner, RecordsOfOneShapeReadAsWordByWord) {
    std::mt19937 rng(11);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    const auto number = [&] {
        std::string n = pick(8) == 0 ? "-" : "";
        n += std::to_string(1 + pick(999999));
        if (pick(6) > 0) {
            n += '.';
            for (std::size_t d = 1 + pick(12); d > 0; --d) n += static_cast<char>('0' + pick(10));
        }
        return n;
    };
    const std::vector<std::string> odd = {"POLYLINE", "VERTEX", "abc", "1e5", "", std::string(1, '\0'),
                                          std::string(90, 'w'), "12x", "0", " ", "CURVAS2", "-2.25", "+7", "31",
                                          "123456789012345678901234.5", "0.1e3", "-", ".", "99999999999"};
    // both readers give the same; how many reads the fast one took by shapes
    const auto compare = [](const std::string& d, int reg, const std::vector<std::size_t>& stops) {
        const Paused fast = paused_scan(d, reg, kReadChunk, stops), slow = paused_scan(d, reg, 3, stops);
        EXPECT_EQ(fast.s.end, slow.s.end);
        EXPECT_EQ(fast.pauses, slow.pauses);
        EXPECT_EQ(fast.told.seen, slow.told.seen);
        EXPECT_EQ(fast.s.seen.vertices, slow.s.seen.vertices);
        EXPECT_STREQ(fast.s.st.texte.text, slow.s.st.texte.text);
        EXPECT_EQ(fast.s.st.val, slow.s.st.val);
        EXPECT_EQ(fast.s.st.vertices, slow.s.st.vertices);
        EXPECT_EQ(fast.s.st.misplaced, slow.s.st.misplaced);
        EXPECT_EQ(fast.s.st.segm, slow.s.st.segm);
        return fast.shaped;
    };
    // the elevation mostly that of the record before, as along a contour
    // line; now and then another, or one that starts with the same word
    std::string z = number();
    const auto elevation = [&] {
        const std::size_t c = pick(12);
        if (c == 0) z = number();
        if (c == 1) z += std::to_string(pick(10));
        if (c == 2 && z.size() > 1) z.pop_back();
        return z;
    };
    const auto record = [&](int r, const std::string& layer, const std::string& eol) {
        char handle[16];
        std::snprintf(handle, sizeof handle, "%X", 0x100 + r);
        std::vector<std::string> w = {"  0", "VERTEX", "  5", handle, "  8", layer, " 10", number(),
                                      " 20", number(), " 30", elevation(), " 70", "    32"};
        std::string d;
        for (const std::string& word : w) d += word + eol;
        return std::pair{d, w};
    };
    std::size_t shaped = 0;
    for (int k = 0; k < 400; ++k) {
        const std::string eol = pick(4) == 0 ? "\r\n" : "\n";
        const int reg = pick(5) == 0 ? static_cast<int>(pick(6)) : 4;
        std::string d = "  0" + eol + "POLYLINE" + eol;
        for (int r = 0, n = 2 + static_cast<int>(pick(60)); r < n; ++r) {
            auto w = record(r, "CURVAS", eol).second;
            if (pick(8) == 0) w[pick(w.size())] = odd[pick(odd.size())];
            if (pick(16) == 0) w[pick(w.size())] += " ";
            // now and then words of no record at all
            if (pick(10) == 0)
                for (std::string& word : w) word = odd[pick(odd.size())];
            for (const std::string& word : w) d += word + eol;
        }
        if (pick(2)) d += "  0" + eol + "SEQEND" + eol;
        if (pick(3) == 0) d.resize(d.size() - eol.size());  // no line end after the last word
        std::vector<std::size_t> stops;
        for (std::size_t n = pick(4); n > 0; --n) stops.push_back(pick(d.size() + 1));
        std::sort(stops.begin(), stops.end());
        SCOPED_TRACE(testing::Message() << k << ", reg " << reg);
        shaped += compare(d, reg, stops);
        if (HasFailure()) return;
    }
    // most records and gaps were read by their shapes
    EXPECT_GT(shaped, 400u * 30);
    // a shape that no longer fits is learned anew: 300 records, the layer
    // changing after the first 100, and a gap of another kind at first
    std::string d = "  0\nPOLYLINE\n  0\nVERTEX\n  8\nCURVAS\n 10\n1\n 20\n2\n 30\n3\n 70\n32\n";
    for (int r = 0; r < 300; ++r) d += record(r, r < 100 ? "CURVAS" : "NIVELES", "\n").first;
    EXPECT_GT(compare(d, 4, {d.size() / 2}), 2u * 300 - 2 * 80);
}

TEST(Scanner, GroupLoopTakesCodesInAnyOrderAndEndsOnAnyOtherCode) {
    // $EXTMIN with 20 and 10 only ends on the 9; $EXTMAX gives 20 before 10
    const Scan s = scan("$EXTMIN 20 -5.5 10 3.0 20 -6.5 9 $EXTMAX 20 8.0 10 9.0 30 1.0 0 POLYLINE", 2);
    EXPECT_EQ(s.ext.min_x, 3.0);
    EXPECT_EQ(s.ext.min_y, -6.5);
    EXPECT_EQ(s.ext.min_alt, 0.0);
    EXPECT_EQ(s.ext.max_x, 9.0);
    EXPECT_EQ(s.ext.max_alt, 1.0);
    // the sizing saw max_x still at 0.0; the code that ended the loop is no keyword
    ASSERT_EQ(s.seen.sizings.size(), 1u);
    EXPECT_EQ(s.seen.sizings[0].max_x, 0.0);
    EXPECT_EQ(s.st.segm, 1);
    struct Case {
        const char* name;
        const char* drawing;
        std::size_t sizings;
        int polylines;
    };
    // a code that cannot be read ends the loop, which would never end otherwise
    const Case ends[] = {
        {"word where a code is awaited", "$EXTMAX 10 5.0 NIVEL POLYLINE", 0, 1},
        {"end of drawing after max_y", "$EXTMAX 10 5.0 20 7.0", 1, 0},
        {"value that is no number", "$EXTMAX 20 abc POLYLINE", 1, 1},
        {"end of drawing after the keyword", "$EXTMIN", 0, 0},
    };
    for (const Case& c : ends) {
        SCOPED_TRACE(c.name);
        const Scan e = scan(c.drawing, 2);
        EXPECT_EQ(e.end, PassEnd::end_of_file);
        EXPECT_EQ(e.seen.sizings.size(), c.sizings);
        EXPECT_EQ(e.st.segm, c.polylines);
    }
}

TEST(Scanner, SinkStopsThePass) {
    const Scan s = scan("VERTEX 10 1 20 1 30 1 0 POLYLINE VERTEX 10 2 20 2 30 2 0 VERTEX 10 3 20 3 30 3 0", 0,
                        kReadChunk, 2);
    EXPECT_EQ(s.end, PassEnd::stopped);
    EXPECT_EQ(s.seen.vertices.size(), 2u);
}

}  // namespace
}  // namespace zorvel

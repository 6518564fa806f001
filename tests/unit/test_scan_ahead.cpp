#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "scan_ahead.h"
#include "test_support.h"

namespace zorvel {
namespace {

// What pass one leaves behind, everything compared bit for bit.
struct PassOne {
    PassEnd end{};
    bool joined = false;
    ScanState st;
    Extents ext;
    ElevationRange range{10000.0, 0.0};
    int max_y_calls = 0;
    std::string out;

    bool operator==(const PassOne& o) const {
        const auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
        return end == o.end && std::string(st.texte.text) == o.st.texte.text && st.val == o.st.val &&
               same(st.dval1, o.st.dval1) && same(st.dval2, o.st.dval2) && same(st.dval3, o.st.dval3) &&
               st.segm == o.st.segm && st.flag == o.st.flag && same(ext.max_y, o.ext.max_y) &&
               same(ext.min_x, o.ext.min_x) && same(range.min_dyn, o.range.min_dyn) &&
               same(range.max_dyn, o.range.max_dyn) && max_y_calls == o.max_y_calls && out == o.out;
    }
};

PassOne pass_one(const std::string& path, int reg, std::size_t min_bytes) {
    PassOne r;
    test::File f(std::fopen(path.c_str(), "r"));
    test::File out(std::tmpfile());
    DrawingReader rd(f.get());
    r.st.reg = reg;
    const auto at_max_y = [&](const Extents& e) {
        ++r.max_y_calls;
        std::fprintf(out.get(), "[max y %g]", e.max_y);
        return true;
    };
    r.end = scan_pass_one(rd, r.st, r.ext, r.range, at_max_y, out.get(), path, f.get(), min_bytes, &r.joined);
    r.out = test::contents(out.get());
    return r;
}

// A drawing of polylines in the old style; `twist` puts one oddity into its
// second half.
enum class Twist {
    none,
    second_extmax,
    cut_vertex,
    garbage_after_middle,
    garbage_at_middle,
    zero_vertex_in_skipped,
    nan_and_signed_zero,
    no_final_newline,
    polyline_last
};

std::string drawing(int polylines, Twist twist, std::mt19937& rng) {
    std::string s = "  0\nSECTION\n  2\nHEADER\n  9\n$EXTMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  9\n$EXTMAX\n 10\n100.0\n 20\n"
                    "80.0\n 30\n0.0\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n";
    std::uniform_real_distribution<double> coord(0, 100);
    for (int p = 0; p < polylines; ++p) {
        if (twist == Twist::garbage_at_middle && p == polylines / 2)
            for (int k = 0; k < 30; ++k) s += "  0\nVERTEX\n  5\nA\n  8\nC\n 10\nxx\n 20\nyy\n 30\nzz\n 70\n0\n";
        const bool second_half = p >= polylines / 2 + 3;
        if (second_half && p == polylines / 2 + 3) {
            if (twist == Twist::second_extmax) s += "  9\n$EXTMAX\n 10\n90.0\n 20\n70.0\n 30\n0.0\n";
            if (twist == Twist::garbage_after_middle) s += "  0\nVERTEX\n  5\nA\n  8\nC\n 10\nxx\n 20\n1.0\n";
            if (twist == Twist::zero_vertex_in_skipped) s += "  0\nVERTEX\n  0\nVERTEX\n  0\nVERTEX\n 10\n1\n 20\n2\n 30\n3\n 70\n0\n";
        }
        s += "  0\nPOLYLINE\n  5\n" + std::to_string(100 + p) + "\n  8\nCURVAS\n 66\n     1\n";
        const double z = 100.0 + 10.0 * (p % 17);
        for (int v = 0; v < 6; ++v) {
            char line[200];
            double alt = z;
            if (twist == Twist::nan_and_signed_zero && v == 2) alt = (p % 3 == 0) ? std::nan("") : (p % 3 == 1 ? -0.0 : 0.0);
            std::snprintf(line, sizeof line, "  0\nVERTEX\n  5\n%X\n  8\nCURVAS\n 10\n%.3f\n 20\n%.3f\n 30\n%.17g\n 70\n    32\n",
                          p * 16 + v, coord(rng), coord(rng), alt);
            s += line;
        }
        s += "  0\nSEQEND\n";
    }
    switch (twist) {
        case Twist::cut_vertex: s += "  0\nVERTEX\n  5\nFF\n  8\nCURVAS\n 10\n5.0\n"; break;
        case Twist::polyline_last: s += "  0\nPOLYLINE\n"; break;
        default: s += "  0\nENDSEC\n  0\nEOF\n"; break;
    }
    if (twist == Twist::no_final_newline) s.pop_back();
    return s;
}

TEST(ScanAhead, TwoThreadsGiveTheResultOfOneScan) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(11);
    int joined = 0, cases = 0;
    for (Twist twist : {Twist::none, Twist::second_extmax, Twist::cut_vertex, Twist::garbage_after_middle,
                        Twist::garbage_at_middle, Twist::zero_vertex_in_skipped, Twist::nan_and_signed_zero, Twist::no_final_newline,
                        Twist::polyline_last}) {
        for (int polylines : {1, 8, 40, 300}) {
            for (int reg : {4, 0, 6}) {
                SCOPED_TRACE(testing::Message() << "twist " << static_cast<int>(twist) << ", " << polylines
                                                << " polylines, skip " << reg);
                std::ofstream(path, std::ios::binary) << drawing(polylines, twist, rng);
                const PassOne one = pass_one(path, reg, SIZE_MAX);
                const PassOne two = pass_one(path, reg, 0);
                EXPECT_FALSE(one.joined);
                EXPECT_TRUE(one == two);
                ++cases;
                joined += two.joined;
                // a regular drawing read with its own skip count is always
                // split; extents in the second half never are
                const bool regular =
                    twist == Twist::none || twist == Twist::nan_and_signed_zero || twist == Twist::no_final_newline;
                if (reg == 4 && polylines >= 40 && regular) {
                    EXPECT_TRUE(two.joined);
                }
                if (twist == Twist::second_extmax && polylines >= 40) {
                    EXPECT_FALSE(two.joined);
                }
            }
        }
    }
    EXPECT_GT(joined, 0);
    EXPECT_LT(joined, cases);
}

TEST(ScanAhead, SmallOrUnnamedDrawingsAreReadByOneThread) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(5);
    std::ofstream(path, std::ios::binary) << drawing(40, Twist::none, rng);
    EXPECT_FALSE(pass_one(path, 4, std::size_t{1} << 30).joined);
    // the name leads to another file than the one open: no second thread
    const std::string other = dir.root() + "e.dxf";
    std::ofstream(other, std::ios::binary) << drawing(40, Twist::none, rng);
    test::File f(std::fopen(path.c_str(), "r"));
    ScanAhead ahead(other, f.get(), 4, 0);
    EXPECT_EQ(ahead.from(), SIZE_MAX);
}

}  // namespace
}  // namespace zorvel

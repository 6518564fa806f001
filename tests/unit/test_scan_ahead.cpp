#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "scan_ahead.h"
#include "drawings.h"
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
    r.end = scan_pass_one(rd, r.st, r.ext, r.range, at_max_y, out.get(), path, f.get(), min_bytes, nullptr, nullptr, &r.joined);
    r.out = test::contents(out.get());
    return r;
}

using test::drawing;
using test::Twist;

TEST(ScanAhead, TwoThreadsGiveTheResultOfOneScan) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(11);
    int joined = 0, cases = 0;
    for (Twist twist : test::kAllTwists) {
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
    ScanAhead ahead(other, f.get(), 4, 0, 0);
    EXPECT_EQ(ahead.from(), SIZE_MAX);
}

}  // namespace
}  // namespace zorvel

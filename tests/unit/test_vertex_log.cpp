#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "drawings.h"
#include "scan_ahead.h"
#include "test_support.h"
#include "vertex_log.h"

namespace zorvel {
namespace {

// Everything pass two hands to its hooks and writes, in order.
struct PassTwo {
    PassEnd end{};
    bool replayed = false;
    std::string seen;
};

using test::Twist;

std::string bits(double v) { return std::to_string(std::bit_cast<std::uint64_t>(v)); }

// Pass one as the program runs it, then pass two read again (log bound 0) or
// replayed from the log wherever it can be.
PassTwo both_passes(const std::string& path, int reg, std::size_t ahead_min_bytes, std::size_t log_bound) {
    test::File f(std::fopen(path.c_str(), "r"));
    test::File out(std::tmpfile());
    DrawingReader rd(f.get());
    ScanState st;
    st.reg = reg;
    Extents ext;
    ElevationRange range{10000.0, 0.0};
    VertexLog log(log_bound);
    const auto sized = [](const Extents&) { return true; };
    PassTwo r;
    if (scan_pass_one(rd, st, ext, range, sized, out.get(), path, f.get(), ahead_min_bytes, &log, nullptr) !=
        PassEnd::end_of_file)
        return r;
    rd.rewind();
    st.segm = 0;
    PassHooks two;
    two.before_extents = [&] { r.seen += "[extents]"; };
    two.at_max_y = [&](const Extents& e) {
        r.seen += "[max y " + bits(e.max_y) + "]";
        return true;
    };
    two.at_vertex = [&](ScanState& s) {
        r.seen += "v " + bits(s.dval1) + " " + bits(s.dval2) + " " + bits(s.dval3) + " " + std::to_string(s.flag) +
                  " " + std::to_string(s.segm) + "\n";
        s.flag = 1;
        return true;
    };
    r.end = scan_on(rd, st, ext, two, out.get(), log.usable() ? log.start() : SIZE_MAX);
    if (r.end == PassEnd::paused && rd.consumed() == log.start()) {
        r.replayed = true;
        r.end = log.replay(st, two, out.get());
    } else if (r.end == PassEnd::paused) {
        r.end = scan_on(rd, st, ext, two, out.get(), SIZE_MAX);
    }
    r.seen += test::contents(out.get());
    return r;
}

TEST(VertexLog, ReplayGivesWhatReadingAgainGives) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(3);
    int replayed = 0, cases = 0;
    for (Twist twist : test::kAllTwists) {
        for (int polylines : {1, 40, 300}) {
            for (int reg : {4, 0}) {
                SCOPED_TRACE(testing::Message() << "twist " << static_cast<int>(twist) << ", " << polylines
                                                << " polylines, skip " << reg);
                std::ofstream(path, std::ios::binary) << test::drawing(polylines, twist, rng);
                const PassTwo read = both_passes(path, reg, SIZE_MAX, 0);
                ASSERT_FALSE(read.replayed);
                // one reader, and pass one split between two
                for (std::size_t ahead : {SIZE_MAX, std::size_t{0}}) {
                    const PassTwo log = both_passes(path, reg, ahead, std::size_t{1} << 24);
                    EXPECT_EQ(log.end, read.end);
                    EXPECT_EQ(log.seen, read.seen);
                    replayed += log.replayed;
                    ++cases;
                    const bool regular = twist == Twist::none || twist == Twist::odd_values ||
                                         twist == Twist::nan_and_signed_zero || twist == Twist::no_final_newline;
                    if (regular && reg == 4) {
                        EXPECT_TRUE(log.replayed);
                    }
                    // extents after the first polyline must be read again
                    if (twist == Twist::second_extmax && polylines > 1) {
                        EXPECT_FALSE(log.replayed);
                    }
                }
            }
        }
    }
    EXPECT_GT(replayed, 0);
    EXPECT_LT(replayed, cases);
}

TEST(VertexLog, LogPastItsBoundIsGivenUp) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(8);
    std::ofstream(path, std::ios::binary) << test::drawing(300, Twist::odd_values, rng);
    const PassTwo read = both_passes(path, 4, SIZE_MAX, 0);
    for (std::size_t bound : {std::size_t{0}, std::size_t{100}, std::size_t{5000}}) {
        const PassTwo small = both_passes(path, 4, 0, bound);
        EXPECT_FALSE(small.replayed);
        EXPECT_EQ(small.seen, read.seen);
    }
}

}  // namespace
}  // namespace zorvel

// The two passes, with and without their shortcuts: pass one split between
// two threads against one thread, pass two replayed from the log against
// reading the drawing again, both passes at once against the two. Every
// result is compared bit for bit.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "drawings.h"
#include "dialogue/dialogue.h"
#include "passes/passes.h"
#include "test_support.h"

namespace zorvel {
namespace {

using test::Twist;

std::string bits(double v) { return std::to_string(bits_of(v)); }

// Both passes over the drawing at path, as the run takes them: pass one read
// by two threads from `ahead` bytes on, its log bounded by log_bound; angle
// 17 between them. Everything they leave is written down.
struct PassesRead {
    bool split = false, usable_log = false;
    std::string seen;
    std::string state;  // of seen, what does not depend on the order of the reports
};

// What pass one leaves: the scanner's state and the tally.
std::string scan_state(const DrawingScan& d, const PassOne& one) {
    return "segm " + std::to_string(d.st.segm) + " range " + bits(one.tally.range.min_dyn) + " " +
           bits(one.tally.range.max_dyn) + " count " + std::to_string(one.tally.count.values().size()) + " texte " +
           d.st.texte.text + " val " + std::to_string(d.st.val) + " v " + bits(d.st.dval1) + " " + bits(d.st.dval2) +
           " " + bits(d.st.dval3) + " grid " + std::to_string(one.grid.nb_lig) + "x" + std::to_string(one.grid.nb_col) +
           "\n";
}

// What pass two leaves: the grid.
std::string grid_state(const PassTwo& two) {
    std::string s = "vertices " + std::to_string(two.vertices) + "\n";
    for (int i = 0; i < two.nb_lig; ++i)
        for (int j = 0; j < two.nb_col; ++j) s += bits(two.dtab.at(i, j)) + (j + 1 < two.nb_col ? "," : "\n");
    return s;
}

PassesRead both_passes(const std::string& path, int reg, std::size_t ahead, std::size_t log_bound) {
    PassesRead r;
    FileHandle f(std::fopen(path.c_str(), "r"));
    test::ScriptedConsole sc("");
    DialogueReport report(sc.con.out);
    DrawingScan d(f.get(), path, reg);
    auto one = pass_one(sc.con, report, d, PassOneOptions{2.5, ahead, log_bound, {}, {}});
    if (one) {
        r.state = scan_state(d, *one);
        r.seen = "width " + std::to_string(one->tally.count.width()) + "\n";
        r.split = one->split;
        r.usable_log = one->log.usable();
        d.rewind();
        auto two = pass_two(sc.con, report, d, PassTwoOptions{2.5, RotationChoice{17, 0}, one->tally.count.width(), 0, {}, {}, 0},
                            std::move(one->log));
        if (two) r.state += grid_state(*two);
    }
    r.seen += r.state + sc.output() + "|" + sc.errors();
    return r;
}

// Both passes at once over the drawing at path, as the command line reads
// one whose grid is laid out before its vertices (by two threads from `ahead`
// bytes on): the state and grid they leave; where they read again instead,
// nothing said, those the two passes then leave on the same drawing scan.
struct AsRead {
    bool retried = false, split = false;
    std::string state;
};
AsRead drawn_as_read(const std::string& path, std::size_t ahead) {
    AsRead r;
    FileHandle f(std::fopen(path.c_str(), "r"));
    test::ScriptedConsole sc("");
    Report quiet;
    DrawingScan d(f.get(), path, 4);
    const PassOneOptions one_o{2.5, ahead, std::size_t{1} << 24, {}, {}};
    const BothPasses both =
        draw_while_scanning(sc.con, quiet, d, one_o, PassTwoOptions{2.5, RotationChoice{17, 0}, 8, 0, {}, {}, 0});
    r.retried = both.outcome == BothPasses::Outcome::read_again;
    if (both.passes) {
        r.split = both.passes->first.split;
        r.state = scan_state(d, both.passes->first) + grid_state(both.passes->second);
    } else if (r.retried && sc.errors().empty()) {
        auto one = pass_one(sc.con, quiet, d, one_o);
        if (!one) return r;
        r.state = scan_state(d, *one);
        d.rewind();
        auto two = pass_two(sc.con, quiet, d, PassTwoOptions{2.5, RotationChoice{17, 0}, one->tally.count.width(), 0, {}, {}, 0},
                            std::move(one->log));
        if (two) r.state += grid_state(*two);
    }
    return r;
}

// The shortcuts against the plain way on drawings of every shape: pass one
// split between two threads, pass two replayed from the log, and both
// passes at once (split or not), which read again, with nothing said, where
// they cannot stand for the two (extents that move, more elevations than a
// byte codes).
TEST(Passes, ShortcutsGiveWhatThePlainWayGives) {
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(11);
    int split = 0, replayed = 0, cases = 0, retried = 0, split_as_read = 0;
    for (int t = 0; t < static_cast<int>(Twist::count); ++t) {
        const auto twist = static_cast<Twist>(t);
        for (int polylines : {1, 40, 300}) {
            for (int reg : {4, 0}) {
                SCOPED_TRACE(testing::Message() << "twist " << static_cast<int>(twist) << ", " << polylines
                                                << " polylines, skip " << reg);
                std::ofstream(path, std::ios::binary) << test::drawing(polylines, twist, rng);
                const PassesRead plain = both_passes(path, reg, SIZE_MAX, 0);
                const PassesRead fast = both_passes(path, reg, 0, std::size_t{1} << 24);
                EXPECT_FALSE(plain.split || plain.usable_log);
                EXPECT_EQ(fast.seen, plain.seen);
                split += fast.split;
                replayed += fast.usable_log;
                ++cases;
                // a regular drawing read with its own skip count takes both
                // shortcuts; extents in the second half take neither
                const bool regular = twist == Twist::none || twist == Twist::nan_and_signed_zero ||
                                     twist == Twist::no_final_newline || twist == Twist::full_precision;
                if (regular && reg == 4 && polylines >= 40) {
                    EXPECT_TRUE(fast.split && fast.usable_log);
                }
                if (twist == Twist::second_extmax && polylines >= 40) {
                    EXPECT_FALSE(fast.split || fast.usable_log);
                }
                if (reg != 4 || polylines < 40) continue;
                for (std::size_t ahead : {SIZE_MAX, std::size_t{0}}) {
                    const AsRead as_read = drawn_as_read(path, ahead);
                    EXPECT_EQ(as_read.state, plain.state) << "ahead " << ahead;
                    retried += as_read.retried;
                    split_as_read += as_read.split;
                    if (twist == Twist::second_extmax) {
                        EXPECT_TRUE(as_read.retried);
                    }
                    if (twist == Twist::none && polylines == 40) {
                        EXPECT_FALSE(as_read.retried);
                    }
                }
            }
        }
    }
    EXPECT_GT(split, 0);
    EXPECT_LT(replayed, cases);
    EXPECT_GT(retried, 0);
    EXPECT_GT(split_as_read, 0);
}

TEST(Passes, LogOfManyChunksReplaysAndALogPastItsBoundIsGivenUp) {
    // 24,000 vertices, read by two threads: a log longer than its first
    // chunk, or than its bound
    test::TempDir dir;
    const std::string path = dir.root() + "d.dxf";
    std::mt19937 rng(5);
    std::ofstream(path, std::ios::binary) << test::drawing(4000, Twist::full_precision, rng);
    const PassesRead plain = both_passes(path, 4, SIZE_MAX, 0);
    for (std::size_t bound : {std::size_t{100}, std::size_t{5000}, std::size_t{1} << 26}) {
        const PassesRead logged = both_passes(path, 4, 0, bound);
        EXPECT_EQ(logged.usable_log, bound > 5000) << bound;
        EXPECT_EQ(logged.seen, plain.seen) << bound;
    }
}

}  // namespace
}  // namespace zorvel

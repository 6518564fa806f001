#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "contour_pass.h"
#include "test_support.h"

namespace zorvel {
namespace {

// The grid of the typical run: extents 0..100 by 0..50, pixel 10, 5 rows, 10 columns.
struct Pass {
    test::ScriptedConsole sc{""};
    RunState rs;
    VertexStep vs;
    int flag = 0;
    explicit Pass(double angle = 0, int sentido = 0) {
        rs.ext.max_x = 100;
        rs.ext.max_y = 50;
        rs.pix_size = 10;
        rs.nb_lig = 5;
        rs.nb_col = 10;
        vs.angle = angle;
        vs.sentido = sentido;
        EXPECT_TRUE(grid_setup(sc.con, rs));
    }
    void polyline(const std::vector<std::vector<double>>& vertices) {
        flag = 0;
        for (const auto& v : vertices) vertex_step(rs, vs, flag, v[0], v[1], v[2]);
    }
    std::string picture(double alti) const { return test::picture(rs.dtab, 7, 12, alti); }
};

TEST(ContourPass, SetUpFillsAllButTheLastRowAndColumn) {
    Pass p;
    ASSERT_EQ(p.rs.dtab.nb_rows(), 7);
    ASSERT_EQ(p.rs.dtab.nb_cols(), 12);
    EXPECT_EQ(p.picture(kNoElevation),
              "###########.\n###########.\n###########.\n###########.\n###########.\n###########.\n............\n");
    EXPECT_EQ(p.picture(0.0),
              "...........#\n...........#\n...........#\n...........#\n...........#\n...........#\n############\n");
}

TEST(ContourPass, PolylineIsDrawnAtItsLaterVerticesElevations) {
    Pass p;
    p.polyline({{10, 40, 100}, {40, 10, 100}, {70, 10, 100}});
    EXPECT_EQ(p.picture(100.0),
              "............\n"
              ".#..........\n"
              "..#.........\n"
              "...#........\n"
              "....####....\n"
              "............\n"
              "............\n");
}

TEST(ContourPass, VerticesPlaceAndJoinAsThePolylineSays) {
    {
        // a single vertex draws nothing; two polylines are never joined
        Pass p;
        p.polyline({{10, 40, 100}});
        p.polyline({{30, 40, 100}, {50, 40, 100}});
        EXPECT_EQ(p.picture(100.0),
                  "............\n...###......\n............\n............\n............\n............\n"
                  "............\n");
    }
    {
        // the first vertex's elevation is never written; a shared vertex keeps the later segment's
        Pass p;
        p.polyline({{10, 40, 1}, {30, 40, 2}, {30, 20, 3}});
        EXPECT_EQ(p.rs.dtab.at(1, 1), 2.0);
        EXPECT_EQ(p.rs.dtab.at(1, 3), 3.0);
        EXPECT_EQ(p.rs.dtab.at(3, 3), 3.0);
        // not closed back to the first vertex
        EXPECT_EQ(p.rs.dtab.at(2, 2), kNoElevation);
    }
    {
        // two vertices in one cell: a zero-length segment at the later elevation
        Pass p;
        p.polyline({{20, 20, 5}, {21, 21, 6}});
        EXPECT_EQ(p.rs.dtab.at(3, 2), 6.0);
    }
    {
        // Y at min_y falls in row nb_lig, written but never classified
        Pass p;
        p.polyline({{0, 0, 7}, {20, 0, 7}});
        EXPECT_EQ(p.picture(7.0),
                  "............\n............\n............\n............\n............\n"
                  "###.........\n............\n");
    }
}

TEST(ContourPass, QuarterTurnMovesTheContourAboutTheCentre) {
    // a 10 x 10 grid with its centre at (5, 5)
    test::ScriptedConsole sc("");
    RunState rs;
    rs.ext.max_x = 100;
    rs.ext.max_y = 100;
    rs.pix_size = 10;
    rs.nb_lig = 10;
    rs.nb_col = 10;
    ASSERT_TRUE(grid_setup(sc.con, rs));
    for (int sentido : {0, 1}) {
        VertexStep vs;
        vs.angle = 90;
        vs.sentido = sentido;
        int flag = 0;
        // a horizontal run on row 2, columns 3..6
        vertex_step(rs, vs, flag, 30, 80, 10.0 + sentido);
        vertex_step(rs, vs, flag, 60, 80, 10.0 + sentido);
    }
    // left: the run goes to column 2 (rows 4..7); right: to column 8 (rows 3..6)
    EXPECT_EQ(test::picture(rs.dtab, 10, 10, 10.0),
              "..........\n..........\n..........\n..........\n..#.......\n..#.......\n..#.......\n..#.......\n"
              "..........\n..........\n");
    EXPECT_EQ(test::picture(rs.dtab, 10, 10, 11.0),
              "..........\n..........\n..........\n........#.\n........#.\n........#.\n........#.\n..........\n"
              "..........\n..........\n");
}

TEST(ContourPass, VerticesFarOutsideOrNotFiniteNeverWriteOutside) {
    Pass p(45, 0);
    p.polyline({{50, 25, 3}, {1e15, 1e15, 3}, {1e300, -1e300, 3}, {std::nan(""), 5, 3}, {30, 20, 3}});
    // the sanitizer build checks the writes; the part inside the grid is drawn
    EXPECT_EQ(p.rs.dtab.at(2, 5), 3.0);
}

TEST(ContourPass, DrawerOnASecondThreadDrawsWhatOneThreadDraws) {
    // enough vertices for many batches, some placed by the caller; the
    // polylines cross each other, so the order of drawing shows
    const auto run = [](int mode) {
        test::ScriptedConsole sc("");
        RunState rs;
        rs.ext.max_x = 300;
        rs.ext.max_y = 200;
        rs.pix_size = 1;
        rs.nb_lig = 200;
        rs.nb_col = 300;
        EXPECT_TRUE(grid_setup(sc.con, rs));
        VertexStep vs;
        vs.angle = 17;
        std::mt19937 rng(4);
        std::uniform_real_distribution<double> at(-20, 320);
        const auto vertices = [&](auto&& step) {
            for (int p = 0; p < 3000; ++p)
                for (int v = 0; v < 20; ++v) step(at(rng), at(rng) * 0.66, 100.0 + p % 300, v == 0);
        };
        if (mode == 0) {
            int flag = 0;
            vertices([&](double x, double y, double z, bool first) {
                if (first) flag = 0;
                EXPECT_TRUE(vertex_step(rs, vs, flag, x, y, z));
            });
        } else {
            ContourDrawer drawer(rs, vs);
            // the caller places every batch, or when the thread is behind
            if (mode >= 2) drawer.share_placing(mode == 2 ? 0 : ContourDrawer::kBehind);
            vertices([&](double x, double y, double z, bool first) { EXPECT_TRUE(drawer.vertex(x, y, z, first)); });
            drawer.drain();
        }
        std::string cells;
        for (int i = 0; i < 200; ++i)
            for (int j = 0; j < 300; ++j) cells += std::to_string(rs.dtab.at(i, j)) + ",";
        return cells;
    };
    const std::string one = run(0);
    EXPECT_EQ(run(1), one);
    EXPECT_EQ(run(2), one);
    EXPECT_EQ(run(3), one);
}

TEST(ContourPass, LargeGridsAreZeroFilledRowsOfTheirOwn) {
    // large enough to be kept in one mapping rather than a block per row
    for (int cols : {1100, 1101}) {
        auto g = Grid<double>::make(cols, 1000);
        auto c = Grid<unsigned char>::make(cols * 8, 1000);
        ASSERT_TRUE(g && c);
        for (int i = 0; i < 1000; i += 37) {
            for (int j = 0; j < cols; j += 13) EXPECT_EQ(g[i][j], 0.0);
            EXPECT_EQ(c[i][cols * 8 - 1], 0);
        }
        g[3][cols - 1] = 5.0;
        EXPECT_EQ(g[4][0], 0.0);
        EXPECT_EQ(g[3][cols - 1], 5.0);
        Grid<double> moved = std::move(g);
        EXPECT_FALSE(g);
        EXPECT_EQ(moved[3][cols - 1], 5.0);
    }
}

TEST(ContourPass, GridLargerThanTheMachineIsRefusedBeforeAllocation) {
    test::ScriptedConsole sc("");
    RunState rs;
    rs.nb_lig = 2000000000;
    rs.nb_col = 2000000000;
    EXPECT_FALSE(grid_setup(sc.con, rs));
    EXPECT_FALSE(rs.dtab);
    EXPECT_NE(sc.errors().find("necesita"), std::string::npos) << sc.errors();
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>


#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "passes/contour_drawer.h"
#include "geometry/contour_pass.h"
#include "geometry/rotation.h"
#include "base/numeric.h"
#include "test_support.h"

namespace zorvel {
namespace {

// The grid of the typical run: extents 0..100 by 0..50, pixel 10, 5 rows, 10 columns.
struct Pass {
    test::ScriptedConsole sc{""};
    GridFrame fr;
    ElevationGrid dtab;
    Cell deb{0, 0};
    explicit Pass(double angle = 0, int sentido = 0, int rows = 5, int cols = 10)
        : fr{rows, cols, 0, 0, 10, angle, sentido}, dtab(grid_setup(sc.con, rows, cols, 1, 0)) {}
    void polyline(const std::vector<std::vector<double>>& vertices) {
        bool first = true;
        for (const auto& v : vertices) {
            EXPECT_TRUE(draw_step(dtab, deb, first, vertex_cell(fr, v[0], v[1]), v[2]));
            first = false;
        }
    }
    std::string picture(double alti) const { return test::picture(dtab, fr.nb_lig + 2, fr.nb_col + 2, alti); }
};

TEST(ContourPass, VerticesPlaceAndJoinAsThePolylineSays) {
    Pass p;
    p.polyline({{10, 40, 100}, {40, 10, 100}, {70, 10, 100}});
    EXPECT_EQ(p.picture(100.0), "............\n.#..........\n..#.........\n...#........\n....####....\n............\n............\n");
    // a single vertex draws nothing; two polylines are never joined
    Pass q;
    q.polyline({{10, 40, 100}});
    q.polyline({{30, 40, 100}, {50, 40, 100}});
    EXPECT_EQ(q.picture(100.0), "............\n...###......\n............\n............\n............\n............\n............\n");
    // the first vertex's elevation is never written; a shared vertex keeps the
    // later segment's; a polyline is not closed; Y at min_y falls in row nb_lig
    Pass r;
    r.polyline({{10, 40, 1}, {30, 40, 2}, {30, 20, 3}});
    r.polyline({{0, 0, 7}, {20, 0, 7}});
    EXPECT_EQ(r.dtab.at(1, 1), 2.0);
    EXPECT_EQ(r.dtab.at(1, 3), 3.0);
    EXPECT_EQ(r.dtab.at(3, 3), 3.0);
    EXPECT_EQ(r.dtab.at(2, 2), kNoElevation);
    EXPECT_EQ(r.picture(7.0), "............\n............\n............\n............\n............\n###.........\n............\n");
}

// Cells are found from the position in doubles where it settles them:
// they must be those of grid_position, in extended precision, unturned and
// turned, on map coordinates and pixel sizes as surveys have them, and on
// every double within 8 ulps of a cell's edge, where the two positions
// round apart.
TEST(ContourPass, CellsFromDoublesAreThoseOfExtendedPrecision) {
    std::mt19937_64 rng(2026);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double pixels[] = {5.0, 0.3, 1.0 / 3.0, 2.5, 1e-3, 7.77, 25.0, 0.1, 0.7, 3.0, 0.35, 0.6};
    long long by_edge = 0;
    for (int k = 0; k < 40000; ++k) {
        const int rows = 1 + static_cast<int>(rng() % 9000), cols = 1 + static_cast<int>(rng() % 9000);
        const double pix = pixels[rng() % 12];
        // extents far from 0, or at it, where a map point's digits place it
        // finely enough to fall within the rounding of the doubles' product
        const bool far = k % 4 >= 2;
        const double min_x = far ? std::floor(unit(rng) * 1e6) : 0.0;
        const double min_y = far ? std::floor(unit(rng) * 5e6) + 0.25 * (k % 3) : 0.0;
        const bool turned = k % 2 == 1;
        const double angle = turned && k % 4 == 1 ? -360.0 + 720.0 * unit(rng) : 0.0;
        const GridFrame fr{rows, cols, min_x, min_y, pix, angle, static_cast<int>(rng() % 2), turned};
        // a position in or around the grid, mostly with a row or a column on
        // a cell's edge (one at a time: where either is not settled, both
        // cells come from extended precision), then the map point
        double i = (unit(rng) * 1.4 - 0.2) * rows, j = (unit(rng) * 1.4 - 0.2) * cols;
        const bool edge = k % 8 != 0;
        if (edge && k % 3 != 1) i = std::floor(i) + 0.5;
        if (edge && k % 3 != 2) j = std::floor(j) + 0.5;
        double x = min_x + j * pix, y = min_y + (rows - i) * pix;
        for (int step = 0; step < 8 && edge; ++step) {
            x = std::nextafter(x, -1e300);
            y = std::nextafter(y, -1e300);
        }
        for (int step = 0; step <= (edge ? 16 : 0); ++step) {
            const GridPoint at = grid_position(fr, x, y);
            Cell want{round_half_up_exact(at.i), round_half_up_exact(at.j)};
            if (turned) {
                const Turned polar = rotation(angle, fr.sentido, at.i, at.j, rows, cols);
                want = Cell{round_half_up_exact(polar.id2), round_half_up_exact(polar.jd2)};
            }
            by_edge += std::fabs(at.i - std::floor(at.i) - 0.5) < 1e-9;
            const Cell got = vertex_cell(fr, x, y);
            ASSERT_EQ(bits_of(got.i), bits_of(want.i)) << k << std::hexfloat << ": " << x << ", " << y << " pixel "
                                                       << pix << " from " << min_x << ", " << min_y << " turned " << angle;
            ASSERT_EQ(bits_of(got.j), bits_of(want.j)) << k << std::hexfloat << ": " << x << ", " << y << " pixel "
                                                       << pix << " from " << min_x << ", " << min_y << " turned " << angle;
            x = std::nextafter(x, 1e300);
            y = std::nextafter(y, 1e300);
        }
    }
    EXPECT_GT(by_edge, 200000);
}

TEST(ContourPass, DrawerOnASecondThreadDrawsWhatOneThreadDraws) {
    // enough vertices for many batches, some placed by the caller, one change
    // of frame; the polylines cross each other, so the order of drawing shows
    const auto run = [](int mode) {
        test::ScriptedConsole sc("");
        ElevationGrid dtab = grid_setup(sc.con, 200, 300, 2, 0);
        GridFrame fr{200, 300, 0, 0, 1, 17, 0};
        std::mt19937 rng(4);
        std::uniform_real_distribution<double> at(-20, 320);
        Cell deb{0, 0};
        std::optional<ContourDrawer> drawer;
        if (mode > 0) drawer.emplace(dtab, fr);
        if (mode >= 2) drawer->share_placing(mode == 2 ? 0 : ContourDrawer::kBehind);
        for (int p = 0; p < 3000; ++p) {
            if (p == 1500) {
                fr.min_x = 7.5;
                if (drawer) drawer->set_frame(fr);
            }
            for (int v = 0; v < 20; ++v) {
                const double x = at(rng), y = at(rng) * 0.66, z = 100.0 + p % 300;
                if (drawer)
                    EXPECT_TRUE(drawer->vertex(x, y, z, v == 0));
                else
                    EXPECT_TRUE(draw_step(dtab, deb, v == 0, vertex_cell(fr, x, y), z));
            }
        }
        drawer.reset();
        std::string cells;
        for (int i = 0; i < 200; ++i)
            for (int j = 0; j < 300; ++j) cells += std::to_string(dtab.at(i, j)) + ",";
        return cells;
    };
    const std::string one = run(0);
    EXPECT_EQ(run(1), one);
    EXPECT_EQ(run(2), one);
    EXPECT_EQ(run(3), one);
}

TEST(ContourPass, AnElevationTheCellsCannotHoldIsAFailureOnEitherThread) {
    // a grid of one-byte codes holds 254 elevations: the 255th is a drawing
    // that changed since pass one counted them
    for (const auto threads : {ContourDrawer::Threads::one, ContourDrawer::Threads::two}) {
        test::ScriptedConsole sc("");
        ElevationGrid dtab = grid_setup(sc.con, 20, 20, 1, 0);
        ContourDrawer drawer(dtab, GridFrame{20, 20, 0, 0, 1, 0, 0}, threads);
        bool ok = true;
        for (int z = 0; z < 255; ++z) ok = drawer.vertex(1, 1, z, false) && ok;
        EXPECT_TRUE(ok);
        drawer.drain();
        EXPECT_FALSE(drawer.failed());
        // on one thread the caller hears of it at once; on two, once the thread has drawn it
        const bool taken = drawer.vertex(2, 2, 300, false);
        if (threads == ContourDrawer::Threads::one) {
            EXPECT_FALSE(taken);
        }
        drawer.drain();
        EXPECT_TRUE(drawer.failed());
    }
}

}  // namespace
}  // namespace zorvel

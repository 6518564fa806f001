#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "grid_geometry.h"
#include "test_support.h"

namespace zorvel {
namespace {

Extents extents(double min_x, double min_y, double max_x, double max_y) {
    Extents e;
    e.min_x = min_x;
    e.min_y = min_y;
    e.max_x = max_x;
    e.max_y = max_y;
    return e;
}

TEST(GridGeometry, SizingRoundsHalvesUpInExtendedPrecision) {
    struct Case {
        const char* name;
        Extents ext;
        double pix;
        int nb_lig, nb_col;
    };
    const Case cases[] = {
        {"typical run", extents(0, 0, 100, 50), 10, 5, 10},
        {"99.5 pixels", extents(0, 0, 995, 10), 10, 1, 100},
        {"99.49 pixels", extents(0, 0, 994.9, 10), 10, 1, 99},
        {"half a pixel", extents(0, 0, 5, 10), 10, 1, 1},
        {"under half a pixel", extents(0, 0, 4.9, 10), 10, 1, 0},
        // 0.25 / 0.1 is 2.4999999999999998612 in extended, 2.5 in double
        {"extended quotient decides the half", extents(0, 0, 0.25, 0.25), 0.1, 2, 2},
        {"inverted extents", extents(100, 50, 0, 0), 10, -4, -9},
        {"offset extents", extents(500000.5, 4000000.25, 501000.5, 4000600.25), 2.5, 240, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto s = size_grid(c.ext, c.pix);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->nb_lig, c.nb_lig);
        EXPECT_EQ(s->nb_col, c.nb_col);
    }
    EXPECT_FALSE(size_grid(extents(0, 0, 1e300, 1), 1e-10));
}

TEST(GridGeometry, RotatedPixelSizeTable) {
    struct Case {
        double angle;
        double pix;
    };
    const Case cases[] = {{0, 10.0},        {30, 7.0710678},  {45, 7.6536686}, {60, 8.7632710},
                          {90, 10.0},       {-30, 15.8113883}, {-90, 22.3606798}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        EXPECT_NEAR(rotated_pixel_size(10, 10, c.angle), c.pix, 5e-8);
    }
    // digit for digit where the numbers are known
    EXPECT_EQ(rotated_pixel_size(10, 10, 30), 7.0710678118654755);
    EXPECT_EQ(rotated_pixel_size(10, 10, 0), 10.0);
    EXPECT_EQ(rotated_pixel_size(10, 10, 90), 10.0);
}

TEST(GridGeometry, SecondApproximationAfterThirtyDegrees) {
    test::ScriptedConsole sc("");
    RunState rs;
    rs.ext = extents(0, 0, 100, 50);
    rs.pix_size = 10;
    ASSERT_TRUE(grid_sizing(sc.con, rs, Approximation::first));
    rs.pix_size = rotated_pixel_size(rs.pix_size, rs.nb_col, 30);
    ASSERT_TRUE(grid_sizing(sc.con, rs, Approximation::second));
    EXPECT_EQ(rs.nb_lig, 7);
    EXPECT_EQ(rs.nb_col, 14);
    EXPECT_EQ(sc.output(),
              "\n\n Primera aproximacion : \n\n lineas = 5 columnas = 10 \n\n"
              "\n\n Segunda aproximacion : \n\n pix_size 7.071068 lineas = 7 columnas = 14 \n\n");
}

TEST(GridGeometry, GridWithoutCellsStopsTheRun) {
    for (const Extents& e : {extents(0, 0, 4, 50), extents(0, 0, 100, 0), extents(100, 50, 0, 0)}) {
        test::ScriptedConsole sc("");
        RunState rs;
        rs.ext = e;
        rs.pix_size = 10;
        EXPECT_FALSE(grid_sizing(sc.con, rs, Approximation::first));
        EXPECT_EQ(sc.errors().rfind("zorvel_raster: la cuadricula no tiene celdas", 0), 0u) << sc.errors();
    }
    test::ScriptedConsole sc("");
    RunState rs;
    rs.ext = extents(0, 0, 1e300, 1);
    rs.pix_size = 1;
    EXPECT_FALSE(grid_sizing(sc.con, rs, Approximation::second));
    EXPECT_NE(sc.errors().find("fuera de rango"), std::string::npos);
}

TEST(GridGeometry, RotationDialogueRefusesAndRepeats) {
    test::ScriptedConsole sc("abc 30 2 x 1");
    const auto turn = rotation_dialogue(sc.con);
    ASSERT_TRUE(turn);
    EXPECT_EQ(turn->angle, 30.0);
    EXPECT_EQ(turn->sentido, 1);
    const std::string sense = "\n rotacion: sentido :\n\t0 ====> izquierdo\n\t1 ====> derecho\n\t";
    EXPECT_EQ(sc.output(), "\n\n angulo de rotacion (decimal) ? \n respuesta no valida: se espera un numero "
                           "\n\n angulo de rotacion (decimal) ? " +
                               sense + sense + "\n respuesta no valida: se espera un numero " + sense);
    test::ScriptedConsole ended("45 7");
    EXPECT_FALSE(rotation_dialogue(ended.con));
    EXPECT_FALSE(ended.errors().empty());
}

}  // namespace
}  // namespace zorvel

#include <gtest/gtest.h>


#include "geometry/grid_geometry.h"
#include "test_support.h"

namespace zorvel {
namespace {

Extents extents(double min_x, double min_y, double max_x, double max_y) {
    return Extents{.min_x = min_x, .min_y = min_y, .max_x = max_x, .max_y = max_y};
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

}  // namespace
}  // namespace zorvel

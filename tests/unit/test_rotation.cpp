#include <gtest/gtest.h>

#include <cmath>

#include "base/numeric.h"
#include "geometry/rotation.h"

namespace zorvel {
namespace {

TEST(Rotation, TwentyByTwentyTable) {
    struct Case {
        double i, j, angle;
        int sens;
        double id2, jd2;
        int ci, cj;  // the cell the vertex step takes
    };
    const Case cases[] = {
        {10, 4, 90, 0, 16.0, 10.0, 16, 10},
        {10, 4, 90, 1, 4.0, 10.0, 4, 10},
        {4, 13, 30, 0, 3.3038476, 9.5980762, 3, 10},
        {4, 13, 30, 1, 6.3038476, 15.5980762, 6, 16},
        {14, 13, 90, 0, 7.0, 14.0, 7, 14},
        {14, 13, 90, 1, 13.0, 6.0, 13, 6},
        {0, 0, 45, 0, 10.0, -4.1421356, 10, -3},
        {0, 0, 45, 1, -4.1421356, 10.0, -3, 10},
        // the polar angle is corrected once, not reduced
        {10, 4, 360, 0, 10, 4, 10, 4},
        {10, 4, 450, 0, 16, 10, 16, 10},
        {10, 4, -90, 0, 4, 10, 4, 10},
        {10, 4, 720, 0, 10, 4, 10, 4},
        {17.75, 19.25, 0, 1, 17.75, 19.25, 18, 19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.i << "," << c.j << ") " << c.angle << " sens " << c.sens);
        const Turned t = rotation(c.angle, c.sens, c.i, c.j, 20, 20);
        EXPECT_NEAR(t.id2, c.id2, 5e-8);
        EXPECT_NEAR(t.jd2, c.jd2, 5e-8);
        EXPECT_EQ(round_half_up(t.id2), c.ci);
        EXPECT_EQ(round_half_up(t.jd2), c.cj);
    }
}

TEST(Rotation, FarPointsAndTheCentre) {
    // 1e300 squared overflows; the turned point is still finite and on its ray
    const Turned t = rotation(90, 0, 10 - 1e300, 10 + 1e300, 20, 20);
    EXPECT_NEAR(t.id2 / 1e300, -1.0, 1e-12);
    EXPECT_NEAR(t.jd2 / 1e300, -1.0, 1e-12);
    // 10 rows by 16 columns: the centre is (5, 8), where a polar angle does
    // not exist, and a point next to it turns about (5, 8), not (4.5, 7.5)
    const Turned c = rotation(30, 0, 5.0, 8.0, 10, 16);
    EXPECT_EQ(c.id2, 5.0);
    EXPECT_EQ(c.jd2, 8.0);
    const Turned n = rotation(90, 0, 5.0, 9.0, 10, 16);
    EXPECT_NEAR(n.id2, 4.0, 1e-12);
    EXPECT_NEAR(n.jd2, 8.0, 1e-12);
    // a point on the centre's row, to its right, has the polar angle 0, not a
    // whole turn: not turned, it stays exactly where it was, in both senses
    for (int sens : {0, 1}) {
        const Turned r = rotation(0, sens, 5.0, 12.0, 10, 16);
        EXPECT_EQ(r.id2, 5.0) << sens;
        EXPECT_EQ(r.jd2, 12.0) << sens;
    }
}

}  // namespace
}  // namespace zorvel

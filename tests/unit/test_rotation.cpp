#include <gtest/gtest.h>

#include <cmath>

#include "numeric.h"
#include "rotation.h"

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

TEST(Rotation, PolarAngleIsCorrectedOnceNotReduced) {
    struct Case {
        const char* name;
        double angle;
        int sens;
        double id2, jd2;
    };
    // the point (10, 4) of a 20 x 20 grid
    const Case cases[] = {
        {"360 left comes back", 360, 0, 10, 4},
        {"450 left as 90 left", 450, 0, 16, 10},
        {"-90 left as 90 right", -90, 0, 4, 10},
        {"0 right", 0, 1, 10, 4},
        {"720 left: one correction leaves 540", 720, 0, 10, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Turned t = rotation(c.angle, c.sens, 10, 4, 20, 20);
        EXPECT_NEAR(t.id2, c.id2, 1e-12);
        EXPECT_NEAR(t.jd2, c.jd2, 1e-12);
    }
}

TEST(Rotation, AngleZeroReturnsThePointUpToRounding) {
    for (double i : {0.0, 1.25, 3.0, 17.75}) {
        for (double j : {0.5, 9.0, 19.5}) {
            const Turned t = rotation(0, 0, i, j, 20, 20);
            EXPECT_NEAR(t.id2, i, 1e-13);
            EXPECT_NEAR(t.jd2, j, 1e-13);
        }
    }
}

TEST(Rotation, CornerLeavesTheGridInEitherSense) {
    const Turned left = rotation(45, 0, 0, 0, 20, 20);
    EXPECT_NEAR(left.jd2, -4.1421356, 5e-8);
    const Turned right = rotation(45, 1, 0, 0, 20, 20);
    EXPECT_NEAR(right.id2, -4.1421356, 5e-8);
    EXPECT_NEAR(right.jd2, 10.0, 1e-12);
}

TEST(Rotation, PointsFarOutsideTurnWithoutOverflow) {
    // 1e300 squared overflows; the turned point is still finite and on its ray
    const Turned t = rotation(90, 0, 10 - 1e300, 10 + 1e300, 20, 20);
    EXPECT_TRUE(std::isfinite(t.id2) && std::isfinite(t.jd2));
    EXPECT_NEAR(t.id2 / 1e300, -1.0, 1e-12);
    EXPECT_NEAR(t.jd2 / 1e300, -1.0, 1e-12);
}

TEST(Rotation, CentreIsHalfTheCountsAndStaysPut) {
    // 10 rows by 16 columns: the centre is (5, 8), where a polar angle does not exist
    const Turned t = rotation(30, 0, 5.0, 8.0, 10, 16);
    EXPECT_EQ(t.id2, 5.0);
    EXPECT_EQ(t.jd2, 8.0);
    // a point next to it still turns about (5, 8), not about (4.5, 7.5)
    const Turned n = rotation(90, 0, 5.0, 9.0, 10, 16);
    EXPECT_NEAR(n.id2, 4.0, 1e-12);
    EXPECT_NEAR(n.jd2, 8.0, 1e-12);
}

}  // namespace
}  // namespace zorvel

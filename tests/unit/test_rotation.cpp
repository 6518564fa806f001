#include <gtest/gtest.h>


#include "base/numeric.h"
#include "geometry/rotation.h"

namespace zorvel {
namespace {

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

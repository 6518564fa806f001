// The numeric rules, each against its definition.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "base/numeric.h"
#include "reading/answers.h"

namespace zorvel {
namespace {

TEST(Numeric, TruncationAndRoundingStayInTheIntRange) {
    EXPECT_EQ(trunc_toward_zero(-10.5L), -10);
    EXPECT_EQ(trunc_toward_zero(102.7L), 102);
    EXPECT_EQ(trunc_toward_zero(2147483647.9L), INT_MAX);
    EXPECT_EQ(trunc_toward_zero(-2147483648.9L), INT_MIN);
    EXPECT_FALSE(trunc_toward_zero(2147483648.0L));
    EXPECT_FALSE(trunc_toward_zero(-2147483649.0L));
    EXPECT_FALSE(trunc_toward_zero(std::numeric_limits<long double>::quiet_NaN()));
    EXPECT_EQ(round_half_up(2.5L), 3);
    EXPECT_EQ(round_half_up(-2.5L), -2);  // -2.0 truncated
    EXPECT_EQ(round_half_up(0.4999999L), 0);
    EXPECT_FALSE(round_half_up(2147483647.5L));
    // whole elevations: truncation, and no int for what leaves the range
    EXPECT_EQ(whole_elevation(-10.5), -10);
    EXPECT_EQ(whole_elevation(-999.0), -999);
    EXPECT_EQ(whole_elevation(2147483647.99), INT_MAX);
    EXPECT_EQ(whole_elevation(-2147483648.99), INT_MIN);
    EXPECT_EQ(whole_elevation(2147483648.0), kNoWholeElevation);
    EXPECT_EQ(whole_elevation(-2147483649.0), kNoWholeElevation);
    EXPECT_EQ(whole_elevation(std::nan("")), kNoWholeElevation);
    EXPECT_EQ(whole_elevation(-std::numeric_limits<double>::infinity()), kNoWholeElevation);
}

TEST(Numeric, AnswersAreWholeNumbersInTheirRange) {
    EXPECT_EQ(whole_int("2147483647"), INT_MAX);
    EXPECT_EQ(whole_int("-2147483648"), INT_MIN);
    for (const char* word : {"2147483648", "-2147483649", "99999999999", "99999999999999999999"}) {
        const char* why = nullptr;
        EXPECT_FALSE(whole_int(word, &why)) << word;
        EXPECT_STREQ(why, "\n respuesta no valida: numero fuera de rango ") << word;
    }
    const char* why = nullptr;
    EXPECT_FALSE(whole_int("10.5", &why));
    EXPECT_STREQ(why, "\n respuesta no valida: se espera un numero entero ");
    EXPECT_FALSE(whole_double("10,5", &why));
    EXPECT_STREQ(why, "\n respuesta no valida: escriba los decimales con punto (10.5, no 10,5) ");
    EXPECT_EQ(whole_double("-1e3"), -1000.0);
}

TEST(Numeric, RoundHalfUpExactAgreesWithExtendedPrecision) {
    // x + 0.5 truncated: the double two-sum gives what the x87 unit gives
    std::mt19937_64 rng(11);
    for (int k = 0; k < 200000; ++k) {
        const double n = std::floor(std::uniform_real_distribution<double>(-1e6, 1e6)(rng));
        // the doubles on either side of the halves, where plain double rounding goes wrong
        const double x = std::nextafter(n + 0.5, k % 2 ? 1e9 : -1e9) - (k % 3 == 0 ? 1.0 : 0.0);
        const double want = static_cast<double>(std::trunc(static_cast<long double>(x) + 0.5L));
        ASSERT_EQ(round_half_up_exact(x), want) << std::hexfloat << x;
    }
    EXPECT_EQ(round_half_up_exact(2.4999999999999996), 2.0);  // 3.0 in plain double
    EXPECT_EQ(round_half_up_exact(std::nextafter(0.5, 0.0)), 0.0);
    EXPECT_EQ(round_half_up_exact(std::nextafter(-0.5, -1.0)), 0.0);
    EXPECT_EQ(round_half_up_exact(-1.2), 0.0);
    EXPECT_EQ(round_half_up_exact(-1.7), -1.0);
    EXPECT_EQ(round_half_up_exact(4503599627370497.0), 4503599627370497.0);
    EXPECT_EQ(round_half_up_exact(-4503599627370497.0), -4503599627370496.0);
    EXPECT_TRUE(std::isnan(round_half_up_exact(std::nan(""))));
}

}  // namespace
}  // namespace zorvel

// The program's numeric rules, one helper each.
//
// Floating expressions are evaluated in extended precision (long double, the
// 64-bit significand of the x87 format) and rounded to double only where
// they are stored. Every conversion to an integer truncates toward zero; the
// nearest whole number is taken by adding 0.5 first. Conversions that could
// leave the int range (NaN, infinities, huge values) are checked, never
// undefined.
#ifndef ZORVEL_NUMERIC_H
#define ZORVEL_NUMERIC_H

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>

namespace zorvel {

// Truncation toward zero when the result fits an int; nullopt otherwise.
inline std::optional<int> trunc_toward_zero(long double x) {
    // NaN fails both comparisons
    if (!(x > static_cast<long double>(INT_MIN) - 1.0L && x < static_cast<long double>(INT_MAX) + 1.0L))
        return std::nullopt;
    return static_cast<int>(x);
}

// Add 0.5, then truncate toward zero; nullopt when the result leaves the int range.
inline std::optional<int> round_half_up(long double x) { return trunc_toward_zero(x + 0.5L); }

// Add 0.5, then truncate toward zero, for a double: the same whole number as
// in extended precision (where the sum of a double and 0.5 is exact), but
// without the x87 unit. The sum is split into its rounded value and the
// rounding error (two-sum), and the error decides when the rounded sum is a
// whole number that the exact sum does not reach. The result is a whole
// number held in a double; NaN and infinities pass through.
inline double round_half_up_exact(double x) {
    constexpr double kWhole = 4503599627370496.0;  // 2^52: from here on every double is whole
    if (!(std::fabs(x) < kWhole)) return x > 0 ? x : x + 1.0;  // NaN goes through the sum
    const double s = x + 0.5;
    const double back = s - x;
    const double err = (x - (s - back)) + (0.5 - back);
    double t = static_cast<double>(static_cast<long long>(s));
    if (t == s) {
        if (s > 0 && err < 0) t -= 1.0;
        if (s < 0 && err > 0) t += 1.0;
    }
    return t;
}

// The bits of a double: doubles compared as what they hold, -0.0 and NaNs apart.
inline std::uint64_t bits_of(double v) { return std::bit_cast<std::uint64_t>(v); }

// A whole elevation that no int equals: the value of cells whose elevation
// is NaN, infinite or beyond the int range.
constexpr std::int64_t kNoWholeElevation = INT64_MIN;

// The whole elevation of a grid value: truncation toward zero, or kNoWholeElevation.
inline std::int64_t whole_elevation(double v) {
    // both bounds are exact in double, so no extended arithmetic is needed here
    if (!(v > -2147483649.0 && v < 2147483648.0)) return kNoWholeElevation;
    return static_cast<int>(v);
}

}  // namespace zorvel

#endif

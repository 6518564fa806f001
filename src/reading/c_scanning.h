// The C library's rules for scanning words and numbers ("%s", "%d", "%lf"
// in the "C" locale): what is blank, the plain shapes that a fast path can
// convert at once, and the C library's own way for every other shape,
// quirks included.
#ifndef ZORVEL_C_SCANNING_H
#define ZORVEL_C_SCANNING_H

#include <array>
#include <limits>
#include <bit>
#include <cstring>
#include <cstddef>
#include <cstdint>

namespace zorvel {

// Whether c is white space to the C library's formatted input in the "C"
// locale, which the program never leaves.
constexpr bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Plain decimals of up to this many digits after the point, whose integer of
// digits is at most 2^53, are converted by one division (see decimal_value).
constexpr int kExactFracMax = 22;
constexpr std::uint64_t kExactDigitsMax = std::uint64_t{1} << 53;

// The value of the plain decimal m / 10^frac (m <= 2^53, frac <= 22), with
// its sign: both m and 10^frac are exact doubles, so one division gives the
// correctly rounded value, the one the C library's conversion gives.
inline double decimal_value(std::uint64_t m, int frac, bool neg);

namespace detail {

// Character classes: the blanks, and the NUL that follows the buffered data.
constexpr unsigned char kBlank = 1;
constexpr unsigned char kStop = 2;

constexpr std::array<unsigned char, 256> make_classes() {
    std::array<unsigned char, 256> c{};
    for (int k = 0; k < 256; ++k) c[static_cast<std::size_t>(k)] = is_blank(static_cast<unsigned char>(k)) ? kBlank : 0;
    c[0] = kStop;
    return c;
}
inline constexpr std::array<unsigned char, 256> kClasses = make_classes();

inline constexpr double kPow10[kExactFracMax + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline const unsigned char* skip_blanks(const unsigned char* p) {
    while (kClasses[*p] == kBlank) ++p;
    return p;
}

// An optional sign: neg tells whether it was a minus.
inline const unsigned char* take_sign(const unsigned char* p, bool& neg) {
    neg = *p == '-';
    return (*p == '-' || *p == '+') ? p + 1 : p;
}

// A run of digits, appended to acc (modulo 2^64: callers check the count).
inline const unsigned char* take_digits(const unsigned char* p, std::uint64_t& acc) {
    while (static_cast<unsigned>(*p - '0') < 10) acc = acc * 10 + static_cast<unsigned>(*p++ - '0');
    return p;
}

// A plain number [+-]digits of 1 to 18 digits from w on, the shape of group
// codes; p is where it stops. The C library converts it to long and stores
// it in an int, keeping the low 32 bits: "99999999999" reads as 1215752191.
inline bool plain_int(const unsigned char* w, const unsigned char*& p, int& v) {
    bool neg = false;
    const unsigned char* digits = take_sign(w, neg);
    std::uint64_t n = 0;
    p = take_digits(digits, n);
    const auto count = p - digits;
    if (count == 0 || count > 18) return false;
    v = static_cast<int>(neg ? -static_cast<long long>(n) : static_cast<long long>(n));
    return true;
}

// The same, eight digits at a time while eight follow, then one by one: p
// may be read up to 7 bytes past the run's end, which the reader's padded
// buffer allows. For the long runs after a decimal point.
inline const unsigned char* take_many_digits(const unsigned char* p, std::uint64_t& acc) {
    // the bytes in the order of the text: the low one first
    if constexpr (std::endian::native != std::endian::little) return take_digits(p, acc);
    constexpr std::uint64_t ones = 0x0101010101010101;
    for (;;) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        // each byte less '0': 0 to 9 for a digit; any other byte sets its top bit here
        const std::uint64_t d = x ^ (ones * '0');
        const std::uint64_t other = (((d & (ones * 0x7f)) + ones * (0x80 - 10)) | d) & (ones * 0x80);
        if (other != 0) return take_digits(p, acc);
        // pairs, then fours, then the eight digits
        std::uint64_t v = d * 10 + (d >> 8);
        v = (((v & 0x000000FF000000FF) * 0x000F424000000064) +
             (((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >> 32;
        acc = acc * 100000000 + v;
        p += 8;
    }
}

// The correctly rounded double of m / 10^frac for m beyond 2^53 (at most
// 19 digits, frac <= 22), where one division may round twice: the quotient
// of the doubles, or the double next to it, when exact integer arithmetic
// shows the value strictly within half a unit of its last place. False
// where it cannot say (a tie, a power of two, magnitudes out of its range,
// no 128-bit integers): the caller converts the long way.
inline bool checked_quotient(std::uint64_t m, int frac, double& v) {
#if defined(__SIZEOF_INT128__)
    using u128 = unsigned __int128;
    static constexpr auto kPow10Wide = [] {
        std::array<u128, kExactFracMax + 1> t{};
        u128 p = 1;
        for (auto& e : t) {
            e = p;
            p *= 10;
        }
        return t;
    }();
    const u128 p10 = kPow10Wide[static_cast<std::size_t>(frac)];
    double c = 0.0;
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        // m held exactly and the quotient rounded once, to 64 bits: the
        // double of that is the right one but where it lands on a half
        // (the quotient of doubles rounds twice, and missed four times in ten)
        static constexpr auto kPow10Long = [] {
            std::array<long double, kExactFracMax + 1> t{};
            long double p = 1;
            for (auto& e : t) {
                e = p;
                p *= 10;
            }
            return t;
        }();
        c = static_cast<double>(static_cast<long double>(m) / kPow10Long[static_cast<std::size_t>(frac)]);
    } else {
        c = static_cast<double>(m) / kPow10[frac];
    }
    for (int tries = 0; tries < 2; ++tries) {
        const auto bits = std::bit_cast<std::uint64_t>(c);
        const auto e = static_cast<int>(bits >> 52);  // c is positive
        const std::uint64_t mant = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        // c = mant * 2^-shift
        const int shift = 1075 - e;
        if (mant == std::uint64_t{1} << 52 || shift < 0 || shift > 62) return false;
        // m / 10^frac against c -+ half a unit, (2 mant -+ 1) * 2^-(shift + 1), all times 10^frac 2^(shift + 1)
        const u128 value = static_cast<u128>(m) << (shift + 1);
        const u128 below = static_cast<u128>(2 * mant - 1) * p10;
        const u128 above = below + 2 * p10;
        if (below < value && value < above) {
            v = c;
            return true;
        }
        if (value == below || value == above) return false;  // a tie: rounding to even
        c = std::bit_cast<double>(value < below ? bits - 1 : bits + 1);
    }
#else
    (void)m;
    (void)frac;
    (void)v;
#endif
    return false;
}

// The shapes of a number word the fast path knows.
enum class Decimal {
    exact,       // [+-]digits[.digits], at most 19 digits, integer of digits at most 2^53
    long_form,   // the same shape with more digits (see long_decimal)
    other,
};

// A plain decimal from w on; p is where it stops. An exact one is converted
// into v.
inline Decimal plain_double(const unsigned char* w, const unsigned char*& p, double& v) {
    bool neg = false;
    const unsigned char* whole = take_sign(w, neg);
    std::uint64_t m = 0;
    p = take_digits(whole, m);
    const auto whole_digits = p - whole;
    long frac = 0;
    if (*p == '.') {
        const unsigned char* f = p + 1;
        p = take_many_digits(f, m);
        frac = p - f;
    }
    const long digits = whole_digits + frac;
    if (digits == 0) return Decimal::other;
    if (digits > 19 || frac > kExactFracMax) return Decimal::long_form;
    if (m > kExactDigitsMax) {
        if (!checked_quotient(m, static_cast<int>(frac), v)) return Decimal::long_form;
        if (neg) v = -v;
        return Decimal::exact;
    }
    v = decimal_value(m, static_cast<int>(frac), neg);
    return Decimal::exact;
}

// A plain decimal of any length, w to end, converted to the correctly
// rounded double (as the C library converts it); false where its value
// leaves the range of doubles.
bool long_decimal(const unsigned char* w, const unsigned char* end, double& v);

}  // namespace detail

// A whole word [+-]digits[.digits][(e|E)[+-]digits] of len characters,
// converted as the C library converts it; false for any other word, and
// where the value leaves the range of doubles.
bool decimal_word(const char* w, std::size_t len, double& v);

// What the C library's "%d" or "%lf" did with the characters it was handed
// (a word and the blank after it, as a stream that ends there): whether it
// gave a value, how many characters it took, and whether it ran into the end.
struct CScan {
    bool ok;
    std::size_t consumed;
    bool hit_end;
};
// "%d" on text[0..n), quirks included.
CScan c_scan_int(const char* text, std::size_t n, int& v);
// "%lf" on text[0..n), quirks included.
CScan c_scan_double(const char* text, std::size_t n, double& v);

// 10^frac, exact, for frac <= kExactFracMax.
inline double exact_pow10(int frac) { return detail::kPow10[frac]; }

inline double decimal_value(std::uint64_t m, int frac, bool neg) {
    const double q = static_cast<double>(m) / detail::kPow10[frac];
    return neg ? -q : q;
}

}  // namespace zorvel

#endif

#include "reading/c_scanning.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace zorvel {

namespace {

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }
constexpr bool is_xdigit(int c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr int lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

}  // namespace

bool detail::long_decimal(const unsigned char* w, const unsigned char* end, double& v) {
    const bool neg = *w == '-';
    if (*w == '-' || *w == '+') ++w;
    double got = 0.0;
    const auto* first = reinterpret_cast<const char*>(w);
    const auto* last = reinterpret_cast<const char*>(end);
    const auto r = std::from_chars(first, last, got, std::chars_format::fixed);
    if (r.ec != std::errc{} || r.ptr != last) return false;
    // the magnitude is rounded alike either way, so the sign can come after
    v = neg ? -got : got;
    return true;
}

// A whole word [+-]digits[.digits][(e|E)[+-]digits] with a digit before the
// exponent: the C library's conversion takes all of it, and from_chars gives
// the same correctly rounded double, at a fraction of the cost and without
// the C library's stream machinery. False for any other word, and where
// from_chars cannot say (a value beyond the range of doubles).
bool decimal_word(const char* w, std::size_t len, double& v) {
    const char* p = w;
    const char* end = w + len;
    const bool neg = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* mantissa = p;
    std::size_t digits = 0;
    for (; p < end && is_digit(*p); ++p) ++digits;
    if (p < end && *p == '.')
        for (++p; p < end && is_digit(*p); ++p) ++digits;
    if (digits == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char* exponent = p;
        while (p < end && is_digit(*p)) ++p;
        if (p == exponent) return false;
    }
    if (p != end) return false;
    double got = 0.0;
    const auto r = std::from_chars(mantissa, end, got, std::chars_format::general);
    if (r.ec != std::errc{} || r.ptr != end) return false;
    // the magnitude is rounded alike either way, so the sign can come after
    v = neg ? -got : got;
    return true;
}

namespace {

// The stream a conversion reads: the characters handed over, then the end.
struct Input {
    const char* s;
    std::size_t n;
    std::size_t pos = 0;
    bool hit_end = false;  // a read ran into the end: the stream's indicator
    int get() {
        if (pos < n) return static_cast<unsigned char>(s[pos++]);
        hit_end = true;
        return EOF;
    }
    void unget(int c) {
        if (c != EOF) --pos;
    }
};

// The rest of a word, each character read and taken only while it matches.
bool rest_of(Input& in, std::string& taken, const char* rest) {
    for (; *rest != '\0'; ++rest) {
        const int c = in.get();
        if (c == EOF || lower(c) != *rest) return false;
        taken.push_back(static_cast<char>(c));
    }
    return true;
}

// "nan", "inf" or "infinity", from its first letter c: false where the word
// breaks off ("in" is taken and fails; "infx" takes "inf" and gives back "x").
bool take_special(Input& in, int c, std::string& taken) {
    taken.push_back(static_cast<char>(c));
    if (lower(c) == 'n') return rest_of(in, taken, "an");
    if (!rest_of(in, taken, "nf")) return false;
    c = in.get();
    if (lower(c) != 'i') {
        in.unget(c);
        return true;
    }
    taken.push_back(static_cast<char>(c));
    return rest_of(in, taken, "nity");
}

// A number's digits, point and exponent, from its first character c, as
// "%lf" takes them (hexadecimal after "0x"); false where it takes no digit
// after the sign (prefix: 1 after one).
bool take_digits(Input& in, int c, std::string& taken, std::size_t prefix) {
    bool hexa = false, got_digit = false, got_dot = false, got_e = false;
    char exp_char = 'e';
    if (c == '0') {
        taken.push_back('0');
        c = in.get();
        if (lower(c) == 'x') {
            taken.push_back(static_cast<char>(c));
            hexa = true;
            exp_char = 'p';
            c = in.get();
        } else {
            got_digit = true;
        }
    }
    for (;;) {
        if (is_digit(c) || (hexa && !got_e && is_xdigit(c))) {
            taken.push_back(static_cast<char>(c));
            got_digit = true;
        } else if (got_e && taken.back() == exp_char && (c == '-' || c == '+')) {
            taken.push_back(static_cast<char>(c));
        } else if (got_digit && !got_e && lower(c) == exp_char) {
            taken.push_back(exp_char);
            got_e = got_dot = true;
        } else if (c == '.' && !got_dot) {
            taken.push_back('.');
            got_dot = true;
        } else {
            in.unget(c);
            break;
        }
        c = in.get();
        if (c == EOF) break;
    }
    return !(taken.size() == prefix || (hexa && taken.size() == prefix + 2));
}

}  // namespace

// "%d": an optional sign and the digits after it, converted by strtol and
// stored in an int (its low 32 bits). What was read before a failure stays
// read: "-abc" fails after taking the "-".
CScan c_scan_int(const char* text, std::size_t n, int& v) {
    Input in{text, n};
    std::string taken;
    int c = in.get();
    if (c == '-' || c == '+') {
        taken.push_back(static_cast<char>(c));
        c = in.get();
    }
    while (is_digit(c)) {
        taken.push_back(static_cast<char>(c));
        c = in.get();
    }
    in.unget(c);
    if (taken.empty() || taken == "-" || taken == "+") return CScan{false, in.pos, in.hit_end};
    v = static_cast<int>(std::strtol(taken.c_str(), nullptr, 10));
    return CScan{true, in.pos, in.hit_end};
}

// "%lf": a sign, then "nan", "inf" or "infinity" (a character that breaks
// the match is taken and the conversion fails: "NIVEL" takes "NI"), or a
// decimal or hexadecimal number whose characters are taken as long as they
// can still belong to one ("100ergs" takes "100e" and gives 100); what was
// taken goes to strtod.
CScan c_scan_double(const char* text, std::size_t n, double& v) {
    Input in{text, n};
    std::string taken;
    const auto failed = [&] { return CScan{false, in.pos, in.hit_end}; };
    int c = in.get();
    const bool got_sign = c == '-' || c == '+';
    if (got_sign) {
        taken.push_back(static_cast<char>(c));
        c = in.get();
        if (c == EOF) return failed();
    }
    const bool whole = lower(c) == 'n' || lower(c) == 'i' ? take_special(in, c, taken)
                                                          : take_digits(in, c, taken, got_sign ? 1 : 0);
    if (!whole) return failed();
    char* end = nullptr;
    const double d = std::strtod(taken.c_str(), &end);
    if (end == taken.c_str()) return failed();
    v = d;
    return CScan{true, in.pos, in.hit_end};
}

}  // namespace zorvel

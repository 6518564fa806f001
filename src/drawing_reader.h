// Formatted reading of the drawing: "%s", "%d" and "%lf" as the C library's
// formatted input does them on a stream, quirks included, through a bounded
// buffer of our own.
#ifndef ZORVEL_DRAWING_READER_H
#define ZORVEL_DRAWING_READER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

namespace zorvel {

constexpr int kTokenMax = 79;                      // texte: 79 chars + NUL
constexpr std::size_t kReadChunk = std::size_t{1} << 20;  // bytes asked of the file at a time
constexpr std::size_t kWordMax = std::size_t{1} << 20;    // longest word held whole for a conversion

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
        p = take_digits(f, m);
        frac = p - f;
    }
    const long digits = whole_digits + frac;
    if (digits == 0) return Decimal::other;
    if (digits > 19 || frac > kExactFracMax || m > kExactDigitsMax) return Decimal::long_form;
    v = decimal_value(m, static_cast<int>(frac), neg);
    return Decimal::exact;
}

// A plain decimal of any length, w to end, converted to the correctly
// rounded double (as the C library converts it); false where its value
// leaves the range of doubles.
bool long_decimal(const unsigned char* w, const unsigned char* end, double& v);

}  // namespace detail

// 10^frac, exact, for frac <= kExactFracMax.
inline double exact_pow10(int frac) { return detail::kPow10[frac]; }

inline double decimal_value(std::uint64_t m, int frac, bool neg) {
    const double q = static_cast<double>(m) / detail::kPow10[frac];
    return neg ? -q : q;
}

// The current token: the first kTokenMax characters of a word, NUL-terminated.
struct Token {
    char text[kTokenMax + 1] = {};
};

class DrawingReader {
public:
    // Reads f from its current position; chunk is the buffer size (small in tests).
    explicit DrawingReader(std::FILE* f, std::size_t chunk = kReadChunk);

    // %s: skips white space and takes the next word; a word longer than
    // kTokenMax characters is consumed whole and stored cut. False when no
    // word is left (t unchanged).
    bool read_word(Token& t);
    // %d: false when no number could be read (v unchanged); what a failed
    // conversion has read stays consumed, as with the C library. A number
    // that runs on past kWordMax characters is a read error.
    bool read_int(int& v);
    // %lf, with the same rules as read_int.
    bool read_double(double& v);

    // The end-of-file indicator: set only by a read that runs into the end.
    bool eof() const { return eof_flag_; }
    // A read error, or a number too long to convert; see error_text().
    bool error() const { return !error_text_.empty(); }
    const std::string& error_text() const { return error_text_; }
    // Back to the start of the file, indicators cleared.
    void rewind();
    // To the file offset `offset`, indicators cleared, as if the reading
    // began there; false when the file cannot be positioned.
    bool seek(std::size_t offset);
    // Reads that returned false since the reader was made.
    std::size_t failed_reads() const { return failed_reads_; }
    // Characters consumed since the start of the file.
    std::size_t consumed() const { return base_ + pos_; }

private:
    bool failed() {
        ++failed_reads_;
        return false;
    }
    bool read_word_slow(Token& t);
    template <typename T>
    bool read_number_slow(T& v);
    enum class Span { word, none, too_long };
    bool fill();
    bool skip_space();
    Span word_span(std::size_t& len, bool& ends_at_eof);
    template <typename T, typename Scan>
    bool convert_slow(Scan scan, T& v, std::size_t len, bool ends_at_eof, bool complete);

    static constexpr std::size_t kPad = 16;  // bytes behind the sentinel, for fixed-size copies

    std::FILE* f_;
    std::size_t cap_;  // bytes the buffer holds
    // the buffered data, followed by a NUL (the scanning loops stop there
    // without a bound check) and kPad more bytes
    std::vector<char> buf_;
    std::size_t base_ = 0;  // file offset of buf_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool source_done_ = false;
    bool eof_flag_ = false;
    std::size_t failed_reads_ = 0;
    std::string error_text_;
};

// The fast paths take, in one sweep, a word that ends at a blank inside the
// buffer and has the common shape; they live here so that the scanner's loop
// keeps its position in registers. Anything else (the end of the buffered
// data, a NUL in the drawing, another shape) goes the long way from where the
// word starts. buf_[end_] is a NUL, so every loop stops there.

inline bool DrawingReader::read_word(Token& t) {
    const auto* b = reinterpret_cast<const unsigned char*>(buf_.data());
    const unsigned char* p = detail::skip_blanks(b + pos_);
    const unsigned char* w = p;
    while (detail::kClasses[*p] == 0) ++p;
    const auto fast_len = static_cast<std::size_t>(p - w);
    if (detail::kClasses[*p] == detail::kBlank && fast_len <= static_cast<std::size_t>(kTokenMax)) {
        if (fast_len < kPad) {
            // a fixed-size copy: the buffer is padded behind its data
            std::memcpy(t.text, w, kPad);
        } else {
            std::memcpy(t.text, w, fast_len);
        }
        t.text[fast_len] = '\0';
        pos_ = static_cast<std::size_t>(p - b);
        return true;
    }
    return read_word_slow(t) || failed();
}

inline bool DrawingReader::read_int(int& v) {
    const auto* b = reinterpret_cast<const unsigned char*>(buf_.data());
    const unsigned char* p = nullptr;
    int got = 0;
    if (detail::plain_int(detail::skip_blanks(b + pos_), p, got) && detail::kClasses[*p] == detail::kBlank) {
        v = got;
        pos_ = static_cast<std::size_t>(p - b);
        return true;
    }
    return read_number_slow(v) || failed();
}

inline bool DrawingReader::read_double(double& v) {
    const auto* b = reinterpret_cast<const unsigned char*>(buf_.data());
    const unsigned char* w = detail::skip_blanks(b + pos_);
    const unsigned char* p = nullptr;
    double got = 0.0;
    const detail::Decimal shape = detail::plain_double(w, p, got);
    if (shape != detail::Decimal::other && detail::kClasses[*p] == detail::kBlank &&
        (shape == detail::Decimal::exact || detail::long_decimal(w, p, got))) {
        v = got;
        pos_ = static_cast<std::size_t>(p - b);
        return true;
    }
    return read_number_slow(v) || failed();
}

}  // namespace zorvel

#endif

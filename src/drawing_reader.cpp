#include "drawing_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

namespace {

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

// What a conversion did: whether it gave a value, how many characters it
// took, and whether it ran into the end of what it was given.
struct CScan {
    bool ok;
    std::size_t consumed;
    bool hit_end;
};

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
    // the rest of a word, each character read and taken only while it matches
    const auto rest_of = [&](const char* rest) {
        for (; *rest != '\0'; ++rest) {
            c = in.get();
            if (c == EOF || lower(c) != *rest) return false;
            taken.push_back(static_cast<char>(c));
        }
        return true;
    };
    if (lower(c) == 'n') {
        taken.push_back(static_cast<char>(c));
        if (!rest_of("an")) return failed();
    } else if (lower(c) == 'i') {
        taken.push_back(static_cast<char>(c));
        if (!rest_of("nf")) return failed();
        c = in.get();
        if (lower(c) == 'i') {
            taken.push_back(static_cast<char>(c));
            if (!rest_of("nity")) return failed();
        } else {
            in.unget(c);
        }
    } else {
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
        const std::size_t prefix = got_sign ? 1 : 0;
        if (taken.size() == prefix || (hexa && taken.size() == prefix + 2)) return failed();
    }
    char* end = nullptr;
    const double d = std::strtod(taken.c_str(), &end);
    if (end == taken.c_str()) return failed();
    v = d;
    return CScan{true, in.pos, in.hit_end};
}

}  // namespace

namespace {

// The buffer for a file of this many bytes: no larger than the file needs
// (a small drawing costs no megabyte), never under 2.
std::size_t buffer_for(std::FILE* f, std::size_t chunk) {
    std::size_t cap = chunk < 2 ? 2 : chunk;
#ifndef _WIN32
    struct stat st {};
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
        static_cast<std::size_t>(st.st_size) < cap - 1)
        cap = std::max<std::size_t>(2, static_cast<std::size_t>(st.st_size) + 1);
#endif
    return cap;
}

}  // namespace

DrawingReader::DrawingReader(std::FILE* f, std::size_t chunk)
    : f_(f), cap_(buffer_for(f, chunk)), buf_(cap_ + 1 + kPad) {
    buf_[0] = '\0';
}

void DrawingReader::rewind() {
    std::rewind(f_);  // also clears the stream's own indicators
    base_ = pos_ = end_ = 0;
    buf_[0] = '\0';
    source_done_ = false;
    eof_flag_ = false;
    error_text_.clear();
}

bool DrawingReader::seek(std::size_t offset) {
    if (offset > static_cast<std::size_t>(INT64_MAX)) return false;
#ifdef _WIN32
    if (_fseeki64(f_, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
#else
    if (fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
    base_ = offset;
    pos_ = end_ = 0;
    buf_[0] = '\0';
    source_done_ = false;
    eof_flag_ = false;
    error_text_.clear();
    return true;
}

// Reads more of the file behind what is buffered; false when nothing came.
bool DrawingReader::fill() {
    if (source_done_) return false;
    if (pos_ > 0) {
        base_ += pos_;
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == cap_) return false;
    errno = 0;
    const std::size_t got = std::fread(buf_.data() + end_, 1, cap_ - end_, f_);
    end_ += got;
    buf_[end_] = '\0';
    if (got == 0) {
        source_done_ = true;
        if (std::ferror(f_)) {
            error_text_ = errno != 0 ? std::strerror(errno) : "error de lectura";
            return false;
        }
    }
    return got > 0;
}

// White space before a conversion; running into the end sets the indicator.
bool DrawingReader::skip_space() {
    for (;;) {
        while (pos_ < end_ && is_blank(static_cast<unsigned char>(buf_[pos_]))) ++pos_;
        if (pos_ < end_) return true;
        if (!fill()) {
            if (!error()) eof_flag_ = true;
            return false;
        }
    }
}

// The word at pos_, whole in the buffer: len characters, followed by white
// space or by the end of the file. too_long when it does not fit the buffer.
DrawingReader::Span DrawingReader::word_span(std::size_t& len, bool& ends_at_eof) {
    if (!skip_space()) return Span::none;
    std::size_t j = pos_;
    for (;;) {
        while (j < end_ && !is_blank(static_cast<unsigned char>(buf_[j]))) ++j;
        if (j < end_) {
            len = j - pos_;
            ends_at_eof = false;
            return Span::word;
        }
        const std::size_t scanned = j - pos_;
        if (pos_ == 0 && end_ == cap_) {
            // the word fills the buffer: make room for it, up to a bound
            if (cap_ >= kWordMax) {
                len = scanned;
                return Span::too_long;
            }
            cap_ = std::min(cap_ * 2, kWordMax);
            buf_.resize(cap_ + 1 + kPad);
        }
        if (!fill()) {
            if (error()) return Span::none;
            len = end_ - pos_;
            ends_at_eof = true;
            return Span::word;
        }
        j = pos_ + scanned;
    }
}

// The long ways: words at the end of the buffered data, and every shape the
// fast paths of the header leave to them.

bool DrawingReader::read_word_slow(Token& t) {
    std::size_t len = 0;
    bool ends_at_eof = false;
    const Span span = word_span(len, ends_at_eof);
    if (span == Span::none) return false;
    const std::size_t kept = len < static_cast<std::size_t>(kTokenMax) ? len : kTokenMax;
    std::memcpy(t.text, buf_.data() + pos_, kept);
    t.text[kept] = '\0';
    if (span == Span::word) {
        pos_ += len;
        if (ends_at_eof) eof_flag_ = true;
        return true;
    }
    // a word longer than the buffer: the rest of it is consumed, never a token
    pos_ = end_;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            if (!error()) eof_flag_ = true;
            return true;
        }
        while (pos_ < end_ && !is_blank(static_cast<unsigned char>(buf_[pos_]))) ++pos_;
        if (pos_ < end_) return true;
    }
}

// Any other shape is converted as the C library's formatted input converts
// it, quirks included: the characters it takes, those it gives back, and the
// conversion of what it took (strtol or strtod). The word and the blank
// after it are handed over as a stream that ends there.
template <typename T, typename Scan>
bool DrawingReader::convert_slow(Scan scan, T& v, std::size_t len, bool ends_at_eof, bool complete) {
    const bool blank_follows = complete && !ends_at_eof;
    const CScan got = scan(buf_.data() + pos_, len + (blank_follows ? 1 : 0), v);
    if (!complete && got.consumed >= len) {
        error_text_ = "palabra demasiado larga donde se espera un numero";
        return false;
    }
    if (ends_at_eof && got.hit_end) eof_flag_ = true;
    pos_ += got.consumed;
    return got.ok;
}

// The long way for a number: a word whole in the buffer in the common shape
// is taken at once, any other goes to the C library's way of scanning.
template <typename T>
bool DrawingReader::read_number_slow(T& v) {
    std::size_t len = 0;
    bool ends_at_eof = false;
    const Span span = word_span(len, ends_at_eof);
    if (span == Span::none) return false;
    const char* w = buf_.data() + pos_;
    T got{};
    bool whole = false;
    if constexpr (std::is_same_v<T, int>) {
        const auto* u = reinterpret_cast<const unsigned char*>(w);
        const unsigned char* p = nullptr;
        whole = detail::plain_int(u, p, got) && p == u + len;
    } else {
        whole = decimal_word(w, len, got);
    }
    if (span == Span::word && whole) {
        v = got;
        pos_ += len;
        if (ends_at_eof) eof_flag_ = true;
        return true;
    }
    if constexpr (std::is_same_v<T, int>)
        return convert_slow(c_scan_int, v, len, ends_at_eof, span == Span::word);
    else
        return convert_slow(c_scan_double, v, len, ends_at_eof, span == Span::word);
}

template bool DrawingReader::read_number_slow(int&);
template bool DrawingReader::read_number_slow(double&);

}  // namespace zorvel

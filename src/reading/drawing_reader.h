// Formatted reading of the drawing: "%s", "%d" and "%lf" as the C library's
// formatted input does them on a stream, quirks included, through a bounded
// buffer of our own.
#ifndef ZORVEL_DRAWING_READER_H
#define ZORVEL_DRAWING_READER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "reading/c_scanning.h"

namespace zorvel {

constexpr int kTokenMax = 79;                      // texte: 79 chars + NUL
constexpr std::size_t kReadChunk = std::size_t{1} << 20;  // bytes asked of the file at a time
constexpr std::size_t kWordMax = std::size_t{1} << 20;    // longest word held whole for a conversion

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
    // A vertex record after its keyword, in one sweep: `skip` words (the
    // last one into t), then %d, %lf, %d, %lf, %d, %lf and %d into codes
    // and values, exactly as those reads one after the other would take
    // them. Only where every word has the common shape and ends at a blank
    // inside the buffered data; otherwise false, having read nothing.
    bool vertex_record(int skip, Token& t, int (&codes)[4], double (&values)[3]);

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

inline bool DrawingReader::vertex_record(int skip, Token& t, int (&codes)[4], double (&values)[3]) {
    const auto* b = reinterpret_cast<const unsigned char*>(buf_.data());
    const unsigned char* p = b + pos_;
    const unsigned char* last = nullptr;
    std::size_t last_len = 0;
    for (int k = 0; k < skip; ++k) {
        last = detail::skip_blanks(p);
        p = last;
        while (detail::kClasses[*p] == 0) ++p;
        if (detail::kClasses[*p] != detail::kBlank) return false;
        last_len = static_cast<std::size_t>(p - last);
    }
    if (last_len > static_cast<std::size_t>(kTokenMax)) return false;
    int got_codes[4];
    double got_values[3];
    for (int k = 0;; ++k) {
        const unsigned char* q = nullptr;
        if (!detail::plain_int(detail::skip_blanks(p), q, got_codes[k]) || detail::kClasses[*q] != detail::kBlank)
            return false;
        p = q;
        if (k == 3) break;
        const unsigned char* w = detail::skip_blanks(p);
        const detail::Decimal shape = detail::plain_double(w, q, got_values[k]);
        if (shape == detail::Decimal::other || detail::kClasses[*q] != detail::kBlank ||
            (shape == detail::Decimal::long_form && !detail::long_decimal(w, q, got_values[k])))
            return false;
        p = q;
    }
    if (last != nullptr) {
        if (last_len < kPad)
            std::memcpy(t.text, last, kPad);  // a fixed-size copy, as in read_word
        else
            std::memcpy(t.text, last, last_len);
        t.text[last_len] = '\0';
    }
    std::memcpy(codes, got_codes, sizeof codes);
    std::memcpy(values, got_values, sizeof values);
    pos_ = static_cast<std::size_t>(p - b);
    return true;
}

}  // namespace zorvel

#endif

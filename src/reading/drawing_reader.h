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
    ~DrawingReader();
    DrawingReader(const DrawingReader&) = delete;
    DrawingReader& operator=(const DrawingReader&) = delete;

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

    // The words between a vertex record and the next keyword VERTEX, read
    // as the scanner's loop reads them and that keyword taken into t, in one
    // sweep: only where the bytes are those of a gap the reader has learned
    // (see learn_gap) and the loop's top before the keyword, returned in top,
    // comes before stop_at; otherwise false, having read nothing.
    bool vertex_gap(std::size_t stop_at, Token& t, std::size_t& top);
    // The bytes from offset `from` to the keyword VERTEX just read, the loop
    // having been at its top at offset `top` before it, with no word between
    // that is a keyword and no failed read: a gap for vertex_gap.
    void learn_gap(std::size_t from, std::size_t top);
    // Whether a gap is to be learned: none is, or the one learned has not
    // fitted for a while.
    bool gap_wanted() const { return gap_.len == 0 || gap_.misses > GapShape::kMissesBeforeRelearning; }
    // Vertex records and gaps read so far by their learned shapes.
    std::size_t shaped_reads() const { return shaped_reads_; }

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
    // Reading a mapped drawing, lets go of the pages well behind the
    // reading, every few megabytes: the system keeps them, but they are
    // no longer the process's memory. Cheap to call at every word.
    void release_behind() {
        if (pos_ >= release_at_) let_go_behind();
    }

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
    // Maps the whole drawing, when it is a regular file and the process's
    // address space is not bounded: read where it lies, without a copy.
    bool map_whole();
    void unmap();
    void let_go_behind();
    bool skip_space();
    Span word_span(std::size_t& len, bool& ends_at_eof);
    template <typename T, typename Scan>
    bool convert_slow(Scan scan, T& v, std::size_t len, bool ends_at_eof, bool complete);

    static constexpr std::size_t kPad = 16;  // bytes behind the sentinel, for fixed-size copies

    // Whether the n bytes at p are those at f; p may be read up to kPad bytes
    // past them (the buffer is padded, the shapes too).
    static bool same_bytes(const unsigned char* p, const unsigned char* f, std::size_t n);
    // The word of len <= kTokenMax characters at w into t.
    static void take_word(Token& t, const unsigned char* w, std::size_t len) {
        if (len < kPad)
            std::memcpy(t.text, w, kPad);  // a fixed-size copy: the buffer is padded behind its data
        else
            std::memcpy(t.text, w, len);
        t.text[len] = '\0';
    }

    // The vertex records of most drawings differ only in a few words (the
    // handle, the coordinates): the rest, blanks included, is the same byte
    // for byte. Learned from two records read word by word, such a shape
    // reads the next ones by comparing the bytes that stay and reading only
    // the words that change, with the very result of the reads word by word.
    struct RecordShape {
        static constexpr std::size_t kBytes = 256;
        enum Hole : unsigned char { end, word, last_word, x, y, z };
        // bytes that stay, then a word that changes; the last piece's bytes
        // end with the blank after the record, looked at and not taken
        struct Piece {
            std::uint16_t at, len;
            Hole hole;
        };
        unsigned char fixed[kBytes + kPad] = {};
        Piece pieces[2 * 64 + 8] = {};
        int count = 0;  // 0 until learned
        int skip = 0;
        int codes[4] = {};
        bool last_fixed = false;  // the last skipped word stays: it is `last`
        Token last;
        // records in a row read word by word; past this many, the shape is
        // learned anew from the next two
        static constexpr unsigned kMissesBeforeRelearning = 64;
        unsigned misses = 0;
        bool learning = true;
        // the elevation read last and its word: the vertices of a contour
        // line share it, and the same word converts to the same value
        unsigned char z_word[kPad] = {};
        std::size_t z_len = 0;  // 0: none kept
        double z_value = 0.0;
        // the record read word by word before: its bytes and its words
        std::vector<unsigned char> before;
        std::vector<std::uint16_t> before_words;  // start and end of each
    };
    struct GapShape {
        static constexpr std::size_t kBytes = 64;
        unsigned char bytes[kBytes + kPad] = {};
        std::size_t len = 0;  // the keyword's blank after it included; 0 until learned
        std::size_t top = 0;  // the loop's top before the keyword, from the start
        static constexpr unsigned kMissesBeforeRelearning = 64;
        unsigned misses = 0;  // gaps in a row that were not this one
        Token keyword;
    };
    bool shaped_record(Token& t, int (&codes)[4], double (&values)[3]);
    void learn_record(const unsigned char* from, const unsigned char* to, int skip, const int (&codes)[4]);
    static bool shape_of_two(RecordShape& next, const std::vector<unsigned char>& bytes,
                             const std::vector<std::uint16_t>& words, const RecordShape& r, std::size_t skipped);

    std::FILE* f_;
    std::size_t cap_;  // bytes the buffer holds
    // the buffered data, followed by a NUL (the scanning loops stop there
    // without a bound check) and kPad more bytes
    std::vector<char> buf_;
    // the data read through: buf_, or the whole drawing mapped, followed by
    // zeros (see map_whole)
    const char* data_ = nullptr;
    void* map_ = nullptr;
    std::size_t map_bytes_ = 0;
    std::size_t release_at_ = SIZE_MAX;  // mapped: where release_behind lets go next
    std::size_t released_ = 0;           // the pages before it are let go
    std::size_t base_ = 0;  // file offset of buf_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool source_done_ = false;
    bool eof_flag_ = false;
    std::size_t failed_reads_ = 0;
    std::string error_text_;
    RecordShape shape_;
    GapShape gap_;
    std::size_t shaped_reads_ = 0;
};

inline bool DrawingReader::same_bytes(const unsigned char* p, const unsigned char* f, std::size_t n) {
    // the mask keeps the first n of 16 bytes
    static constexpr unsigned char keep[2 * kPad] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                                     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    for (;; p += kPad, f += kPad, n -= kPad) {
        std::uint64_t a[2], b[2], m[2];
        std::memcpy(a, p, kPad);
        std::memcpy(b, f, kPad);
        std::memcpy(m, keep + kPad - (n < kPad ? n : kPad), kPad);
        if ((((a[0] ^ b[0]) & m[0]) | ((a[1] ^ b[1]) & m[1])) != 0) return false;
        if (n <= kPad) return true;
    }
}

// The fast paths take, in one sweep, a word that ends at a blank inside the
// buffer and has the common shape; they live here so that the scanner's loop
// keeps its position in registers. Anything else (the end of the buffered
// data, a NUL in the drawing, another shape) goes the long way from where the
// word starts. data_[end_] is a NUL, so every loop stops there.

inline bool DrawingReader::read_word(Token& t) {
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
    const unsigned char* p = detail::skip_blanks(b + pos_);
    const unsigned char* w = p;
    while (detail::kClasses[*p] == 0) ++p;
    const auto fast_len = static_cast<std::size_t>(p - w);
    if (detail::kClasses[*p] == detail::kBlank && fast_len <= static_cast<std::size_t>(kTokenMax)) {
        take_word(t, w, fast_len);
        pos_ = static_cast<std::size_t>(p - b);
        return true;
    }
    return read_word_slow(t) || failed();
}

inline bool DrawingReader::read_int(int& v) {
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
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
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
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

inline bool DrawingReader::shaped_record(Token& t, int (&codes)[4], double (&values)[3]) {
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
    const unsigned char* p = b + pos_;
    const unsigned char* last = nullptr;
    std::size_t last_len = 0;
    double got_values[3];
    for (int k = 0;; ++k) {
        const RecordShape::Piece& piece = shape_.pieces[k];
        // the sentinel is no byte of a shape: the comparison stops there
        if (!same_bytes(p, shape_.fixed + piece.at, piece.len)) return false;
        p += piece.len;
        const unsigned char* q = p;
        switch (piece.hole) {
            case RecordShape::end:
                --p;  // the blank after the record
                shape_.misses = 0;
                ++shaped_reads_;
                if (last != nullptr)
                    take_word(t, last, last_len);
                else if (shape_.last_fixed)
                    t = shape_.last;
                std::memcpy(codes, shape_.codes, sizeof codes);
                std::memcpy(values, got_values, sizeof values);
                pos_ = static_cast<std::size_t>(p - b);
                return true;
            case RecordShape::word:
            case RecordShape::last_word:
                while (detail::kClasses[*q] == 0) ++q;
                if (q == p || detail::kClasses[*q] != detail::kBlank) return false;
                if (piece.hole == RecordShape::last_word) {
                    last = p;
                    last_len = static_cast<std::size_t>(q - p);
                    if (last_len > static_cast<std::size_t>(kTokenMax)) return false;
                }
                break;
            default: {
                double& v = got_values[piece.hole - RecordShape::x];
                if (piece.hole == RecordShape::z && shape_.z_len > 0 &&
                    detail::kClasses[p[shape_.z_len]] == detail::kBlank && same_bytes(p, shape_.z_word, shape_.z_len)) {
                    v = shape_.z_value;
                    p += shape_.z_len;
                    continue;
                }
                const detail::Decimal shape = detail::plain_double(p, q, v);
                if (shape == detail::Decimal::other || detail::kClasses[*q] != detail::kBlank ||
                    (shape == detail::Decimal::long_form && !detail::long_decimal(p, q, v)))
                    return false;
                if (piece.hole == RecordShape::z) {
                    const auto len = static_cast<std::size_t>(q - p);
                    shape_.z_len = len < kPad ? len : 0;
                    std::memcpy(shape_.z_word, p, kPad);  // the buffer is padded behind its data
                    shape_.z_value = v;
                }
                break;
            }
        }
        p = q;
    }
}

inline bool DrawingReader::vertex_record(int skip, Token& t, int (&codes)[4], double (&values)[3]) {
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
    if (shape_.count > 0 && shape_.skip == skip) {
        if (shaped_record(t, codes, values)) return true;
    }
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
    if (last != nullptr) take_word(t, last, last_len);
    std::memcpy(codes, got_codes, sizeof codes);
    std::memcpy(values, got_values, sizeof values);
    if (shape_.learning || ++shape_.misses > RecordShape::kMissesBeforeRelearning)
        learn_record(b + pos_, p, skip, got_codes);
    pos_ = static_cast<std::size_t>(p - b);
    return true;
}

inline bool DrawingReader::vertex_gap(std::size_t stop_at, Token& t, std::size_t& top) {
    const auto* b = reinterpret_cast<const unsigned char*>(data_);
    if (gap_.len == 0) return false;
    if (!same_bytes(b + pos_, gap_.bytes, gap_.len)) {
        ++gap_.misses;
        return false;
    }
    gap_.misses = 0;
    const std::size_t at = consumed() + gap_.top;
    if (at >= stop_at) return false;
    top = at;
    t = gap_.keyword;
    pos_ += gap_.len - 1;  // the blank after the keyword stays
    ++shaped_reads_;
    return true;
}

}  // namespace zorvel

#endif

// Formatted reading of the drawing: "%s", "%d" and "%lf" as the C library's
// formatted input does them on a stream, quirks included, through a bounded
// buffer of our own.
#ifndef ZORVEL_DRAWING_READER_H
#define ZORVEL_DRAWING_READER_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

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
    // %s with the word thrown away.
    bool skip_word();
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
    // Characters consumed since the start of the file.
    std::size_t consumed() const { return base_ + pos_; }

private:
    enum class Span { word, none, too_long };
    bool fill();
    bool skip_space();
    Span word_span(std::size_t& len, bool& ends_at_eof);
    template <typename T>
    bool convert_slow(const char* format, T& v, std::size_t len, bool ends_at_eof, bool complete);

    std::FILE* f_;
    std::vector<char> buf_;
    std::size_t base_ = 0;  // file offset of buf_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool source_done_ = false;
    bool eof_flag_ = false;
    std::string error_text_;
};

}  // namespace zorvel

#endif

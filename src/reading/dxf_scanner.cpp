#include "reading/dxf_scanner.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace zorvel {

namespace {

enum class Keyword { none, extmin, extmax, polyline, vertex };

// Whether the token is the word w: its characters and the NUL after them.
// The token's array is longer than any keyword, so the comparison has a fixed
// size and is a couple of loads.
template <std::size_t N>
bool is_word(const Token& t, const char (&w)[N]) {
    static_assert(N <= sizeof t.text);
    return std::memcmp(t.text, w, N) == 0;
}

// Whole-word, case-sensitive comparison: "polyline" or "VERTEX2" is no
// keyword. A token holding a NUL compares as the part before it; a word is
// one keyword at most, so the order of the comparisons does not matter.
Keyword keyword_of(const Token& t) {
    switch (t.text[0]) {
        case '$':
            if (is_word(t, "$EXTMIN")) return Keyword::extmin;
            if (is_word(t, "$EXTMAX")) return Keyword::extmax;
            return Keyword::none;
        case 'P':
            return is_word(t, "POLYLINE") ? Keyword::polyline : Keyword::none;
        case 'V':
            return is_word(t, "VERTEX") ? Keyword::vertex : Keyword::none;
        default:
            return Keyword::none;
    }
}

// Codes 10, 20 and 30 with their values, in any order, until another code.
// A code that cannot be read ends the loop: without this, a failed read would
// leave val at 10, 20 or 30 and the loop would never end.
bool group_loop(DrawingReader& rd, ScanState& st, double& x, double& y, double& z, ContourSink* max_y_sink,
                const Extents& ext) {
    if (!rd.read_int(st.val)) return true;
    for (;;) {
        double* target = st.val == 10 ? &x : st.val == 20 ? &y : st.val == 30 ? &z : nullptr;
        if (target == nullptr) return true;  // that code is consumed, never a keyword
        const int code = st.val;
        // a value that does not convert keeps the previous one
        (void)rd.read_double(*target);
        const bool next_code = rd.read_int(st.val);
        if (code == 20 && max_y_sink != nullptr && !max_y_sink->max_y_read(ext)) return false;
        if (!next_code) return true;
    }
}

}  // namespace

int fitting_skip_count(DrawingReader& rd, std::size_t at) {
    Token t;
    if (!rd.seek(at) || !rd.read_word(t) || std::strcmp(t.text, "VERTEX") != 0) return -1;
    for (int k = 0; k < kSkipLookAhead && rd.read_word(t); ++k)
        if (std::strcmp(t.text, "10") == 0) return k;
    return -1;
}

int first_fitting_skip_count(DrawingReader& rd) {
    Token t;
    bool after_zero = false;
    while (rd.read_word(t)) {
        if (after_zero && std::strcmp(t.text, "VERTEX") == 0) {
            // a record without a 10 gives way to the next one
            for (int k = 0; k < kSkipLookAhead && rd.read_word(t); ++k) {
                if (std::strcmp(t.text, "10") == 0) return k;
                if (std::strcmp(t.text, "VERTEX") == 0) k = -1;
            }
        }
        after_zero = std::strcmp(t.text, "0") == 0;
    }
    return -1;
}

bool old_style_dxf(const std::string& path, std::FILE* f, bool skip_count_given) {
    if (f == nullptr) return false;
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dxf") return false;
    if (skip_count_given) return true;
    DrawingReader rd(f);
    const bool found = first_fitting_skip_count(rd) >= 0;
    std::rewind(f);
    return found;
}

namespace {

// A vertex record read word by word, where it is not of the common shape:
// the skipped words pass through texte and are not examined; past the end
// of the drawing a read changes nothing. X, Y and the elevation are taken
// by position, whatever the codes say; a failed read keeps the previous
// vertex's value. False on a read error.
bool vertex_by_words(DrawingReader& rd, ScanState& st, std::size_t top) {
    for (int k = 0; k < st.reg && !rd.eof() && !rd.error(); ++k) (void)rd.read_word(st.texte);
    bool fits = rd.read_int(st.val) && st.val == 10;
    (void)rd.read_double(st.dval1);
    fits = rd.read_int(st.val) && st.val == 20 && fits;
    (void)rd.read_double(st.dval2);
    fits = rd.read_int(st.val) && st.val == 30 && fits;
    (void)rd.read_double(st.dval3);
    (void)rd.read_int(st.val);
    if (st.vertices++ == 0) st.first_vertex = top;
    st.misplaced += fits ? 0 : 1;
    return !rd.error();
}

// The extents of $EXTMIN, or of $EXTMAX (max), told to the sink; false when
// the pass stops there.
bool read_extents(DrawingReader& rd, ScanState& st, Extents& ext, ContourSink& sink, bool max) {
    const bool go_on = max ? group_loop(rd, st, ext.max_x, ext.max_y, ext.max_alt, &sink, ext)
                           : group_loop(rd, st, ext.min_x, ext.min_y, ext.min_alt, nullptr, ext);
    return go_on && sink.extents_read(ext);
}

// A POLYLINE at offset top: counted, reported, recorded and told.
void polyline_read(ScanState& st, ContourSink& sink, Report& report, ScanRecorder* recorder, std::size_t top) {
    ++st.segm;
    report.polyline(st.segm);
    if (recorder != nullptr) recorder->polyline(top);
    sink.polyline();
}

}  // namespace

PassEnd scan_pass(DrawingReader& rd, ScanState& st, Extents& ext, ContourSink& sink, Report& report,
                  ScanRecorder* recorder) {
    st.segm = 0;
    st.vertices = 0;
    st.misplaced = 0;
    st.first_vertex = SIZE_MAX;
    return scan_until(rd, st, ext, sink, report, SIZE_MAX, recorder);
}

PassEnd scan_until(DrawingReader& rd, ScanState& st, Extents& ext, ContourSink& sink, Report& report,
                   std::size_t stop_at, ScanRecorder* recorder) {
    double xyz[3];
    // after a vertex record: where it ended and the failed reads until then,
    // for the reader to learn the words up to the next record
    std::size_t gap_from = SIZE_MAX;
    std::size_t gap_failed = 0;
    while (!rd.eof()) {
        std::size_t top = rd.consumed();
        if (top >= stop_at) return PassEnd::paused;
        rd.release_behind();
        const std::size_t failed_top = rd.failed_reads();
        Keyword k = Keyword::vertex;
        // the words up to the next record, when they are those of the last
        // gap, in one sweep
        if (gap_from != top || !rd.vertex_gap(stop_at, st.texte, top)) {
            // A read that finds no word leaves texte as it was, and the
            // iteration goes on with the last token: a drawing ending in a
            // line end has its last token examined twice.
            (void)rd.read_word(st.texte);
            if (rd.error()) return PassEnd::read_error;
            k = keyword_of(st.texte);
        }
        switch (k) {
            case Keyword::extmin:
            case Keyword::extmax:
                gap_from = SIZE_MAX;
                if (recorder != nullptr) recorder->extents();
                if (!read_extents(rd, st, ext, sink, k == Keyword::extmax)) return PassEnd::stopped;
                break;
            case Keyword::polyline:
                gap_from = SIZE_MAX;
                polyline_read(st, sink, report, recorder, top);
                break;
            case Keyword::vertex:
                if (gap_from != SIZE_MAX && rd.gap_wanted() && rd.failed_reads() == gap_failed)
                    rd.learn_gap(gap_from, top);
                if (int codes[4]; rd.vertex_record(st.reg, st.texte, codes, xyz)) {
                    // the common record, read in one sweep
                    st.dval1 = xyz[0];
                    st.dval2 = xyz[1];
                    st.dval3 = xyz[2];
                    st.val = codes[3];
                    if (st.vertices++ == 0) st.first_vertex = top;
                    st.misplaced += codes[0] == 10 && codes[1] == 20 && codes[2] == 30 ? 0 : 1;
                } else if (!vertex_by_words(rd, st, top)) {
                    return PassEnd::read_error;
                }
                if (recorder != nullptr)
                    recorder->vertex(top, st.dval1, st.dval2, st.dval3, failed_top, rd.failed_reads());
                if (!sink.vertex(st.dval1, st.dval2, st.dval3)) return PassEnd::stopped;
                gap_from = rd.consumed();
                gap_failed = rd.failed_reads();
                break;
            case Keyword::none:
                break;
        }
        if (rd.error()) return PassEnd::read_error;
    }
    return PassEnd::end_of_file;
}

}  // namespace zorvel

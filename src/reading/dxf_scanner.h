// The token loop that walks the drawing in both passes. It knows nothing of
// grids: it tells a ContourSink what it finds and, when given one, a
// ScanRecorder where it found it.
#ifndef ZORVEL_DXF_SCANNER_H
#define ZORVEL_DXF_SCANNER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/report.h"
#include "reading/contour_sink.h"
#include "reading/drawing_reader.h"
#include "base/extents.h"

namespace zorvel {

// What the scanner keeps between tokens; it lives through both passes, so a
// read that fails keeps the value of the one before, even from pass one.
struct ScanState {
    Token texte;          // the current token
    int reg = 0;          // words skipped after every VERTEX
    int val = 0;          // the group code read last
    double dval1 = 0.0;   // X of the vertex read last
    double dval2 = 0.0;   // Y of the vertex read last
    double dval3 = 0.0;   // elevation of the vertex read last
    int segm = 0;         // POLYLINE keywords met in this pass
    // how the vertex records of this pass fitted the skip count: the records,
    // those without the codes 10, 20 and 30 where it puts them, and the
    // offset of the first one's keyword
    long vertices = 0;
    long misplaced = 0;
    std::size_t first_vertex = SIZE_MAX;
};

// What the scanner tells the one writing the drawing down (the vertex log),
// with where each thing begins: top is the reader's offset before the keyword.
class ScanRecorder {
public:
    virtual ~ScanRecorder() = default;
    // $EXTMIN or $EXTMAX is about to be read.
    virtual void extents() = 0;
    virtual void polyline(std::size_t top) = 0;
    // failed_before and failed_after: the reader's count of failed reads
    // before the keyword and after the vertex's reads.
    virtual void vertex(std::size_t top, double x, double y, double z, std::size_t failed_before,
                        std::size_t failed_after) = 0;
};

enum class PassEnd {
    end_of_file,  // the pass read the drawing to its end
    paused,       // the pass came to its stop offset (see scan_until)
    stopped,      // the sink stopped the run
    read_error,   // the drawing could not be read; see the reader's error_text()
};

// The number of words between the keyword VERTEX at offset `at` of the
// drawing and the first word "10" after it: the skip count that fits that
// record; -1 when no "10" follows within kSkipLookAhead words.
constexpr int kSkipLookAhead = 64;
int fitting_skip_count(DrawingReader& rd, std::size_t at);

// The skip count of the drawing: the words between the keyword of its first
// vertex record (a word VERTEX after a word 0) and the first "10" after it,
// before the next VERTEX and within kSkipLookAhead words; -1 when no record
// has one. Reads from the reader's position.
int first_fitting_skip_count(DrawingReader& rd);

// Whether the word scanner reads the drawing at path, open as f: a .dxf
// whose vertex records the skip count finds (given, or a record with a code
// 10 after its VERTEX). Leaves f at its start.
bool old_style_dxf(const std::string& path, std::FILE* f, bool skip_count_given);

// One pass from the reader's position to the end of the drawing; it counts
// the polylines and the vertices from 0 and reports each polyline.
PassEnd scan_pass(DrawingReader& rd, ScanState& st, Extents& ext, ContourSink& sink, Report& report,
                  ScanRecorder* recorder = nullptr);

// The same from wherever the state stands, the count going on, up to the
// first token at or beyond the offset stop_at (paused there).
PassEnd scan_until(DrawingReader& rd, ScanState& st, Extents& ext, ContourSink& sink, Report& report,
                   std::size_t stop_at, ScanRecorder* recorder = nullptr);

}  // namespace zorvel

#endif

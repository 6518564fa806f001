// The token loop that walks the drawing in both passes. It knows nothing of
// grids: at its fixed points it calls the hooks it is given.
#ifndef ZORVEL_DXF_SCANNER_H
#define ZORVEL_DXF_SCANNER_H

#include <cstddef>
#include <cstdio>
#include <functional>

#include "drawing_reader.h"
#include "run_state.h"
#include "vertex_log.h"

namespace zorvel {

// What the scanner keeps between tokens; it lives through both passes.
struct ScanState {
    Token texte;          // the current token
    int reg = 0;          // words skipped after every VERTEX
    int val = 0;          // the group code read last
    double dval1 = 0.0;   // X of the vertex read last
    double dval2 = 0.0;   // Y of the vertex read last
    double dval3 = 0.0;   // elevation of the vertex read last
    int segm = 0;         // POLYLINE keywords met in this pass
    int flag = 0;         // 0 until the current polyline has placed a vertex
};

// The fixed points of a pass. Each hook returns false to stop the run.
struct PassHooks {
    // $EXTMAX has given its code 20 and the code after it
    std::function<bool(const Extents&)> at_max_y;
    // the end of a vertex record; the hook may advance flag
    std::function<bool(ScanState&)> at_vertex;
    // $EXTMIN or $EXTMAX has been read: the extents are about to change
    std::function<void()> before_extents;
    // where the polylines and vertices are written down, when given
    VertexLog* record = nullptr;
};

enum class PassEnd {
    end_of_file,  // the pass read the drawing to its end
    paused,       // the pass came to its stop offset (see scan_on)
    stopped,      // a hook stopped the run
    read_error,   // the drawing could not be read; see the reader's error_text()
};

// The progress line of the polyline numbered segm.
void segment_line(std::FILE* out, int segm);

// One pass from the reader's position to the end of the drawing; it counts
// the polylines from 0 and writes a progress line for each to out.
PassEnd scan_pass(DrawingReader& rd, ScanState& st, Extents& ext, const PassHooks& hooks,
                  std::FILE* out);

// The same from wherever the state stands, the count going on; paused when,
// before a token, the reader has consumed stop_at characters or more. Without
// out, no progress line is written.
PassEnd scan_on(DrawingReader& rd, ScanState& st, Extents& ext, const PassHooks& hooks, std::FILE* out,
                std::size_t stop_at);

}  // namespace zorvel

#endif

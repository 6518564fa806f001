// Pass one reads the whole drawing for its polylines and the range of its
// elevations. On a large drawing a second thread reads the second half at the
// same time, from a token where the scanner is guessed to stand at the top of
// its loop. The main scan pauses there and takes the second half's result when
// it does arrive there at the top of its loop and nothing the second half read
// depended on what came before it; otherwise the main scan reads on by itself.
// Either way the result is that of one scan from the start.
#ifndef ZORVEL_SCAN_AHEAD_H
#define ZORVEL_SCAN_AHEAD_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <thread>

#include "dxf_scanner.h"
#include "elevation_grid.h"
#include "run_state.h"
#include "vertex_log.h"

namespace zorvel {

// The lowest and highest elevation of the vertices, as pass one keeps them:
// a value replaces the bound only when it is strictly beyond it.
struct ElevationRange {
    double min_dyn;
    double max_dyn;
    void take(double alti) {
        if (min_dyn > alti) min_dyn = alti;
        if (max_dyn < alti) max_dyn = alti;
    }
};

class ScanAhead {
public:
    // Starts reading `path`, the drawing open as f, from near its middle, when
    // it is a regular file of min_bytes or more; reg: words skipped after VERTEX.
    // log_bound: the bound of its own vertex log (see VertexLog).
    ScanAhead(const std::string& path, std::FILE* f, int reg, std::size_t min_bytes, std::size_t log_bound);
    ~ScanAhead();  // stops the thread
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    // Where the main scan pauses; SIZE_MAX when no second thread reads.
    std::size_t from() const { return from_; }
    // For a main scan paused at from() at the top of its loop with state st
    // and range: true when the second half's result has been added to them,
    // its polylines' progress lines written to out, its log appended to
    // record and its elevations counted into count, when given; false when
    // the main scan must read on by itself.
    bool join(ScanState& st, ElevationRange& range, std::FILE* out, VertexLog* record, ElevationCount* count);
    // Stops the second thread: the main scan reads on by itself.
    void cancel();

private:
    void work();

    FileHandle f_;  // the drawing, opened a second time
    int reg_;
    std::size_t from_ = SIZE_MAX;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    // the second half's result, read once the thread has ended
    ScanState st_;
    ElevationRange range_{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    long long vertices_ = 0;
    bool usable_ = false;
    VertexLog log_;
    ElevationCount count_;
};

// Pass one from the reader's position (the start of the drawing open as f):
// the polylines counted and their progress lines written to out, the range
// of the vertices' elevations taken into range, at_max_y called as in
// scan_pass. Drawings of min_bytes or more have their second half read by a
// second thread; joined, when given, tells whether its result was taken.
// The polylines and vertices are written down in record, and the distinct
// elevations counted in count, when given.
PassEnd scan_pass_one(DrawingReader& rd, ScanState& st, Extents& ext, ElevationRange& range,
                      const std::function<bool(const Extents&)>& at_max_y, std::FILE* out, const std::string& path,
                      std::FILE* f, std::size_t min_bytes, VertexLog* record, ElevationCount* count,
                      bool* joined = nullptr);

}  // namespace zorvel

#endif

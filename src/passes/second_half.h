// Pass one reads the whole drawing for its polylines and the range of its
// elevations. On a large drawing a second thread reads the second half at the
// same time, from a token where the scanner is guessed to stand at the top of
// its loop. The main scan pauses there and takes the second half's result when
// it does arrive there at the top of its loop and nothing the second half read
// depended on what came before it; otherwise the main scan reads on by itself.
// Either way the result is that of one scan from the start.
#ifndef ZORVEL_SECOND_HALF_H
#define ZORVEL_SECOND_HALF_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "base/files.h"
#include "base/report.h"
#include "reading/dxf_scanner.h"
#include "geometry/elevation_grid.h"
#include "passes/vertex_log.h"

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

// What pass one gathers from the vertices.
struct VertexTally {
    ElevationRange range;
    ElevationCount count;  // the distinct elevations
    long nonzero = 0;      // vertices whose elevation is not 0
    long non_finite = 0;   // vertices whose elevation is NaN or infinite
    void take(double alti) {
        range.take(alti);
        count.take(alti);
        nonzero += alti != 0.0;
        non_finite += !std::isfinite(alti);
    }
    // Adds what another tally gathered: the bounds each taken as the bound
    // it is, so that a tally without vertices changes nothing.
    void add(const VertexTally& o) {
        if (range.min_dyn > o.range.min_dyn) range.min_dyn = o.range.min_dyn;
        if (range.max_dyn < o.range.max_dyn) range.max_dyn = o.range.max_dyn;
        count.add(o.count);
        nonzero += o.nonzero;
        non_finite += o.non_finite;
    }
};

class SecondHalfScan {
public:
    // Starts reading `path`, the drawing open as f, from near its middle, when
    // it is a regular file of min_bytes or more; reg: words skipped after VERTEX.
    // log_bound: the bound of its own vertex log (see VertexLog).
    SecondHalfScan(const std::string& path, std::FILE* f, int reg, std::size_t min_bytes, std::size_t log_bound);
    ~SecondHalfScan();  // stops the thread
    SecondHalfScan(const SecondHalfScan&) = delete;
    SecondHalfScan& operator=(const SecondHalfScan&) = delete;

    // The offset where the second half starts and the main scan pauses;
    // SIZE_MAX when no second thread reads.
    std::size_t split_offset() const { return split_; }
    // For a main scan paused at split_offset() at the top of its loop with
    // state st: true when the second half's result has been added to st and
    // tally, its polylines reported and its log appended to log, when
    // given; false when the main scan must read on by itself.
    bool join(ScanState& st, VertexTally& tally, Report& report, VertexLog* log);
    // Waits for the second half: whether join() would take it, its log
    // standing for all it read.
    bool logged();
    // Stops the second thread: the main scan reads on by itself.
    void cancel();

private:
    void work();
    void scan_half();

    FileHandle f_;  // the drawing, opened a second time
    int reg_;
    std::size_t split_ = SIZE_MAX;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    // the second half's result, read once the thread has ended
    ScanState st_;
    VertexTally tally_{{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}, {}};
    long long vertices_ = 0;
    bool usable_ = false;
    VertexLog log_;
};

}  // namespace zorvel

#endif

// What pass one writes down so that pass two need not read the drawing again:
// from the first polyline or vertex on, every polyline and every vertex's
// values, in a compact code. Pass two reads the drawing up to that point (the
// header, where the extents and the grid come from) and then replays the log,
// telling its sink the very values a second reading would give.
//
// The log is given up, and pass two reads the whole drawing, when replaying
// could differ from reading: extents met after the first polyline, a read that
// failed within a vertex (it would keep a value pass two may not share), or a
// log that grows past its bound.
#ifndef ZORVEL_VERTEX_LOG_H
#define ZORVEL_VERTEX_LOG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/report.h"
#include "reading/contour_sink.h"
#include "reading/dxf_scanner.h"

namespace zorvel {

// The log's bound by default: a third of the drawing's size, at least
// kLogBoundMin, at most a quarter of the machine's memory.
constexpr std::size_t kLogBoundMin = std::size_t{48} << 20;
std::size_t vertex_log_bound(std::FILE* drawing);

class VertexLog final : public ScanRecorder {
public:
    // A log of at most `bound` bytes.
    explicit VertexLog(std::size_t bound);

    void extents() override;
    void polyline(std::size_t top) override;
    void vertex(std::size_t top, double x, double y, double z, std::size_t failed_before,
                std::size_t failed_after) override;
    // Appends the log of the rest of the drawing, recorded by another reader.
    void append(VertexLog&& rest);

    // Whether the log can stand for the drawing from start() on.
    bool usable() const { return !dropped_ && start_ != SIZE_MAX; }
    std::size_t start() const { return start_; }

    // A polyline and a vertex of a source read otherwise than from a file
    // (through OGR): the whole source is the log, from offset 0 on, and no
    // read of it can fail.
    void source_polyline() { polyline(0); }
    void source_vertex(double x, double y, double z) { vertex(0, x, y, z, 0, 0); }

    // What a scan from start() to the end of the drawing tells its sink, the
    // polylines counted on from segm and reported.
    PassEnd replay(ContourSink& sink, int& segm, Report& report) const;

private:
    // A value is the integer m of m / 10^frac, coded as the difference from
    // the field's previous m; or, when no such m gives it exactly (the full
    // precision that many writers use), as the difference of its bits from
    // those of the field's previous value: consecutive vertices lie close.
    struct Field {
        std::uint64_t m = 0;     // the last value coded as a decimal
        int frac = 0;
        std::uint64_t bits = 0;  // the last value, however coded
        unsigned misses = 0;     // values in a row that were no short decimal
    };
    // Bytes in chunks of their own, so that growing never copies. The first
    // is small, for the small drawings; the others are mappings of their own.
    struct ChunkFree {
        std::size_t mapped;  // the mapping's size; 0 for a block from new[]
        void operator()(unsigned char* p) const;
    };
    struct Chunk {
        std::unique_ptr<unsigned char[], ChunkFree> data;
        std::size_t size = 0;
        std::size_t used = 0;
        bool fresh = false;  // the first chunk of an appended log: its fields start afresh
    };
    static constexpr std::size_t kFirstChunk = std::size_t{64} << 10;
    static constexpr std::size_t kChunk = std::size_t{4} << 20;
    // room for the longest coding of one event (31 bytes), with the 8-byte
    // copies of its last number that run past it
    static constexpr std::size_t kEventMax = 64;

    unsigned char* room();
    void commit(const unsigned char* end);
    void drop();
    // Writes v's coding of f at p; coding tells which it is.
    static unsigned char* put_value(unsigned char* p, Field& f, double v, unsigned& coding);

    std::vector<Chunk> chunks_;
    Field fields_[3];
    std::size_t start_ = SIZE_MAX;
    std::size_t failed_at_start_ = 0;
    std::size_t bound_;
    std::size_t bytes_ = 0;
    bool dropped_ = false;
};

}  // namespace zorvel

#endif

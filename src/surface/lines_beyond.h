// The line cells of the grid beyond a part of it, as a run-on of a line's
// end looks for them: the part holds only its own cells, but a run-on that
// crosses it may start, or stop, beyond it, and must be the whole grid's to
// the last bit. A cell is a line cell when a segment meets it, and belongs
// to the polyline of the nearest (its key, as the seeds of the sweeps say).
#ifndef ZORVEL_LINES_BEYOND_H
#define ZORVEL_LINES_BEYOND_H

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "surface/segments.h"

namespace zorvel {

class LinesBeyond {
public:
    // The segments made so far, each in the blocks of cells its box covers.
    explicit LinesBeyond(const Segments& segs);
    // A segment made since (a run-on).
    void add(std::uint32_t s);
    // The polyline of the nearest segment that meets cell (r, c) of the grid
    // (in the grid's numbers); nullopt when none meets it.
    std::optional<std::uint32_t> line_at(int r, int c) const;

private:
    static constexpr int kBlock = 16;  // a block's side, in cells
    static constexpr std::size_t kLong = 64;  // a segment over more blocks is looked at everywhere
    std::uint64_t block_of(int r, int c) const;
    void place(std::uint32_t s, std::vector<std::pair<std::uint64_t, std::uint32_t>>& into);

    const Segments& segs_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> blocks_;  // (block, segment), in order
    std::unordered_multimap<std::uint64_t, std::uint32_t> added_;  // the run-ons, by block
    std::vector<std::uint32_t> long_;                              // the segments over many blocks
};

}  // namespace zorvel

#endif

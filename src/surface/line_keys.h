// A level reached at a distance from a segment, as the nearest levels keep
// it: one key that orders by distance, then by segment.
#ifndef ZORVEL_LINE_KEYS_H
#define ZORVEL_LINE_KEYS_H

#include <cstdint>

namespace zorvel {

// A level reached at a distance, as one key: the distance in the high 32
// bits, the segment in the low ones, so that keys order by distance, then
// by segment.
using LineKey = std::uint64_t;
constexpr LineKey kNoLine = ~LineKey{0};
constexpr std::uint32_t kUnitsPerCell = 256;
inline std::uint32_t segment_of(LineKey k) { return static_cast<std::uint32_t>(k); }
inline std::uint32_t distance_of(LineKey k) { return static_cast<std::uint32_t>(k >> 32); }
constexpr std::uint32_t kFarthest = 0x7FFFFFFEu;  // distances stop growing there, the top bit left free
// Segment s at a distance in cells, rounded to the nearest unit.
inline LineKey line_key(double distance, std::uint32_t s) {
    const double units = distance * kUnitsPerCell + 0.5;  // rounded half up: distances are never negative
    const std::uint64_t d = units < static_cast<double>(kFarthest) ? static_cast<std::uint64_t>(units) : kFarthest;
    return (d << 32) | s;
}

}  // namespace zorvel

#endif

// The bands on each side of each contour segment, as the fill sums them
// from the cells between two levels, and as each side then takes them along
// a stretch of its line.
#ifndef ZORVEL_SIDE_BANDS_H
#define ZORVEL_SIDE_BANDS_H

#include <cstdint>
#include <utility>
#include <vector>

#include "surface/segments.h"

namespace zorvel {

// Sums of levels, or of their differences, are kept this much smaller: a sum
// over as many cells as a grid holds never leaves the doubles' range. (A
// power of two: the sums, and their means, are otherwise the same.)
constexpr double kSumScale = 0x1p-64;

// The bands on one side of a segment: how many cells, and the sums of their
// widths and (scaled) of their far levels.
struct SideBands {
    double level = 0.0;
    double width = 0.0;
    std::uint32_t cells = 0;
    void add(double w, double far) {
        width += w;
        level += far * kSumScale;
        ++cells;
    }
    void add(const SideBands& o) {
        width += o.width;
        level += o.level;
        cells += o.cells;
    }
    double mean_width() const { return width / cells; }
    double mean_level() const { return level / cells / kSumScale; }
};

// Each side of each segment (sides[2 s + side], side as Segments::side
// says) takes the bands along a stretch of its polyline about a band wide
// each way, in place of its own: a segment a cell long has too few cells of
// its own to tell, and the bands widen and narrow along a line. The
// stretch: the segments whose middles lie within L of its own along the
// line, L being the mean band of the nearest segments with cells on that
// side (as many each way), then the mean band within that L. So a side
// takes nothing from farther along its line than its bands reach, and a
// side of a line without cells keeps none. The lines in two halves, side by
// side, when `split`. Where `looked` is given, it gets, side by side, the
// segments [first, last] each side's stretch looked at.
void smooth_along_lines(const Segments& segs, std::vector<SideBands>& sides, bool split,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>* looked = nullptr);

}  // namespace zorvel

#endif

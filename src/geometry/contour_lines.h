// The contour lines as they lie on the grid, kept for the terrain between
// them: every vertex at its turned position (in cells, not rounded to one),
// each segment at the elevation it is drawn with.
#ifndef ZORVEL_CONTOUR_LINES_H
#define ZORVEL_CONTOUR_LINES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/contour_pass.h"

namespace zorvel {

// A vertex's turned position in the grid, in cells: the centre of cell
// (i, j) lies at (i, j), so that rounding the position half up gives the
// cell the vertex is drawn in.
GridPoint turned_position(const GridFrame& fr, double x, double y);

// The polylines drawn, one vertex after the other.
class ContourLines {
public:
    // A vertex of the polyline being drawn, at its turned position; the
    // segment that ends at it has its elevation.
    void vertex(GridPoint p, double alti, bool first) {
        if (first) starts_.push_back(static_cast<std::uint32_t>(points_.size()));
        points_.push_back(p);
        levels_.push_back(alti);
    }
    void clear() {
        points_.clear();
        levels_.clear();
        starts_.clear();
    }
    void swap(ContourLines& o) noexcept {
        points_.swap(o.points_);
        levels_.swap(o.levels_);
        starts_.swap(o.starts_);
    }
    std::size_t size() const { return points_.size(); }
    const GridPoint& point(std::size_t k) const { return points_[k]; }
    double level(std::size_t k) const { return levels_[k]; }
    // Whether vertex k starts a polyline (no segment ends at it).
    std::vector<std::uint32_t> const& starts() const { return starts_; }

private:
    std::vector<GridPoint> points_;
    std::vector<double> levels_;
    std::vector<std::uint32_t> starts_;
};

}  // namespace zorvel

#endif

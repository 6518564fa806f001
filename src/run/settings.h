// What a run is asked to do, and from what: its settings (the dialogue's
// questions or the command line's options), what the classes are chosen
// from, and the sources of its contours.
#ifndef ZORVEL_RUN_SETTINGS_H
#define ZORVEL_RUN_SETTINGS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/extents.h"
#include "base/progress.h"
#include "surface/fill_table.h"
#include "classes/classes.h"
#include "geometry/grid_geometry.h"
#include "passes/passes.h"
#include "reading/ogr_source.h"

namespace zorvel {

// The whole elevations the drawn grid holds, its empty cells left out.
struct DrawnRange {
    bool any;  // no cell holds a whole elevation when false
    int lowest;
    int highest;
};
// Finds them, for whoever needs them: a sweep over every cell.
using DrawnRangeOf = std::function<DrawnRange()>;

// What the classes can be chosen from once the grid is drawn.
struct ClassHints {
    int suggested;              // the dialogue's: the gap of the ninth and tenth distinct elevations
    // the contour interval of the whole source, found for whoever needs it
    // (with very many elevations, a sweep over every cell)
    std::function<ContourInterval()> contours;
    DrawnRangeOf drawn;         // the whole elevations of the grid
    // the lowest and highest elevation of the filled grid, when it is filled
    // and a contour reaches it
    std::optional<std::pair<double, double>> filled;
    // the extents the sources give (their headers' or their layers'), all of them
    Extents sources;
};

// Where a run's settings come from: the dialogue asks them as the run goes
// (the program's own questions), the command line has them from the start.
class RunSettings {
public:
    virtual ~RunSettings() = default;
    // The skip count of a drawing the word scanner reads, before pass one;
    // nullopt stops the run.
    virtual std::optional<int> skip_count(std::FILE* drawing, const std::string& path) = 0;
    // The angle and the sense, between the passes.
    virtual std::optional<RotationChoice> rotation() = 0;
    // The interval and the table limits, once the grid is drawn.
    virtual std::optional<ClassChoice> classes(const ClassHints& hints) = 0;
    // The pixel size of pass two: the one derived from the turn (the
    // dialogue's), or the one given.
    virtual bool derived_pixel_size() const { return true; }
    // Whether the drawn elevations are kept for the image (the run's alti).
    virtual bool keep_elevations() const { return false; }
    // Whether the cells between the contours get an elevation from them
    // (kept in the run's alti), and their class from it.
    virtual bool fill() const { return false; }
    // Where the grid's extents come from: the drawing's header by default.
    virtual ExtentsPolicy extents_policy() const { return {}; }
    virtual Progress* progress() { return nullptr; }
    // Only this window of the grid is computed (the command line's -srcwin).
    virtual std::optional<GridWindow> window() const { return std::nullopt; }
    // The cells drawn around the window, each way where the grid goes on: a
    // cell for the corners of the classes, more for the fill.
    virtual int window_margin() const { return 1; }
    // Whether a window of the fill widens its margin until it vouches for its cells.
    virtual bool window_margin_grows() const { return false; }
    // The tables of windows the whole grid's fill makes, or the one a window's takes.
    virtual FillTables fill_tables() const { return {}; }
    // The bytes a cell of the grid takes beyond the grids themselves, for
    // the memory the run asks for before it draws.
    virtual int more_per_cell() const { return 0; }
    // Whether an elevation that is not finite (NaN, infinite) stops the run:
    // it has no place between the others.
    virtual bool refuse_non_finite() const { return false; }
    // Whether the default table limits come from every vertex of the
    // drawing rather than from the cells drawn (a plan of windows, which
    // draws none of the grid).
    virtual bool limits_from_vertices() const { return false; }
};

// A source after the first, in a grid drawn from several.
struct MoreSource {
    std::string path;
    std::FILE* file = nullptr;  // the drawing the word scanner reads
    OgrSource* ogr = nullptr;   // or the source read through OGR
};

// Where the contours come from: the drawing file that the word scanner
// reads (the run's f1), or a source read through OGR, whose grid has the
// layer's extents unless the settings fix others. With more sources the
// grid covers all their extents (the headers' or the layers'), and they are
// drawn in order.
struct ContourSource {
    OgrSource* ogr = nullptr;  // nullptr: the drawing file
    std::vector<MoreSource> more;
};

// The limits of a run, for the tests and the fuzzer to change.
struct RunLimits {
    // the most memory the grids may take, in bytes; 0 for the machine's memory
    unsigned long long grid_memory = 0;
    // drawings of this many bytes or more have pass one read by two threads
    std::size_t ahead_min_bytes = std::size_t{8} << 20;
    // the most memory the vertex log may take; kLogBoundOfDrawing: see vertex_log_bound
    std::size_t vertex_log_bytes = kLogBoundOfDrawing;
    static constexpr std::size_t kLogBoundOfDrawing = SIZE_MAX;
};

}  // namespace zorvel

#endif

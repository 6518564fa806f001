// What the passes over a drawing take and give: the drawing as they read
// it, where its grid's extents come from, their options and their results.
#ifndef ZORVEL_PASS_TYPES_H
#define ZORVEL_PASS_TYPES_H

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/console.h"
#include "reading/drawing_reader.h"
#include "reading/dxf_scanner.h"
#include "geometry/contour_lines.h"
#include "geometry/elevation_grid.h"
#include "base/extents.h"
#include "geometry/grid_geometry.h"
#include "geometry/grid_layout.h"
#include "base/progress.h"
#include "base/report.h"
#include "passes/contour_drawer.h"
#include "passes/second_half.h"
#include "passes/vertex_log.h"

namespace zorvel {

// The drawing as both passes read it: one reader, one scanner state, the
// extents its header gives.
struct DrawingScan {
    DrawingScan(std::FILE* drawing, std::string drawing_path, int reg);
    // Back to the start for pass two; the scanner state carries on.
    void rewind();

    std::FILE* f;
    std::string path;
    DrawingReader rd;
    ScanState st;
    Extents ext;
    std::size_t size = 0;  // bytes, where the file says
};

// Where the grid's extents come from: the header by default; the command
// line may fix them, and refuses placeholder ones.
struct ExtentsPolicy {
    // the extents of the grid whatever the header says (-te), when given
    const Extents* fixed_extents = nullptr;
    // header extents of 1e20 or more (left by writers that had none) refused
    bool refuse_placeholder_extents = false;
    // added to the stop lines of a drawing that gives no grid
    std::string extents_hint;
    // what the extents are called in the stop lines
    std::string extents_name = N_("las extensiones del dibujo ($EXTMIN, $EXTMAX)");
    // added last to the stop line of a grid that does not fit in memory
    std::string memory_hint;
    // lays the grid over the extents (nullopt, with why, when it cannot);
    // without it the grid is the extents themselves with the pass's pixel
    // size, the dialogue's grid
    std::function<std::optional<GridLayout>(const Extents&, std::string& why)> layout;
};

struct PassOneOptions {
    double pix_size;              // as typed
    std::size_t ahead_min_bytes;  // drawings of this many bytes or more are read by two threads
    std::size_t log_bound;        // the most memory the vertex log may take
    ExtentsPolicy extents;
    ProgressPart progress;
};

struct PassOne {
    GridSize grid;      // the first approximation
    GridLayout layout;  // where it lies
    VertexTally tally;  // the range and the distinct elevations of the vertices
    VertexLog log;
    bool split = false;  // a second thread read the second half
};

// A window of the grid, in its cells: columns xoff..xoff+xsize-1 and rows
// yoff..yoff+ysize-1, as gdal_translate's -srcwin gives it.
struct GridWindow {
    int xoff, yoff, xsize, ysize;
};

// Window w with `margin` cells more each way, within a grid of nb_lig rows
// and nb_col columns: its first row and column, its rows and columns.
struct WindowCells {
    int i0, j0, rows, cols;
};
inline WindowCells with_margin(const GridWindow& w, long long margin, int nb_lig, int nb_col) {
    const int i0 = static_cast<int>(std::max(0LL, w.yoff - margin)), j0 = static_cast<int>(std::max(0LL, w.xoff - margin));
    return {i0, j0, static_cast<int>(std::min<long long>(nb_lig, w.yoff + w.ysize + margin)) - i0,
            static_cast<int>(std::min<long long>(nb_col, w.xoff + w.xsize + margin)) - j0};
}

struct PassTwoOptions {
    double pix_size;  // the rotated one
    RotationChoice turn;
    int width;                  // bytes per elevation cell, from pass one's count
    unsigned long long memory;  // the most memory the grids may take; 0: the machine's
    ExtentsPolicy extents;
    ProgressPart progress;
    long vertices = 0;  // pass one's count, for the progress
    // only this window of the grid is drawn, with a margin where the grid
    // goes on (a cell, what the corner cleanup of its border reads; more
    // for the fill)
    std::optional<GridWindow> window = std::nullopt;
    // where the lines drawn are kept at their turned positions, for the
    // terrain between them; nullptr: nowhere
    ContourLines* lines = nullptr;
    // the bytes a cell takes in the run beside the grids (its elevation
    // kept, the fill's working memory, the image a library copies), counted
    // with theirs when the memory is checked
    int more_per_cell = 0;
    int window_margin = 1;  // the cells drawn around a window, each way where the grid goes on
};

struct PassTwo {
    int nb_lig;
    int nb_col;
    ElevationGrid dtab;
    // the cells dtab holds from [0][0]: rows i0..i0+rows-1 and columns
    // j0..j0+cols-1 of the grid (all of it but for a window)
    int i0 = 0, j0 = 0, rows = 0, cols = 0;
    GridLayout layout;   // where the grid lies: the vertices were placed in its frame
    long long vertices;  // handed to the drawer
    long long beyond;    // of those, the ones beyond the grid's extents
    ContourDrawer::Misses misses;  // of those, the ones outside the grid or without a cell
};

// One source of a grid drawn from several: its drawing, read again where
// its log does not reach, and pass one's log of it.
struct SourceLog {
    DrawingScan* d;
    VertexLog log;
};

}  // namespace zorvel

#endif

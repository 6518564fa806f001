// The two passes over the drawing, side by side: pass one measures it (the
// extents, a first grid, the polylines, the range and the number of distinct
// elevations), pass two draws it into the elevation grid. Both read it
// through the word scanner; pass two takes its vertices from pass one's log
// where it can.
#ifndef ZORVEL_PASSES_H
#define ZORVEL_PASSES_H

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
#include "passes/second_half.h"
#include "passes/pass_types.h"

namespace zorvel {

// Pass one; nullopt, after a stop line, when the drawing cannot be read or
// gives no grid.
std::optional<PassOne> pass_one(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o);

// The extents the drawing's header gives, read up to $EXTMAX's maximum Y
// and the drawing put back at its start; nullopt, after a stop line, when
// it gives none or placeholder ones the policy refuses.
std::optional<Extents> header_extents(Console& con, DrawingScan& d, const ExtentsPolicy& policy);

// Pass one over a source the word scanner does not read (d without a file),
// whose grid has the given extents: `read` tells its sink every polyline and
// vertex, which the log keeps for pass two; false, after its stop line,
// when the source cannot be read.
std::optional<PassOne> pass_one_of(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                                   const Extents& extents, const std::function<bool(ContourSink&)>& read);

// Pass two, replaying log (which it uses up) where the drawing allows;
// nullopt, after a stop line, when the run stops.
std::optional<PassTwo> pass_two(Console& con, Report& report, DrawingScan& d, const PassTwoOptions& o,
                                VertexLog&& log);

// Both passes at once: drawn; to be read again the two-pass way, nothing
// said and the drawing back at its start (more elevations than a byte
// codes, extents that move, vertices before the grid); or stopped, after a
// stop line.
struct BothPasses {
    enum class Outcome { drawn, read_again, stopped };
    Outcome outcome = Outcome::stopped;
    std::optional<std::pair<PassOne, PassTwo>> passes;
};

// Both passes at once over a source read by `read` (as in pass_one_of),
// whose grid the fixed extents lay out before it is read (two_o's pixel
// size is the laid-out grid's): each vertex is counted and handed to the
// drawer as it is read, into cells of one byte.
BothPasses draw_while_reading(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                              PassTwoOptions two_o, const std::function<bool(ContourSink&)>& read);

// Both passes at once over the drawing d, through the word scanner, where
// the grid is laid out before any vertex: the fixed extents, or those of
// the header, which must not change after its maximum Y. As in
// draw_while_reading, the cells are of one byte.
BothPasses draw_while_scanning(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                               PassTwoOptions two_o);

// Pass two over the sources in order, into one grid (their extents fixed
// in o: each header's are not the grid's), each log used up.
std::optional<PassTwo> pass_two(Console& con, Report& report, std::vector<SourceLog>& sources,
                                const PassTwoOptions& o);

}  // namespace zorvel

#endif

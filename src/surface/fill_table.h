// What the whole grid's fill tells a window of it: the sums of the fill
// that reach past any margin (an area of one level spans as far as its
// contours let it, a contour's bands are summed along all of it), and the
// nearest levels of the ring of cells about it.
//
// A plan fills the whole grid once and writes each window's table; the
// window fills its part (itself and the ring) with the ring's cells holding
// the whole grid's keys, and takes the bands and the areas from the table
// rather than from its own cells. Nothing reaches the window from beyond
// but through the ring (nearest_lines.h), so its cells' nearest levels are
// the whole grid's however far a level spreads, and it needs no margin.
// It vouches for its cells (the whole grid's, to the last bit) where:
//  - its part's segments are the table's (those that meet the part, and
//    those the ring's keys name, lying where they did);
//  - its own cells that one level alone reaches make, four-connected, the
//    same pieces as the table's: each from the same first cell (in row
//    order), of the same level and as many cells. A part has fewer ways in
//    than the whole grid, so its cells of one level hold the whole grid's;
//    as many cells, they are the same. So with the cells no contour
//    reaches: as many as the table's.
// Otherwise its cells are unsure and the window stops.
#ifndef ZORVEL_FILL_TABLE_H
#define ZORVEL_FILL_TABLE_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "surface/level_areas.h"
#include "surface/line_keys.h"
#include "surface/near_lines.h"
#include "surface/segments.h"

namespace zorvel {

// Of a part of the grid, the cells a caller keeps: rows i0..i0+nb_lig-1
// and columns j0..j0+nb_col-1 of the part.
struct KeptCells {
    int i0 = 0, j0 = 0, nb_lig = 0, nb_col = 0;
};

// The bands beyond one side of a segment, as a cell there finds them: their
// mean far level and mean width (0 where there are none).
struct FarBand {
    double level = 0.0;
    double width = 0.0;
};

// The run-on of a line's end beyond its last vertex, as a window's table
// holds it: its number among the whole grid's segments, where it lies and
// its level.
struct RunOnSegment {
    std::uint32_t number = 0;
    double i0 = 0.0, j0 = 0.0, di = 0.0, dj = 0.0, level = 0.0;
};

// The piece of an area of one level that lies in a window, four-connected
// among the window's cells, and the area's height once its sums are in.
struct TableArea {
    std::uint64_t first = 0;  // its first cell, row after row in the window
    std::uint64_t cells = 0;
    double level = 0.0;
    double d_max = 0.0;
    double top = 0.0;
    long long told = 0;
    long long balance = 0;
};

// A window's table: its cells in the whole grid (rows i0.., columns j0..),
// the margin of its part (the ring, 1), the bands beyond the sides its
// cells between two levels look across (side 2 s + side, as Segments::side
// says; those without bands are left out) and its pieces of areas.
struct WindowTable {
    int i0 = 0, j0 = 0, nb_lig = 0, nb_col = 0;
    int margin = 1;
    std::uint64_t segments = 0;  // the segments of the fill that made it
    std::uint64_t unreached = 0;  // its cells that no contour reaches
    std::vector<std::pair<std::uint64_t, FarBand>> sides;
    std::vector<TableArea> areas;
    // The whole grid's segments that meet the window with the table's
    // margin round it: the lines' own by number (ascending) and a hash of
    // where they lie and at what level (nearest_lines.cpp), and the run-ons
    // of the lines' ends, whole. So the window needs only the lines near it.
    std::vector<std::uint32_t> kept;
    std::uint64_t kept_hash = 0;
    std::vector<RunOnSegment> run_ons;
    // The two nearest keys of the ring's cells (ring_cells), by the whole
    // grid's segments, and those of their segments that do not meet the
    // part (where they lie, as the run-ons), ascending.
    std::vector<std::pair<LineKey, LineKey>> ring;
    std::vector<RunOnSegment> reached;
};

// The cells of the ring about window t within the grid of rows x cols:
// those of its part (table_part) not in it, row after row.
std::vector<std::pair<int, int>> ring_cells(const WindowTable& t, int rows, int cols);

// Into a part's segments (those of its lines that meet it, Segments::numbers
// set), the table's run-ons and the segments its ring reaches the part
// from, each at its place by number; the levels' codes made again where
// they bring levels the part's lines do not have.
void take_table_segments(Segments& segs, const WindowTable& table);

// The ring's keys by the part's segments (Segments::numbers), each cell at
// its place in part p; nullopt where a key's segment is not among them.
std::optional<PartRing> ring_in_part(const WindowTable& t, const Segments& segs);

// The part of the grid a window's table is for: the window and the table's
// margin round it, within the grid of rows x cols.
GridPart table_part(const WindowTable& t, int rows, int cols);

// Tables to make (a whole grid's fill: `windows` gives the windows of a
// grid of so many rows and columns, each's table goes into `made`), or the
// one a window's fill takes.
struct FillTables {
    using Windows = std::function<std::vector<WindowTable>(int rows, int cols)>;
    Windows windows;
    std::vector<WindowTable>* made = nullptr;
    const WindowTable* given = nullptr;
    // the tables made strip by strip (strip_tables.h) by a run that fills nothing
    bool by_strips = false;
};

// The table of window t (its cells set) of the whole grid's fill: its
// ring's keys, the bands beyond its cells' contours, its pieces of areas.
// The fill's nearest levels g (the cells of areas marked with their
// number), its bands and its areas.
void tabulate_window(WindowTable& t, const Segments& segs, const NearLines& g, const std::vector<FarBand>& beyond,
                     const std::vector<Area>& areas);
// The same from the keys of the whole grid's cells (i, j) of rows x cols,
// by the whole grid's segments (an area's cells marked with its number);
// where area_of_piece is given, each piece's area's number is put there.
using CellKeys = std::function<std::pair<LineKey, LineKey>(int i, int j)>;
void tabulate_window(WindowTable& t, const Segments& segs, const CellKeys& keys, int rows, int cols,
                     const std::vector<FarBand>& beyond, const std::vector<Area>& areas,
                     std::vector<std::size_t>* area_of_piece = nullptr);

// In a part of the grid, the bands and the areas of the whole grid's fill
// from the table of the window `keep` names, into beyond and areas, and
// the cells of areas marked (those beyond the table's pieces take a flat
// area of their own); the kept cells that the part cannot vouch for: all
// of them where the table is not the part's.
long long take_window_table(const WindowTable& t, const KeptCells& keep, const Segments& segs, NearLines& g,
                            std::vector<FarBand>& beyond, std::vector<Area>& areas);

// The tables of a grid's windows as a file holds them (a window's fill of
// other lines than theirs is refused: it makes as many segments).
std::string encode_tables(const std::vector<WindowTable>& tables);

// From the start of such a file (at least kTableHead bytes, more as asked):
// where the table of the window at rows i0.., columns j0.. of nb_lig by
// nb_col cells lies in it, or why none does.
struct TablePlace {
    std::uint64_t segments = 0;
    std::uint64_t offset = 0, bytes = 0;
    int margin = 0;
};
constexpr std::size_t kTableHead = 24;
// The index's size, from the head.
std::optional<std::uint64_t> table_index_bytes(const std::string& head);
std::optional<TablePlace> find_table(const std::string& head_and_index, int i0, int j0, int nb_lig, int nb_col);
// The table from its bytes; nullopt when they are not one.
std::optional<WindowTable> decode_table(const std::string& bytes);

}  // namespace zorvel

#endif

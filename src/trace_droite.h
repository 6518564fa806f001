// The segment walk that draws a contour segment into the elevation grid.
#ifndef ZORVEL_TRACE_DROITE_H
#define ZORVEL_TRACE_DROITE_H

namespace zorvel {

// The grid a segment is drawn into: rows 0..nb_rows-1, columns 0..nb_cols-1.
struct ElevationGrid {
    double** dtab;
    int nb_rows;
    int nb_cols;
};

// A cell as the vertex step computes it: whole numbers held in doubles, since
// a turned vertex may lie far outside any grid; NaN when it has no position.
struct Cell {
    double i;
    double j;
};

// Writes alti into every cell of the walk from (ideb, jdeb) to (ifin, jfin),
// both included, the end cell last; cells outside the grid are not written.
void trace_droite(const ElevationGrid& g, int ideb, int jdeb, int ifin, int jfin, double alti);

// The same for cells anywhere: the walk is cut to the grid, so its cost
// follows the cells it can draw, not the length of the segment.
void trace_segment(const ElevationGrid& g, Cell deb, Cell fin, double alti);

}  // namespace zorvel

#endif

// The segment walk that draws a contour segment into the elevation grid.
#ifndef ZORVEL_TRACE_DROITE_H
#define ZORVEL_TRACE_DROITE_H

namespace zorvel {

// The cells a segment is drawn into: rows 0..nb_rows-1, columns 0..nb_cols-1,
// holding elevations (double) or codes standing for them.
template <typename T>
struct DrawTarget {
    T** dtab;
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
template <typename T>
void trace_droite(const DrawTarget<T>& g, int ideb, int jdeb, int ifin, int jfin, T alti);

// The same for cells anywhere: the walk is cut to the grid, so its cost
// follows the cells it can draw, not the length of the segment.
template <typename T>
void trace_segment(const DrawTarget<T>& g, Cell deb, Cell fin, T alti);

extern template void trace_droite(const DrawTarget<double>&, int, int, int, int, double);
extern template void trace_droite(const DrawTarget<unsigned short>&, int, int, int, int, unsigned short);
extern template void trace_droite(const DrawTarget<unsigned char>&, int, int, int, int, unsigned char);
extern template void trace_segment(const DrawTarget<double>&, Cell, Cell, double);
extern template void trace_segment(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
extern template void trace_segment(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);

}  // namespace zorvel

#endif

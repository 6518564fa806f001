// The segment walk that draws a contour segment into the elevation grid.
//
// The walk goes from the start cell to the end cell one step at a time: one
// coordinate moves by exactly one cell per step, the other by a fraction, and
// the running position is accumulated in doubles and rounded to a cell at
// every step. A segment whose end lies far outside the grid would take as
// many steps as it is long; for those the walk jumps, exactly, to the steps
// that can fall inside the grid (see grid_span).
#ifndef ZORVEL_TRACE_DROITE_H
#define ZORVEL_TRACE_DROITE_H

namespace zorvel {

// The cells a segment is drawn into: rows i0..i0+nb_rows-1 and columns
// j0..j0+nb_cols-1 of the grid the cells are counted in (a window on it, or
// all of it from 0), held from dtab[0][0] on, as elevations (double) or codes
// standing for them.
template <typename T>
struct DrawTarget {
    T** dtab;
    int nb_rows;
    int nb_cols;
    int i0 = 0;
    int j0 = 0;
};

// A cell as the vertex step computes it: whole numbers held in doubles, since
// a turned vertex may lie far outside any grid; NaN when it has no position.
struct Cell {
    double i;
    double j;
};

// The steps of a walk that can fall inside a grid: the running position at
// the first of them, the step added each time, and how many there are.
struct WalkSpan {
    double i, j;
    double di, dj;
    long long steps;  // 0: the walk never enters the grid
};

// The part of the walk from deb to fin (the start cell excluded) that lands
// inside the rows i0..i0+nb_rows-1 and columns j0..j0+nb_cols-1, found
// without taking the steps outside them; its cost follows the window's
// size, not the segment's length.
WalkSpan grid_span(Cell deb, Cell fin, int nb_rows, int nb_cols, int i0 = 0, int j0 = 0);

// Writes alti into every cell of the walk from (ideb, jdeb) to (ifin, jfin),
// both included, the end cell last; cells outside the grid are not written.
template <typename T>
void trace_droite(const DrawTarget<T>& g, int ideb, int jdeb, int ifin, int jfin, T alti);

// The same for cells anywhere; NaN or infinite cells draw nothing.
template <typename T>
void trace_segment(const DrawTarget<T>& g, Cell deb, Cell fin, T alti);

// A segment to a neighbouring cell or within one, both ends in the grid, as
// most segments of a contour line are: the walk draws its two ends, start
// first, and so does this, without the walk. False, drawing nothing, for
// any other segment.
template <typename T>
inline bool neighbour_step(const DrawTarget<T>& g, Cell deb, Cell fin, T alti) {
    const double di = deb.i - g.i0, dj = deb.j - g.j0, fi = fin.i - g.i0, fj = fin.j - g.j0;
    // NaN fails every comparison
    const bool near = fin.i - deb.i <= 1.0 && deb.i - fin.i <= 1.0 && fin.j - deb.j <= 1.0 && deb.j - fin.j <= 1.0;
    const bool in = di >= 0 && dj >= 0 && fi >= 0 && fj >= 0 && di < g.nb_rows && fi < g.nb_rows && dj < g.nb_cols &&
                    fj < g.nb_cols;
    if (!(near && in)) return false;
    g.dtab[static_cast<int>(di)][static_cast<int>(dj)] = alti;
    g.dtab[static_cast<int>(fi)][static_cast<int>(fj)] = alti;
    return true;
}

// The two ways trace_segment takes a walk: step by step, whatever its
// length, and jumping to the part inside the grid. Both draw the same cells.
template <typename T>
void plain_walk(const DrawTarget<T>& g, Cell deb, Cell fin, T alti);
template <typename T>
void bounded_walk(const DrawTarget<T>& g, Cell deb, Cell fin, T alti);

extern template void trace_droite(const DrawTarget<double>&, int, int, int, int, double);
extern template void trace_droite(const DrawTarget<unsigned short>&, int, int, int, int, unsigned short);
extern template void trace_droite(const DrawTarget<unsigned char>&, int, int, int, int, unsigned char);
extern template void trace_segment(const DrawTarget<double>&, Cell, Cell, double);
extern template void trace_segment(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
extern template void trace_segment(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);
extern template void plain_walk(const DrawTarget<double>&, Cell, Cell, double);
extern template void plain_walk(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);
extern template void bounded_walk(const DrawTarget<double>&, Cell, Cell, double);
extern template void bounded_walk(const DrawTarget<unsigned short>&, Cell, Cell, unsigned short);
extern template void bounded_walk(const DrawTarget<unsigned char>&, Cell, Cell, unsigned char);

}  // namespace zorvel

#endif

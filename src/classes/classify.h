// Class numbers into the class grid, and the corner cells of right-angle turns taken out.
#ifndef ZORVEL_CLASSIFY_H
#define ZORVEL_CLASSIFY_H

#include <climits>
#include <vector>

#include "classes/classes.h"
#include "geometry/elevation_grid.h"
#include "base/grid.h"
#include "base/progress.h"
#include "base/report.h"

namespace zorvel {

// The class grid, and the drawn cells it leaves without a class although
// they hold an elevation: their whole elevation is no class value (the last
// class value, which the table lists and no cell takes, is no loss).
struct Classified {
    Grid<unsigned char> tab;
    long long unclassified = 0;
};

// The cells whose losses a classification counts: rows [i0, i1) and
// columns [j0, j1). A window's own, where its grid holds a margin around it
// that is not written (another window's cells); every cell by default.
struct CountedCells {
    int i0 = 0, i1 = INT_MAX, j0 = 0, j1 = INT_MAX;
    bool all() const { return i0 <= 0 && j0 <= 0 && i1 == INT_MAX && j1 == INT_MAX; }
    bool within(int i, int j) const { return i >= i0 && i < i1 && j >= j0 && j < j1; }
};

// The class grid tab of nb_lig rows and nb_col columns: every cell gets the
// class whose value is the whole elevation of its dtab cell, reported every
// 200 rows. A grid of one-byte codes becomes tab in place and is taken from
// dtab; tab is empty when it cannot be had.
Classified class_assignment(Report& report, ElevationGrid& dtab, int nb_lig, int nb_col, const ClassTable& ct,
                            const ProgressPart& progress = {}, const CountedCells& counted = {});

// The class grid of a filled surface (alti: nb_lig rows by nb_col columns,
// row after row): a cell takes the class of the band its elevation falls
// in, class k from its value tabord[k] up to the next; cells without an
// elevation, and those beyond the bands (counted as unclassified), stay empty.
Classified band_assignment(const std::vector<double>& alti, int nb_lig, int nb_col, const ClassTable& ct,
                           const CountedCells& counted = {});

// Empties every interior cell whose only neighbours of its class are two
// orthogonal ones at a right angle (masks 10, 40, 160 and 130).
void corner_cleanup(Grid<unsigned char>& tab, int nb_lig, int nb_col);

}  // namespace zorvel

#endif

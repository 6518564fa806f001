// What a run tells as it goes, besides its questions and its stops: the
// grids it sizes, the polylines it meets, the rows it classifies. The
// dialogue shows it on the console; this one, the command line's, keeps it
// to itself.
#ifndef ZORVEL_REPORT_H
#define ZORVEL_REPORT_H

#include "base/extents.h"

namespace zorvel {

class Report {
public:
    virtual ~Report() = default;
    // Pass one sized a first grid.
    virtual void first_approximation(int /*nb_lig*/, int /*nb_col*/) {}
    // Pass two sized the final grid with the rotated pixel size.
    virtual void second_approximation(double /*pix_size*/, int /*nb_lig*/, int /*nb_col*/) {}
    // A pass met its polyline number segm.
    virtual void polyline(int /*segm*/) {}
    // Pass one ended: its polylines, the elevation range and the header's extents.
    virtual void pass_one(int /*segm*/, double /*min_dyn*/, double /*max_dyn*/, const Extents& /*ext*/) {}
    // Classification starts, and has done the rows up to `row` (counted from 1).
    virtual void classifying() {}
    virtual void classified_rows(int /*row*/) {}
    // No cell got a class: the image is empty.
    virtual void empty_image() {}
};

}  // namespace zorvel

#endif

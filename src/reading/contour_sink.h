// The seam between reading a drawing and using its contours: what a pass is
// told, in the order of the drawing, whoever reads it (the word scanner, or
// the log of an earlier reading).
#ifndef ZORVEL_CONTOUR_SINK_H
#define ZORVEL_CONTOUR_SINK_H

#include "base/extents.h"

namespace zorvel {

class ContourSink {
public:
    virtual ~ContourSink() = default;
    // $EXTMAX has given its maximum Y (code 20) and the code after it: the
    // grid can be sized. False stops the pass.
    virtual bool max_y_read(const Extents&) { return true; }
    // A group of $EXTMIN or $EXTMAX has been read: the extents may have changed.
    virtual bool extents_read(const Extents&) { return true; }
    // A polyline begins.
    virtual void polyline() {}
    // A vertex of the current polyline. False stops the pass.
    virtual bool vertex(double x, double y, double z) = 0;
};

}  // namespace zorvel

#endif

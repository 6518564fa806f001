// The drawing extents of the header's $EXTMIN and $EXTMAX.
#ifndef ZORVEL_EXTENTS_H
#define ZORVEL_EXTENTS_H

namespace zorvel {

// In drawing units; 0.0 until the header sets them.
struct Extents {
    double min_x = 0.0, min_y = 0.0, min_alt = 0.0;
    double max_x = 0.0, max_y = 0.0, max_alt = 0.0;
};

}  // namespace zorvel

#endif

// The ground across a band between two contours of different levels: a
// cubic from one level to the other whose slope at each contour comes from
// the band beyond it, so that the slope runs on across the contour, taken
// at a fraction of the way across drawn towards the middle where the ground
// is rough; it never leaves the band.
#ifndef ZORVEL_BAND_PROFILE_H
#define ZORVEL_BAND_PROFILE_H

namespace zorvel {

// b - a, halved first: it never passes the doubles' range.
inline double half_difference(double b, double a) { return b / 2 - a / 2; }

// One end of a band, at a contour: the slope there as a multiple of the
// band's own, and how much faster than that the ground leaves the contour.
struct BandEnd {
    double slope = 1.0;
    double steeper = 0.0;
};

// The end at a contour beyond which lies another band: r is the slope of
// the band beyond over this band's (not above 0 where they fall different
// ways), w its width over this band's. With nothing beyond, a band carries
// its own slope across (BandEnd{}).
BandEnd band_end(double r, double w);

// The level of a cell a fraction t of the way from the contour at va (end
// a) to the one at vb (end b): strictly between the two for t strictly
// between 0 and 1.
double across_band(double va, double vb, double t, const BandEnd& a, const BandEnd& b);

}  // namespace zorvel

#endif

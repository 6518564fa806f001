// The contour lines in one geometry of a GeoPackage, read from its blob as
// stored (a short header, then well-known binary) the way the OGR route
// reads the same geometry: every line string, ring and part in order, each
// vertex with its own Z or the feature's elevation. What GDAL might read
// otherwise (another header, a curve, a surface, a geometry cut short) is
// not read here, but left to GDAL.
#ifndef ZORVEL_GPKG_BLOB_H
#define ZORVEL_GPKG_BLOB_H

#include <cstddef>

#include "reading/contour_sink.h"

namespace zorvel {

enum class BlobLines {
    told,        // its lines went to the sink (none, for points with Z)
    empty,       // an empty geometry: nothing told, whatever its dimensions
    no_z,        // a line without Z, or a geometry without any: nothing told
    not_finite,  // a line's Z that is NaN or infinite: nothing told
    gdal,        // not read here, GDAL's to read or refuse: nothing told
    stopped,     // the sink stopped it
};

// What the reading of blobs adds up, and what stopped it.
struct BlobTally {
    long long zero_z = 0;     // vertices at Z 0 in lines whose other vertices are not
    double non_finite = 0.0;  // the Z of a not_finite blob
};

// Tells the sink the lines of the blob's geometry, once it is checked whole:
// each vertex at its own Z, or at `elevation` where one is given (a
// feature's attribute), whatever Z the lines have or lack.
BlobLines tell_blob_lines(const unsigned char* blob, std::size_t size, ContourSink& sink, BlobTally& tally,
                          const double* elevation = nullptr);

}  // namespace zorvel

#endif

// The contour lines in one geometry of a GeoPackage, read from its blob as
// stored (a short header, then well-known binary) the way the OGR route
// reads the same geometry: every line string, ring and part in order, each
// vertex with its own Z.
#ifndef ZORVEL_GPKG_BLOB_H
#define ZORVEL_GPKG_BLOB_H

#include <cstddef>

#include "reading/contour_sink.h"

namespace zorvel {

enum class BlobLines {
    told,        // its lines went to the sink (none, for points with Z)
    empty,       // an empty geometry: nothing told, whatever its dimensions
    no_z,        // vertices without Z: nothing told
    unreadable,  // cut short, of a kind not read here (curves, surfaces), or not a geometry: nothing told
    stopped,     // the sink stopped it
};

// Tells the sink the lines of the blob's geometry; zero_z grows by the
// vertices at Z 0 in lines whose other vertices are not.
BlobLines tell_blob_lines(const unsigned char* blob, std::size_t size, ContourSink& sink, long long& zero_z);

}  // namespace zorvel

#endif

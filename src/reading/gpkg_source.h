// A GeoPackage layer of plain lines read through SQLite itself: the
// features in the order the OGR route reads them, their geometries from
// the blobs as stored, while GDAL loads on a thread of its own for the
// layer's coordinate system. Only where nothing can read differently: no
// -where, one features table of lines with Z (or of any lines, with -a
// naming a REAL, DOUBLE or INTEGER column) and its extents in
// gpkg_contents; anything else is GDAL's to read.
#ifndef ZORVEL_GPKG_SOURCE_H
#define ZORVEL_GPKG_SOURCE_H

#include <memory>
#include <string>

#include "reading/ogr_source.h"

namespace zorvel {

// The layer read directly, GDAL opening it meanwhile (for its coordinate
// system, and for a read within a window); nullptr when the file is not
// such a GeoPackage, or GDAL's module is not there, or this build has no
// SQLite: the caller opens it through GDAL.
std::unique_ptr<OgrSource> open_gpkg_directly(const std::string& path, const OgrOptions& o);

}  // namespace zorvel

#endif

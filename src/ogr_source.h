// Contour lines from any vector source GDAL/OGR reads (a modern DXF, a
// GeoPackage, a Shapefile, GeoJSON): every line string becomes a polyline
// of the drawing pass, each vertex with the elevation its Z or an attribute
// gives. Built only with GDAL; without it, ogr_available() says so.
#ifndef ZORVEL_OGR_SOURCE_H
#define ZORVEL_OGR_SOURCE_H

#include <memory>
#include <optional>
#include <string>

#include "console.h"
#include "contour_sink.h"
#include "extents.h"

namespace zorvel {

struct OgrOptions {
    std::string layer;  // -l: empty for the first layer
    std::string where;  // -where: an attribute filter
    std::string field;  // -a: the elevation from this attribute; empty: from Z
    bool z = false;     // -3d: from Z (the default when the geometries have it)
};

// Whether this build reads sources through GDAL/OGR.
bool ogr_available();

// The coordinate system a user names (EPSG:25830, a WKT, a PROJ string) as
// WKT; empty, with why, when GDAL does not know it.
std::string srs_wkt(const std::string& user, std::string& why);

class OgrSource {
public:
    // Opens the source's layer with its filter; nullptr, after a stop line
    // naming what is wrong, when it cannot be read as contours.
    static std::unique_ptr<OgrSource> open(Console& con, const std::string& path, const OgrOptions& o);
    virtual ~OgrSource() = default;

    // The layer's extents, and its coordinate system as WKT (empty when it has none).
    virtual const Extents& extents() const = 0;
    virtual const std::string& wkt() const = 0;
    // Tells the sink every line string of the layer as a polyline with its
    // vertices, in order; false, after a stop line, when the sink stopped
    // it or a feature cannot be read.
    virtual bool read(Console& con, ContourSink& sink) = 0;
};

}  // namespace zorvel

#endif

// A plain GeoTIFF written here, without GDAL: one band of Byte (with its
// palette), Float32 or Float64 cells in strips, uncompressed, placed by its
// geotransform, its coordinate system named by an EPSG code, its nodata and
// metadata where GDAL keeps them, and its class names in the sidecar where
// GDAL's driver puts them. GDAL reads it as the file its own GeoTIFF
// driver writes from the same raster without creation options (a test
// holds the two to each other); loading GDAL for it took longer than many
// a whole run.
#ifndef ZORVEL_GEOTIFF_H
#define ZORVEL_GEOTIFF_H

#include <cstdio>
#include <optional>
#include <string>

#include "reading/ogr_source.h"

namespace zorvel {

// Whether r is such a raster: GeoTIFF's, without creation options, colours
// of a byte each (at most 256), its metadata text XML can hold.
bool plain_geotiff(const RasterOut& r);

// The sidecar GDAL's driver writes beside such a raster (OUTPUT.aux.xml)
// for its category names; empty where it has none.
std::string category_names_xml(const RasterOut& r);

// Writes r (plain_geotiff) to f in the coordinate system crs (none when
// nullopt; r.wkt is not read); false, with why (the system's reason), when
// a write fails. A BigTIFF where `big` says so, or by default (as GDAL's
// driver) where the cells take more than a TIFF's offsets reach.
bool write_geotiff(std::FILE* f, const RasterOut& r, const std::optional<EpsgSystem>& crs, std::string& why,
                   std::optional<bool> big = std::nullopt);

}  // namespace zorvel

#endif

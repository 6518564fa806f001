// The rasters GDAL writes, inside the GDAL module: which driver writes what,
// what a driver would not hold, and the writing itself, read back and
// compared before it is kept.
#ifndef ZORVEL_GDAL_RASTER_H
#define ZORVEL_GDAL_RASTER_H

#include <string>
#include <vector>

#include "reading/ogr_source.h"

class GDALDriver;

namespace zorvel {

// GDAL's driver of that name when it writes raster files, else nullptr.
GDALDriver* writing_driver(const std::string& name);
bool raster_driver_writes_here(const std::string& name);
// The driver that writes files of path's extension; empty when none.
std::string raster_driver_of(const std::string& path);
// Why the driver cannot be given such an image, before anything is read:
// a type it does not create, creation options it does not list or take,
// or a sample of such cells that does not come back as written; empty when
// it can.
std::string raster_refusal(const RasterOut& sample);
// Writes r, reads it back through GDAL and compares its size, place,
// nodata and cells; false, with why, when GDAL fails or anything differs.
// warnings: GDAL's warnings meanwhile, each once with its count.
bool write_gdal_raster(const RasterOut& r, std::vector<std::string>& warnings, std::string& why);

}  // namespace zorvel

#endif

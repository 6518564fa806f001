// The VRT that mosaics the images of a grid's windows into the whole grid's
// raster: its place, coordinate system, nodata, colours and class names.
#ifndef ZORVEL_MOSAIC_VRT_H
#define ZORVEL_MOSAIC_VRT_H

#include <array>
#include <string>
#include <vector>

#include "base/cell_type.h"
#include "classes/classes.h"

namespace zorvel {

// One window's image: where it lies in the whole grid, and the file the
// mosaic reads (beside the VRT).
struct MosaicTile {
    int xoff, yoff, xsize, ysize;
    std::string file;
};

// The whole grid: its size, its geotransform and coordinate system (WKT,
// or empty); its cells' type (Byte for classes)
// and nodata; the classes, for a class image.
struct MosaicGrid {
    int rows, cols;
    std::array<double, 6> geotransform;
    std::string wkt;
    CellType type;
    double nodata;
    const ClassTable* classes;  // nullptr for elevations
};

// The VRT's text.
std::string mosaic_vrt(const MosaicGrid& grid, const std::vector<MosaicTile>& tiles);

}  // namespace zorvel

#endif

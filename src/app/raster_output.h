// The command line's output as one raster that GDAL writes: its format, and
// the image's cells, place, classes or elevations handed to the writer.
#ifndef ZORVEL_RASTER_OUTPUT_H
#define ZORVEL_RASTER_OUTPUT_H

#include <string>
#include <vector>

#include "app/options.h"
#include "classes/classes.h"
#include "output/envi_header.h"
#include "output/output.h"
#include "reading/ogr_source.h"

namespace zorvel {

// The raster format the command line writes through GDAL: -of's, or the one
// OUTPUT's extension asks for; empty for ENVI's four files.
std::string raster_format(const CommandLine& cl);

// What the image holds: its cells (classes), the grid's elevations (nb_col
// a row) where it is of them, and the classes' table.
struct ImageCells {
    const CroppedImage& image;
    const std::vector<double>& alti;
    int nb_col;
    const ClassTable& classes;
};

// The raster GDAL writes to temp in the format driver: the image's cells,
// place, classes or elevations.
RasterOut raster_of(const CommandLine& cl, const ImageCells& cells, const std::string& driver, const std::string& temp,
                    const std::string& wkt, const ImagePlace& place);

// A small image of the cells the command line would write (classes with
// their colours and names, or elevations with their nodata), placed as its
// options place the grid, for the format to be tried on before the source
// is read.
struct SampleRaster {
    SampleRaster(const CommandLine& cl, const std::string& driver, const std::string& path, const std::string& wkt);
    SampleRaster(const SampleRaster&) = delete;
    SampleRaster& operator=(const SampleRaster&) = delete;

    std::vector<unsigned char> bytes;  // the cells, row after row
    std::vector<double> values;
    RasterOut out;                     // its rows point into them
};

}  // namespace zorvel

#endif

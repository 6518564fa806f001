// The command line's output as one raster that GDAL writes: its format, and
// the image's cells, place, classes or elevations handed to the writer.
#ifndef ZORVEL_RASTER_OUTPUT_H
#define ZORVEL_RASTER_OUTPUT_H

#include <string>

#include "app/options.h"
#include "app/run_state.h"
#include "output/envi_header.h"
#include "reading/ogr_source.h"

namespace zorvel {

// The raster format the command line writes through GDAL: -of's, or the one
// OUTPUT's extension asks for; empty for ENVI's four files.
std::string raster_format(const CommandLine& cl);

// The raster GDAL writes to temp in the format driver: the image's cells,
// place, classes or elevations.
RasterOut raster_of(const CommandLine& cl, const RunState& done, const std::string& driver, const std::string& temp,
                    const std::string& wkt, const ImagePlace& place);

}  // namespace zorvel

#endif

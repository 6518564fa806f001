// The header that puts the raw image on the map: an ENVI header, which GDAL
// and QGIS open the raw image through, with the image's size, its classes
// and the exact place and size of its cells.
#ifndef ZORVEL_ENVI_HEADER_H
#define ZORVEL_ENVI_HEADER_H

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "classes/classes.h"
#include "base/console.h"
#include "base/extents.h"
#include "base/files.h"
#include "geometry/grid_geometry.h"
#include "output/output.h"

namespace zorvel {

// Where the written image lies in the grid, and the grid on the map.
struct ImagePlace {
    int nb_lig3, nb_col3;  // the image
    int min_i, min_j;      // its first row and column in the grid
    int nb_lig, nb_col;    // the grid
    double pix_size;       // the grid's cell size, the rotated one
    double min_x, min_y;   // the extents' minimum
    RotationChoice turn;
};

// The files of an image written as ENVI's for OUTPUT: the raw image, the
// descriptor, the table and the header.
std::vector<std::string> output_paths(const std::string& output);

// The geotransform of the image: the map point of the corner of pixel
// (column c, row r) is (t[0] + c t[1] + r t[2], t[3] + c t[4] + r t[5]).
// A cell holds the map points whose grid position, turned about the grid
// centre as the vertices are, rounds to it.
std::array<double, 6> image_geotransform(const ImagePlace& p);

// The name and the colour (red, green, blue, alpha) of every value a byte of
// a class image can hold: the classes of the table named by their
// elevations, 0 and the values no cell takes, 255 for no contour.
std::vector<std::string> class_names(const ClassTable& ct);
std::vector<std::array<int, 4>> class_colours(const ClassTable& ct);

// Text as XML holds it (the VRT's, a GeoTIFF's metadata): & < > as
// entities, and " too where `quotes`.
std::string xml_text(const std::string& s, bool quotes = true);

// Writes the header to f and closes it; false, after a stop line naming
// path, on failure. drawing names the source in the description; wkt, when
// not empty, is the coordinate system; values, when given, makes it the
// header of an image of elevations.
bool write_envi_header(Console& con, FileHandle& f, const std::string& path, const ImagePlace& p,
                       const ClassTable& ct, const std::string& drawing, const std::string& wkt,
                       const std::optional<ValueImage>& values = std::nullopt);

}  // namespace zorvel

#endif

// The correspondence table, the crop of the class grid, the descriptor text
// and the raw image.
#ifndef ZORVEL_OUTPUT_H
#define ZORVEL_OUTPUT_H

#include <optional>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/cell_type.h"
#include "base/extents.h"
#include "base/files.h"
#include "base/grid.h"
#include "base/report.h"
#include "classes/classes.h"

namespace zorvel {

// The value of the cells without an elevation in an image of elevations.
constexpr double kElevationNodata = -9999.0;

// An image of elevations: the type its cells are written as (Float32 or
// Float64) and the value of the cells without one.
struct ValueImage {
    CellType type;
    double nodata;
};

// Writes " k value " lines to f3d and closes it; false, after a stop line
// naming path, on a write error.
bool write_table(Console& con, FileHandle& f3d, const std::string& path, const ClassTable& ct);

// The rows and columns kept by the crop.
struct Crop {
    bool empty;  // no occupied cell at all
    int min_i, max_i, min_j, max_j;
};

// The occupied rectangle of tab; the bounds start at 10000 and 0, so a grid
// whose first occupied row or column lies beyond 10000 keeps the empty ones from 10000 on.
Crop bounding_box(const Grid<unsigned char>& tab, int nb_lig, int nb_col);

// What the descriptor tells besides the image's size.
struct DescriptorValues {
    int val_minimo;
    int val_maximo;
    double size_pix;  // as typed
    Extents ext;      // as the header gives them
};

// The cropped class grid: nb_lig3 rows by nb_col3 columns from row min_i and
// column min_j of tab, a window on it.
struct CroppedImage {
    int nb_lig3 = 0;
    int nb_col3 = 0;
    int min_i = 0;
    int min_j = 0;
    Grid<unsigned char> tab3;
};

// Crops tab (nb_lig rows by nb_col columns) to the cells with a class, or
// keeps it whole (crop false), or keeps the rectangle `keep` when given, reports an empty image, and writes the
// descriptor to f2d, when open, which it closes; nullopt, after a stop line
// naming path, on failure.
std::optional<CroppedImage> extraction(Console& con, Report& report, const Grid<unsigned char>& tab, int nb_lig,
                                       int nb_col, const DescriptorValues& dv, FileHandle& f2d,
                                       const std::string& path, bool crop = true, const Crop* keep = nullptr);

// Writes tab3 as the raw image to f2, one row after the other, and closes
// it; false, after a stop line naming path, on failure.
bool save(Console& con, const CroppedImage& image, FileHandle& f2, const std::string& path);

// Writes the elevations of the image's cells, taken from alti (the grid's
// nb_col cells a row, -999 where none), as the raw image in the type asked,
// little-endian, the cells without one as its nodata value; closes f2.
bool save_values(Console& con, const CroppedImage& image, const std::vector<double>& alti, int nb_col,
                 const ValueImage& v, FileHandle& f2, const std::string& path);

}  // namespace zorvel

#endif

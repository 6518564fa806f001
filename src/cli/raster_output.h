// The command line's output as one raster that GDAL writes: its format, the
// image's cells, place, classes or elevations handed to the writer, and the
// files GDAL writes, from a folder of their own to their names.
#ifndef ZORVEL_RASTER_OUTPUT_H
#define ZORVEL_RASTER_OUTPUT_H

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/files.h"
#include "base/messages.h"
#include "cli/options.h"
#include "cli/sheets.h"
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

// Writes the QGIS style of the class image (its classes' table, filled
// bands or contours) to f and closes it; false after a stop line.
bool write_style(Console& con, FileHandle& f, const std::string& path, const CroppedImage& image,
                 const ClassTable& classes, bool bands);

// A raster GDAL writes, from its folder of its own to its name.
class GdalRaster {
public:
    GdalRaster(const CommandLine& cl, std::string format) : cl_(cl), format_(std::move(format)) {}
    // The folder GDAL writes in; false after a stop line.
    bool prepare(Console& con, PendingOutputs& pending) { return pending.create_folder(con, cl_.output, folder_); }
    // Why the format cannot hold such cells, in the coordinate system wkt,
    // tried there on a sample of them; empty when it can.
    std::string refusal(const std::string& wkt) {
        SampleRaster sample(cl_, format_, in_folder(), wkt);
        sample.out.shown = cl_.output;
        std::string refused = raster_refusal(sample.out);
        empty_folder(folder_);
        return refused;
    }
    // Writes the raster, read back and compared, and takes every file GDAL
    // wrote into the outputs; false after a stop line (late_refusal: a
    // file of the set exists, without --overwrite).
    bool write(Console& con, PendingOutputs& pending, RasterOut r) {
        r.path = in_folder();
        r.shown = cl_.output;
        std::vector<std::string> warnings;
        std::string why;
        const bool written = write_raster(r, warnings, why);
        for (const std::string& w : warnings) warn_line(con, "GDAL (" + format_ + "): " + w);
        if (!written) {
            stop_line(con, why);
            return false;
        }
        files_ = pending.adopt_folder(folder_);
        for (const std::string& p : files_)
            if (!cl_.overwrite && path_exists(p)) {
                stop_line(con, T_("ya existe ") + p + T_(": use --overwrite para reemplazarlo"));
                late_refusal = true;
                return false;
            }
        // a sidecar of an earlier raster would describe this one wrongly
        const std::string aux = cl_.output + ".aux.xml";
        if (std::find(files_.begin(), files_.end(), aux) == files_.end() && path_exists(aux)) pending.retire(aux);
        return true;
    }
    // The files written, once they are.
    const std::vector<std::string>& files() const { return files_; }
    bool late_refusal = false;

private:
    std::string in_folder() const { return folder_ + "/" + std::filesystem::path(cl_.output).filename().string(); }
    const CommandLine& cl_;
    std::string format_;
    std::string folder_;
    std::vector<std::string> files_;
};

}  // namespace zorvel

#endif

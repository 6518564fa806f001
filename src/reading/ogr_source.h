// Contour lines from any vector source GDAL/OGR reads (a modern DXF, a
// GeoPackage, a Shapefile, GeoJSON): every line string becomes a polyline
// of the drawing pass, each vertex with the elevation its Z or an attribute
// gives. The reading lives in a module of its own (zorvel_raster_ogr), built
// only with GDAL and loaded only when a source needs it: the old-style DXF
// and the dialogue never pay GDAL's start-up, and the program runs where
// GDAL is not installed.
#ifndef ZORVEL_OGR_SOURCE_H
#define ZORVEL_OGR_SOURCE_H

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/cell_type.h"
#include "base/messages.h"
#include "reading/contour_sink.h"
#include "base/extents.h"

namespace zorvel {

struct OgrOptions {
    std::string layer;  // -l: empty for the first layer
    std::string where;  // -where: an attribute filter
    std::string field;  // -a: the elevation from this attribute; empty: from Z
    bool z = false;     // -3d: from Z (the default when the geometries have it)
};

// Whether sources are read through GDAL/OGR here: the module is built and
// loads. The first call loads it.
bool ogr_available();
// Whether the module is where the loader looks; nothing is loaded.
bool ogr_module_in_place();
// Why not, in a few words ("esta version se compilo sin GDAL", or what
// the loader said); empty when it is.
const std::string& ogr_unavailable_why();

// The coordinate system a user names (EPSG:25830, a WKT, a PROJ string) as
// WKT; empty, with why, when GDAL does not know it.
std::string srs_wkt(const std::string& user, std::string& why);

// A coordinate system known by its EPSG code, geographic or projected.
struct EpsgSystem {
    int code = 0;
    bool geographic = false;
};

// The system a WKT states where it is an EPSG system itself, geographic or
// projected: its own authority (the last, closing the WKT) EPSG, with a
// code a GeoTIFF key holds (1 to 32766; those above are its user-defined
// ones); nullopt otherwise.
std::optional<EpsgSystem> epsg_system(std::string wkt);

class OgrSource {
public:
    // Opens the source's layer with its filter; nullptr, after a stop line
    // naming what is wrong, when it cannot be read as contours.
    static std::unique_ptr<OgrSource> open(Console& con, const std::string& path, const OgrOptions& o);
    // The same, with why in place of the stop line.
    static std::unique_ptr<OgrSource> open(const std::string& path, const OgrOptions& o, std::string& why);
    virtual ~OgrSource() = default;

    // The layer's extents, and its coordinate system as WKT (empty when it has none).
    virtual const Extents& extents() const = 0;
    virtual const std::string& wkt() const = 0;
    // Waits for what the source learns while it is read (a GeoPackage read
    // directly learns its coordinate system from GDAL, loaded meanwhile);
    // false, with why, when that failed. wkt() holds once this is true.
    virtual bool settle(std::string&) { return true; }
    // The layer's coordinate system as an EPSG code (epsg_system) where the
    // source knows it before settle(), without GDAL (a GeoPackage read
    // directly); nullopt otherwise, wkt() telling it where GDAL reads.
    virtual std::optional<EpsgSystem> epsg() const { return std::nullopt; }
    // From now on GDAL loads only for a read that needs it, not beside the
    // reading for wkt(): the caller asks neither wkt() nor settle().
    virtual void without_gdal() {}
    // Tells the sink every line string of the layer as a polyline with its
    // vertices, in order; false when the sink stopped it (why left empty:
    // the sink said why) or when the source cannot be read whole (why:
    // GDAL's reason, or the feature without an elevation).
    virtual bool read(ContourSink& sink, std::string& why) = 0;
    // After a read that was false with why empty: true when the source
    // stopped to be read another way, from the start (what it told is to
    // be forgotten, and the read made again).
    virtual bool read_again() const { return false; }
    // From now on read tells only the features whose lines may cross the
    // map rectangle box, in the order a whole read tells them, where the
    // format reads its features in the order of their ids (GeoPackage,
    // Shapefile, FlatGeobuf, FileGDB, SQLite): the source's spatial filter,
    // its features held until the read ends and told by id. Other formats
    // are read whole.
    virtual void read_only_within(const Extents& box) = 0;
    // After a read, what it could not tell for sure, for a warning; empty
    // when nothing: vertices whose Z is 0 in a line whose other vertices
    // have another (a vertex without Z reads as 0 in a line with Z).
    virtual std::string doubt() const = 0;
};

// A raster for GDAL to write, as the output layer hands it over: rows of
// bytes (classes) or of doubles (elevations, written as the type asked).
struct RasterOut {
    std::string path;                 // where to write it
    std::string shown;                // what the messages call it
    std::string driver;               // GDAL's short name of the format
    std::vector<std::string> options;  // creation options, NAME=VALUE
    CellType type = CellType::Byte;
    int width = 0, height = 0;
    std::vector<const unsigned char*> byte_rows;  // Byte: each row's cells
    std::vector<const double*> value_rows;        // Float32 and Float64
    double geotransform[6] = {0, 1, 0, 0, 0, 1};
    std::string wkt;
    double nodata = 0.0;
    std::vector<std::array<int, 4>> colours;  // Byte: a colour (red, green, blue, alpha) for every value
    std::vector<std::string> names;             // Byte: a category name for every value
    std::vector<std::string> metadata;          // NAME=VALUE
};

// The stop line of a feature ("la entidad 7 de la capa ...") whose
// elevation z is NaN or infinite, whichever way it is read.
inline std::string not_finite(const std::string& feature, double z) {
    return message(T_("{1} tiene una elevacion que no es finita ({2}): dejela fuera con -where"), {feature, number_text(z)});
}

// The raster formats GDAL writes here: the driver that takes a file name
// by its extension (.tif, .png ...), empty when none; whether a format is
// one GDAL can write.
std::string raster_driver_for(const std::string& path);
bool raster_driver_writes(const std::string& driver);
// The driver of a .tif or .tiff, told without loading GDAL where the module
// is in place: whether GDAL writes it is known once it has loaded.
inline constexpr const char* kGeoTiff = "GTiff";
// Why the format cannot be given such an image, known before any cell is:
// a type it does not create, creation options it does not take, or a
// sample of such cells (written to the sample's path) that GDAL does not
// read back as written; empty when it can.
std::string raster_refusal(const RasterOut& sample);
// Writes the raster, reads it back through GDAL and compares its size,
// place, nodata and cells with what was meant; false, with why, when GDAL
// cannot write it or anything differs (the files written are left: the
// caller removes them). warnings: GDAL's warnings meanwhile, one line each.
bool write_raster(const RasterOut& r, std::vector<std::string>& warnings, std::string& why);

// What the module gives the program, through the one function it exports.
// Both sides come from the same build: a module of another version is
// refused, so the C++ types may cross.
struct OgrModule {
    // the version and a digest of this interface's headers; first, and the
    // only field read before the loader knows the layout is its own
    const char* version;
    std::string (*srs_wkt)(const std::string& user, std::string& why);
    // nullptr, with why, when the source cannot be read as contours
    std::unique_ptr<OgrSource> (*open)(const std::string& path, const OgrOptions& o, std::string& why);
    std::string (*raster_driver_for)(const std::string& path);
    bool (*raster_driver_writes)(const std::string& driver);
    std::string (*raster_refusal)(const RasterOut& sample);
    bool (*write_raster)(const RasterOut& r, std::vector<std::string>& warnings, std::string& why);
};
inline constexpr const char* kOgrModuleEntry = "zorvel_ogr_module";

}  // namespace zorvel

#endif

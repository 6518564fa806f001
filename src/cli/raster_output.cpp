#include "cli/raster_output.h"

#include <algorithm>
#include <filesystem>

#include "output/output.h"
#include "output/qgis_style.h"
#include "base/messages.h"
#include <cerrno>
#include <cstring>

namespace zorvel {

std::string raster_format(const CommandLine& cl) {
    if (cl.of == "ENVI") return "";
    if (!cl.of.empty()) return cl.of;
    return raster_driver_for(cl.output);
}

RasterOut raster_of(const CommandLine& cl, const ImageCells& cells, const std::string& driver, const std::string& temp,
                    const std::string& wkt, const ImagePlace& place) {
    RasterOut r;
    r.path = temp;
    r.driver = driver;
    r.options = cl.co;
    r.type = cl.ot;
    r.width = cells.image.nb_col3;
    r.height = cells.image.nb_lig3;
    const auto t = image_geotransform(place);
    std::copy(t.begin(), t.end(), r.geotransform);
    r.wkt = wkt;
    r.nodata = cl.ot == CellType::Byte ? kEmptyCell : cl.nodata.value_or(kElevationNodata);
    for (int i = 0; i < r.height; ++i) {
        if (cl.ot == CellType::Byte)
            r.byte_rows.push_back(cells.image.tab3[i]);
        else
            r.value_rows.push_back(cells.alti.data() + static_cast<std::size_t>(cells.image.min_i + i) *
                                                          static_cast<std::size_t>(cells.nb_col) +
                                   cells.image.min_j);
    }
    if (cl.ot == CellType::Byte) {
        r.names = class_names(cells.classes);
        r.colours = class_colours(cells.classes);
        for (std::size_t k = 1; k < cells.classes.tabord.size(); ++k)
            r.metadata.push_back("CLASS_" + std::to_string(k) + "=" + std::to_string(cells.classes.tabord[k]));
    }
    r.metadata.push_back("SOURCE=" + sheet_names(cl));
    return r;
}

SampleRaster::SampleRaster(const CommandLine& cl, const std::string& driver, const std::string& path,
                           const std::string& wkt) {
    constexpr int kSide = 16;
    RasterOut& r = out;
    r.path = path;
    r.driver = driver;
    r.options = cl.co;
    r.type = cl.ot;
    r.width = r.height = kSide;
    const ImagePlace place{kSide, kSide, 0, 0, kSide, kSide, cl.tr > 0.0 ? cl.tr : 1.0, 0.0, 0.0,
                           RotationChoice{cl.rot, cl.sense}};
    const auto t = image_geotransform(place);
    std::copy(t.begin(), t.end(), r.geotransform);
    r.wkt = wkt;
    r.metadata.push_back("SOURCE=" + sheet_names(cl));
    // every byte value, neighbours far apart; elevations with decimals, below
    // 0 and far above, and cells without one
    bytes.resize(kSide * kSide);
    values.resize(kSide * kSide);
    for (int k = 0; k < kSide * kSide; ++k) {
        const auto at = static_cast<std::size_t>(k);
        bytes[at] = static_cast<unsigned char>((k * 37) % 256);
        values[at] = k % 11 == 0 ? cl.nodata.value_or(kElevationNodata) : -412.75 + k * 37.123456789;
    }
    for (int i = 0; i < kSide; ++i) {
        const auto row = static_cast<std::size_t>(i * kSide);
        if (cl.ot == CellType::Byte)
            r.byte_rows.push_back(bytes.data() + row);
        else
            r.value_rows.push_back(values.data() + row);
    }
    if (cl.ot == CellType::Byte) {
        r.nodata = kEmptyCell;
        ClassTable all;
        all.intervalo = 1;
        all.num_segment = kMaxSegments;
        all.tabord.assign(kMaxSegments + 2, 0);
        for (int k = 1; k <= kMaxSegments + 1; ++k) all.tabord[static_cast<std::size_t>(k)] = k;
        r.names = class_names(all);
        r.colours = class_colours(all);
    } else {
        r.nodata = cl.nodata.value_or(kElevationNodata);
    }
}

// Writes the QGIS style of the class image done made to f and closes it;
// false after a stop line.
bool write_style(Console& con, FileHandle& f, const std::string& path, const CroppedImage& image,
                 const ClassTable& classes, bool bands) {
    std::vector<bool> taken(256, false);
    for (int i = 0; i < image.nb_lig3; ++i)
        for (int j = 0; j < image.nb_col3; ++j) taken[image.tab3[i][j]] = true;
    const std::string text = qgis_style(classes, taken, class_colours(classes), bands);
    if (std::fputs(text.c_str(), f.get()) < 0) {
        stop_line(con, T_("no se puede escribir ") + path + ": " + std::strerror(errno));
        return false;
    }
    return close_output(con, f, path);
}

}  // namespace zorvel

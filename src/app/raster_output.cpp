#include "app/raster_output.h"

#include <algorithm>
#include <filesystem>

#include "output/output.h"

namespace zorvel {

std::string raster_format(const CommandLine& cl) {
    if (cl.of == "ENVI") return "";
    if (!cl.of.empty()) return cl.of;
    return raster_driver_for(cl.output);
}

RasterOut raster_of(const CommandLine& cl, const RunState& done, const std::string& driver, const std::string& temp,
                    const std::string& wkt, const ImagePlace& place) {
    RasterOut r;
    r.path = temp;
    r.driver = driver;
    r.options = cl.co;
    r.type = cl.ot;
    r.width = done.image.nb_col3;
    r.height = done.image.nb_lig3;
    const auto t = image_geotransform(place);
    std::copy(t.begin(), t.end(), r.geotransform);
    r.wkt = wkt;
    r.nodata = cl.ot == "Byte" ? kEmptyCell : cl.nodata.value_or(kElevationNodata);
    for (int i = 0; i < r.height; ++i) {
        if (cl.ot == "Byte")
            r.byte_rows.push_back(done.image.tab3[i]);
        else
            r.value_rows.push_back(done.alti.data() + static_cast<std::size_t>(done.image.min_i + i) *
                                                          static_cast<std::size_t>(done.nb_col) +
                                   done.image.min_j);
    }
    if (cl.ot == "Byte") {
        r.names = class_names(done.classes);
        r.colours = class_colours(done.classes);
        for (std::size_t k = 1; k < done.classes.tabord.size(); ++k)
            r.metadata.push_back("CLASS_" + std::to_string(k) + "=" + std::to_string(done.classes.tabord[k]));
    }
    r.metadata.push_back("SOURCE=" + std::filesystem::path(cl.drawing).filename().string());
    return r;
}

}  // namespace zorvel

#include "output/mosaic_vrt.h"

#include <cstdio>
#include <filesystem>

#include "output/envi_header.h"

namespace zorvel {

namespace {

// A double as it reads back, whole.
std::string exact_text(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

}  // namespace

std::string mosaic_vrt(const MosaicGrid& grid, const std::vector<MosaicTile>& tiles) {
    std::string v = "<VRTDataset rasterXSize=\"" + std::to_string(grid.cols) + "\" rasterYSize=\"" +
                    std::to_string(grid.rows) + "\">\n";
    if (!grid.wkt.empty()) v += "  <SRS>" + xml_text(grid.wkt) + "</SRS>\n";
    v += "  <GeoTransform>";
    for (std::size_t k = 0; k < 6; ++k) v += (k > 0 ? ", " : "") + exact_text(grid.geotransform[k]);
    v += "</GeoTransform>\n";
    v += std::string("  <VRTRasterBand dataType=\"") + type_name(grid.type) + "\" band=\"1\">\n";
    v += "    <NoDataValue>" + exact_text(grid.nodata) + "</NoDataValue>\n";
    if (grid.classes != nullptr) {
        v += "    <ColorInterp>Palette</ColorInterp>\n    <ColorTable>\n";
        for (const auto& c : class_colours(*grid.classes))
            v += "      <Entry c1=\"" + std::to_string(c[0]) + "\" c2=\"" + std::to_string(c[1]) + "\" c3=\"" +
                 std::to_string(c[2]) + "\" c4=\"" + std::to_string(c[3]) + "\"/>\n";
        v += "    </ColorTable>\n    <CategoryNames>\n";
        for (const std::string& n : class_names(*grid.classes)) v += "      <Category>" + xml_text(n) + "</Category>\n";
        v += "    </CategoryNames>\n";
    }
    for (const MosaicTile& t : tiles) {
        const std::string size = "xSize=\"" + std::to_string(t.xsize) + "\" ySize=\"" + std::to_string(t.ysize) + "\"/>\n";
        v += "    <SimpleSource>\n      <SourceFilename relativeToVRT=\"1\">" +
             xml_text(std::filesystem::path(t.file).filename().string()) + "</SourceFilename>\n";
        v += "      <SourceBand>1</SourceBand>\n      <SrcRect xOff=\"0\" yOff=\"0\" " + size;
        v += "      <DstRect xOff=\"" + std::to_string(t.xoff) + "\" yOff=\"" + std::to_string(t.yoff) + "\" " + size;
        v += "    </SimpleSource>\n";
    }
    return v + "  </VRTRasterBand>\n</VRTDataset>\n";
}

}  // namespace zorvel

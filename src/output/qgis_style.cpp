#include "output/qgis_style.h"

#include <cstdio>
#include <filesystem>

namespace zorvel {

std::string qgis_style_path(const std::string& image) {
    return std::filesystem::path(image).replace_extension(".qml").string();
}

std::string qgis_style(const ClassTable& ct, const std::vector<bool>& taken,
                       const std::vector<std::array<int, 4>>& colours, bool bands) {
    std::string palette;
    for (std::size_t k = 1; k < ct.tabord.size() && k < taken.size() && k < colours.size(); ++k) {
        if (!taken[k]) continue;
        const long long v = ct.tabord[k];
        const std::string label = bands ? std::to_string(v) + " - " + std::to_string(v + ct.intervalo) + " m"
                                        : std::to_string(v) + " m";
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", colours[k][0], colours[k][1], colours[k][2]);
        palette += "        <paletteEntry value=\"" + std::to_string(k) + "\" label=\"" + label + "\" color=\"" + colour +
                   "\" alpha=\"" + std::to_string(colours[k][3]) + "\"/>\n";
    }
    return "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
           "<qgis styleCategories=\"Symbology\" version=\"3.22.0\">\n"
           "  <pipe>\n"
           "    <rasterrenderer type=\"paletted\" band=\"1\" opacity=\"1\" alphaBand=\"-1\" nodataColor=\"\">\n"
           "      <colorPalette>\n" +
           palette +
           "      </colorPalette>\n"
           "    </rasterrenderer>\n"
           "    <brightnesscontrast brightness=\"0\" contrast=\"0\" gamma=\"1\"/>\n"
           "    <huesaturation saturation=\"0\" grayscaleMode=\"0\" invertColors=\"0\" colorizeOn=\"0\" colorizeRed=\"255\" "
           "colorizeGreen=\"128\" colorizeBlue=\"128\" colorizeStrength=\"100\"/>\n"
           "    <rasterresampler maxOversampling=\"2\"/>\n"
           "  </pipe>\n"
           "  <blendMode>0</blendMode>\n"
           "</qgis>\n";
}

}  // namespace zorvel

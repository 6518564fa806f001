#include "output/envi_header.h"

#include <cmath>
#include <cstdio>

namespace zorvel {

namespace {

constexpr int kClassValues = 256;  // the values a byte holds

// A colour for class k of n: green lowlands through brown to white tops.
std::array<int, 3> class_colour(std::size_t k, std::size_t n) {
    static constexpr int kStops[][3] = {{36, 110, 56}, {120, 160, 70}, {214, 196, 110}, {150, 100, 60}, {245, 245, 245}};
    const double t = n > 1 ? static_cast<double>(k - 1) / static_cast<double>(n - 1) : 0.0;
    const double at = t * 4.0;
    const auto s = static_cast<std::size_t>(std::min(3.0, std::floor(at)));
    const double f = at - static_cast<double>(s);
    std::array<int, 3> c{};
    for (int m = 0; m < 3; ++m)
        c[static_cast<std::size_t>(m)] = static_cast<int>(std::lround(kStops[s][m] + f * (kStops[s + 1][m] - kStops[s][m])));
    return c;
}

}  // namespace

std::vector<std::string> output_paths(const std::string& output) {
    return {output + "_zorvl.raw", output + "_zorvl.txt", output + "_zorvl_tab.txt", output + "_zorvl.hdr"};
}

std::array<double, 6> image_geotransform(const ImagePlace& p) {
    // in the grid as displayed (u to the right, w up, about the centre) the
    // vertices were turned by theta, counter-clockwise for sense 0: turning
    // back by theta gives the position before the turn, and that the map point
    const double theta = (p.turn.sentido == 0 ? 1.0 : -1.0) * p.turn.angle * degree_factor();
    const double c = std::cos(theta), s = std::sin(theta);
    const double uc = p.nb_col * 0.5, wc = -p.nb_lig * 0.5;
    // the corner of the first pixel: half a cell before the first row and column
    const double du = (p.min_j - 0.5) - uc;
    const double dw = (0.5 - p.min_i) - wc;
    const double u0 = uc + c * du + s * dw;
    const double w0 = wc - s * du + c * dw;
    const double x0 = p.min_x + u0 * p.pix_size;
    const double y0 = p.min_y + (p.nb_lig + w0) * p.pix_size;
    return {x0, p.pix_size * c, -p.pix_size * s, y0, -p.pix_size * s, -p.pix_size * c};
}

std::vector<std::string> class_names(const ClassTable& ct) {
    const std::size_t n = ct.tabord.size() > 1 ? ct.tabord.size() - 1 : 0;
    std::vector<std::string> names{"sin clase"};
    for (std::size_t k = 1; k < kClassValues; ++k)
        names.push_back(k == kEmptyCell ? "sin curva" : k <= n ? std::to_string(ct.tabord[k]) : "-");
    return names;
}

std::string xml_text(const std::string& s, bool quotes) {
    std::string x;
    for (const char c : s) {
        switch (c) {
            case '&': x += "&amp;"; break;
            case '<': x += "&lt;"; break;
            case '>': x += "&gt;"; break;
            case '"': x += quotes ? "&quot;" : "\""; break;
            default: x += c;
        }
    }
    return x;
}

std::vector<std::array<int, 4>> class_colours(const ClassTable& ct) {
    const std::size_t n = ct.tabord.size() > 1 ? ct.tabord.size() - 1 : 0;
    // the values of no class are transparent
    std::vector<std::array<int, 4>> colours{{0, 0, 0, 0}};
    for (std::size_t k = 1; k < kClassValues; ++k) {
        if (k <= n && k != kEmptyCell) {
            const auto rgb = class_colour(k, n);
            colours.push_back({rgb[0], rgb[1], rgb[2], 255});
        } else {
            colours.push_back({0, 0, 0, 0});
        }
    }
    return colours;
}

bool write_envi_header(Console& con, FileHandle& f, const std::string& path, const ImagePlace& p,
                       const ClassTable& ct, const std::string& drawing, const std::string& wkt,
                       const std::optional<ValueImage>& values) {
    std::FILE* h = f.get();
    const std::array<double, 6> t = image_geotransform(p);
    if (values) {
        std::fprintf(h, "ENVI\ndescription = {zorvel_raster: %s, elevaciones de curvas de nivel}\n", drawing.c_str());
        std::fprintf(h, "samples = %d\nlines = %d\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\n",
                     p.nb_col3, p.nb_lig3);
        std::fprintf(h, "data type = %d\ninterleave = bsq\nbyte order = 0\ndata ignore value = %.17g\n",
                     values->type == CellType::Float32 ? 4 : 5, values->nodata);
    } else {
        std::fprintf(h, "ENVI\ndescription = {zorvel_raster: %s, clases de curvas de nivel}\n", drawing.c_str());
        std::fprintf(h, "samples = %d\nlines = %d\nbands = 1\nheader offset = 0\nfile type = ENVI Classification\n",
                     p.nb_col3, p.nb_lig3);
        std::fprintf(h, "data type = 1\ninterleave = bsq\nbyte order = 0\ndata ignore value = 255\n");
        // every value a byte of the image can hold has a class, so that any
        // converter finds them all
        const std::vector<std::string> names = class_names(ct);
        std::fprintf(h, "classes = %zu\nclass names = {%s", names.size(), names[0].c_str());
        for (std::size_t k = 1; k < names.size(); ++k) std::fprintf(h, ", %s", names[k].c_str());
        std::fputs("}\nclass lookup = {", h);
        const auto colours = class_colours(ct);
        for (std::size_t k = 0; k < colours.size(); ++k)
            std::fprintf(h, "%s%d, %d, %d", k == 0 ? "" : ", ", colours[k][0], colours[k][1], colours[k][2]);
        std::fputs("}\n", h);
    }
    // the corner of the first pixel, the cell size and the turn (a map
    // rotation of the grid's own turn taken back), in the units of the
    // coordinate system: degrees for a geographic one, metres otherwise
    const double rotation = -std::atan2(-t[2], t[1]) / degree_factor();
    const bool geographic = wkt.rfind("GEOGCS", 0) == 0 || wkt.rfind("GEOGCRS", 0) == 0;
    std::fprintf(h, "map info = {Arbitrary, 1, 1, %.17g, %.17g, %.17g, %.17g, units=%s", t[0], t[3],
                 p.pix_size, p.pix_size, geographic ? "Degrees" : "Meters");
    if (t[2] != 0.0 || t[4] != 0.0) std::fprintf(h, ", rotation=%.17g", rotation);
    std::fputs("}\n", h);
    if (!wkt.empty()) std::fprintf(h, "coordinate system string = {%s}\n", wkt.c_str());
    std::fputs(values ? "band names = {elevacion}\n" : "band names = {clase}\n", h);
    return close_output(con, f, path);
}

}  // namespace zorvel

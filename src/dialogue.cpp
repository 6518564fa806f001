#include "dialogue.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zorvel {

namespace {

constexpr int kBannerWidth = 59;  // characters in every banner row

std::string banner_row(char fill) {
    std::string row(kBannerWidth, fill);
    row.front() = row.back() = '*';
    return row;
}

// A credit text set toward the right, ending `gap` blanks before the closing asterisk.
std::string credit_row(const std::string& text, int gap) {
    std::string row = banner_row(' ');
    row.replace(static_cast<std::size_t>(kBannerWidth - 1 - gap) - text.size(), text.size(), text);
    return row;
}

void print_banner(Console& con) {
    std::string title = banner_row(' ');
    title.replace(21, 13, "ZORVEL_RASTER");
    const std::string rows[] = {
        banner_row('*'), banner_row(' '), banner_row(' '), title,
        banner_row(' '), banner_row(' '), banner_row(' '), banner_row(' '), banner_row(' '),
        credit_row("rasterizacion de curvas de nivel DXF", 4),
        credit_row("version 1.0 - 2026", 3),
        banner_row(' '), banner_row('*')};
    for (const std::string& r : rows) std::fprintf(con.out, "\n\t%s", r.c_str());
}

}  // namespace

std::string data_root() {
    if (const char* env = std::getenv("ZORVEL_RASTER_ROOT")) return env;
#ifdef _WIN32
    return "c:\\images\\";
#else
    return "/c/images/";
#endif
}

const char* path_separator() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

std::optional<RunFiles> opening(Console& con, const std::string& root) {
    print_banner(con);
    RunFiles rf;

    const auto nomdir = ask_word(con, "\n\n Nombre del archivo : ", "el nombre del archivo");
    if (!nomdir) return std::nullopt;
    const std::string folder = root + *nomdir + path_separator();

    const auto drawing = ask_word(con, "\n\n Nombre de la Fila .dxf (sin extension .dxf) ? ", "el nombre del dibujo");
    if (!drawing) return std::nullopt;
    rf.nomim1 = folder + *drawing + ".dxf";
    rf.f1.reset(std::fopen(rf.nomim1.c_str(), "r"));
    if (!rf.f1) {
        std::fprintf(con.out, "\n No hay Fila %s \n", rf.nomim1.c_str());
        wait_key(con);
        return std::nullopt;
    }

    const auto image = ask_word(con, "\n\n Nombre de la imagen resultante (sin extension _zorvl.raw) ? ",
                                "el nombre de la imagen");
    if (!image) return std::nullopt;
    const std::string base = folder + *image;
    rf.nomim2 = base + "_zorvl.raw";
    rf.nomdescr2 = base + "_zorvl.txt";
    rf.nomdescr3 = base + "_zorvl_tab.txt";
    // created here, under temporary names, so that an output that cannot
    // be created stops the run before the pixel size
    if (!rf.pending.create(con, rf.nomim2, "wb", rf.f2) || !rf.pending.create(con, rf.nomdescr2, "w", rf.f2d) ||
        !rf.pending.create(con, rf.nomdescr3, "w", rf.f3d))
        return std::nullopt;
    return rf;
}

std::optional<double> ask_pixel_size(Console& con) {
    return ask_double(con, "\n\n tamano del pixel ? ", "el tamano del pixel", [](double v) {
        return (v > 0.0 && std::isfinite(v)) ? Verdict::accept()
                                             : Verdict::refuse("\n el tamano del pixel debe ser un numero mayor que 0 ");
    });
}

}  // namespace zorvel

#include "dialogue/dialogue.h"
#include "base/messages.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/interrupts.h"
#include "reading/answers.h"

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

    const auto nomdir = ask_word(con, "\n\n Nombre del archivo : ", N_("el nombre del archivo"));
    if (!nomdir) return std::nullopt;
    const std::string folder = root + *nomdir + path_separator();

    const auto drawing = ask_word(con, "\n\n Nombre de la Fila .dxf (sin extension .dxf) ? ", N_("el nombre del dibujo"));
    if (!drawing) return std::nullopt;
    rf.nomim1 = folder + *drawing + ".dxf";
    // a pipe or a device cannot be read twice, and opening a pipe would wait for a writer
    std::error_code ec;
    const auto kind = std::filesystem::status(rf.nomim1, ec).type();
    if (!ec && kind != std::filesystem::file_type::regular && kind != std::filesystem::file_type::directory) {
        stop_line(con, T_("no se puede leer ") + rf.nomim1 +
                           T_(": no es un archivo (una tuberia, un dispositivo), y el dibujo se lee dos veces"));
        return std::nullopt;
    }
    rf.f1.reset(std::fopen(rf.nomim1.c_str(), "r"));
    if (!rf.f1) {
        const int err = errno;
        std::fprintf(con.out, "\n No hay Fila %s \n", rf.nomim1.c_str());
        stop_line(con, T_("no se puede abrir ") + rf.nomim1 + ": " + std::strerror(err));
        wait_key(con);
        return std::nullopt;
    }

    const auto image = ask_word(con, "\n\n Nombre de la imagen resultante (sin extension _zorvl.raw) ? ",
                                N_("el nombre de la imagen"));
    if (!image) return std::nullopt;
    const std::string base = folder + *image;
    rf.nomim2 = base + "_zorvl.raw";
    rf.nomdescr2 = base + "_zorvl.txt";
    rf.nomdescr3 = base + "_zorvl_tab.txt";
    // created here, under temporary names, so that an output that cannot
    // be created stops the run before the pixel size
    if (!rf.pending.lock(con, base, rf.nomim2) || !rf.pending.create(con, rf.nomim2, "wb", rf.f2) ||
        !rf.pending.create(con, rf.nomdescr2, "w", rf.f2d) || !rf.pending.create(con, rf.nomdescr3, "w", rf.f3d))
        return std::nullopt;
    test_point("created");
    return rf;
}

std::optional<double> ask_pixel_size(Console& con) {
    return ask_double(con, "\n\n tamano del pixel ? ", N_("el tamano del pixel"), [](double v) {
        return (v > 0.0 && std::isfinite(v)) ? Verdict::accept()
                                             : Verdict::refuse("\n el tamano del pixel debe ser un numero mayor que 0 ");
    });
}

std::optional<int> DialogueSettings::skip_count(std::FILE*, const std::string&) {
    std::fputs("\n treatment\n", con_.out);
    return ask_int(con_, "\n numero de registros anteriores en Vertex ? ", N_("el numero de registros"));
}

std::optional<RotationChoice> rotation_dialogue(Console& con) {
    const auto angle = ask_double(con, "\n\n angulo de rotacion (decimal) ? ", N_("el angulo de rotacion"),
                                  [](double a) {
                                      return std::isfinite(a) ? Verdict::accept()
                                                              : Verdict::refuse("\n el angulo debe ser un numero finito ");
                                  });
    if (!angle) return std::nullopt;
    const auto sentido =
        ask_int(con, "\n rotacion: sentido :\n\t0 ====> izquierdo\n\t1 ====> derecho\n\t",
                N_("el sentido de rotacion"), [](int s) { return (s == 0 || s == 1) ? Verdict::accept() : Verdict::ask_again(); });
    if (!sentido) return std::nullopt;
    return RotationChoice{*angle, *sentido};
}

std::optional<ClassChoice> class_dialogue(Console& con, int suggested) {
    std::fprintf(con.out, "\n\n Intervalo altimetrico = %d ", suggested);
    const auto rep = ask_int(con, "\n\n 0 ====> tomar en cuenta este intervalo\n 1 ====> elegir otro\n ",
                             N_("la eleccion del intervalo"),
                             [](int r) { return (r == 0 || r == 1) ? Verdict::accept() : Verdict::ask_again(); });
    if (!rep) return std::nullopt;
    int intervalo = suggested;
    if (*rep == 0 && intervalo == 0) std::fputs("\n un intervalo de 0 no sirve: elija otro ", con.out);
    if (*rep == 1 || intervalo == 0) {
        const auto typed = ask_int(con, "\n valor del intervalo ? ", N_("el valor del intervalo"), [](int v) {
            return v != 0 ? Verdict::accept() : Verdict::refuse("\n un intervalo de 0 no sirve: elija otro ");
        });
        if (!typed) return std::nullopt;
        intervalo = *typed;
    }
    std::fputs("\n\n Definicion de los valores de la tabla de correspondencia :", con.out);
    for (;;) {
        const auto minimo = ask_int(con, "\n\n\tValor minimo ? ", N_("el valor minimo"));
        if (!minimo) return std::nullopt;
        const auto maximo = ask_int(con, "\n\tValor maximo ? ", N_("el valor maximo"));
        if (!maximo) return std::nullopt;
        const std::int64_t range = static_cast<std::int64_t>(*maximo) - *minimo;
        if (range < INT_MIN || range > INT_MAX) {
            std::fputs("\n la diferencia entre el maximo y el minimo sale del rango de los enteros ", con.out);
            continue;
        }
        const long long num_segment = range / intervalo;
        if (num_segment > kMaxSegments) {
            std::fprintf(con.out, "\n\n El numero total de intervalos (%lld) es demasiado grande ", num_segment + 1);
            wait_key(con);
            return std::nullopt;
        }
        return ClassChoice{*minimo, *maximo, class_values(*minimo, *maximo, intervalo)};
    }
}

void DialogueReport::first_approximation(int nb_lig, int nb_col) {
    std::fputs("\n\n Primera aproximacion : ", out_);
    std::fprintf(out_, "\n\n lineas = %d columnas = %d \n\n", nb_lig, nb_col);
}

void DialogueReport::second_approximation(double pix_size, int nb_lig, int nb_col) {
    std::fputs("\n\n Segunda aproximacion : ", out_);
    std::fprintf(out_, "\n\n pix_size %lf lineas = %d columnas = %d \n\n", pix_size, nb_lig, nb_col);
}

// each line ends in a carriage return and blanks, so that the next one overwrites it
void DialogueReport::polyline(int segm) { std::fprintf(out_, "\tsegment %d            \r        ", segm); }

void DialogueReport::pass_one(int segm, double min_dyn, double max_dyn, const Extents& ext) {
    std::fprintf(out_, "\n Numero total de segmentos = %d ", segm);
    std::fprintf(out_, "\n\n Dyn. Min = %lf Max = %lf ", min_dyn, max_dyn);
    std::fprintf(out_, "\n\n Min Y = %lf Max Y = %lf ", ext.min_y, ext.max_y);
    std::fprintf(out_, "\n Min X = %lf Max X = %lf ", ext.min_x, ext.max_x);
}

void DialogueReport::classifying() { std::fputs("\n\n Guardando  \n\n", out_); }

void DialogueReport::classified_rows(int row) { std::fprintf(out_, "\tlinea %d        \r       ", row); }

void DialogueReport::empty_image() { std::fputs("\n\n Ninguna celda clasificada: la imagen queda vacia \n", out_); }

}  // namespace zorvel

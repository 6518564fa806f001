#include "dialogue.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace zorvel {

namespace {

constexpr int kBannerWidth = 59;  // characters in every banner row

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void end_of_input(Console& con, const char* what) {
    stop_line(con, std::string("fin de la entrada: falta ") + what);
}

// The rest of a word that a number conversion refused, without going past it.
void drop_rest_of_word(std::FILE* in) {
    int c;
    while ((c = std::getc(in)) != EOF && !is_space(c)) {
    }
    if (c != EOF) std::ungetc(c, in);
}

void show_prompt(Console& con, const char* prompt) {
    std::fputs(prompt, con.out);
    // the prompt must be on the screen before we wait for the answer
    std::fflush(con.out);
}

template <typename T>
std::optional<T> ask_number(Console& con, const char* prompt, const char* what, const char* format,
                            const Check<T>& check) {
    for (;;) {
        show_prompt(con, prompt);
        T v{};
        const int got = std::fscanf(con.in, format, &v);
        if (got == EOF) {
            end_of_input(con, what);
            return std::nullopt;
        }
        if (got != 1) {
            drop_rest_of_word(con.in);
            std::fputs("\n respuesta no valida: se espera un numero ", con.out);
            continue;
        }
        const char* refusal = check ? check(v) : nullptr;
        if (refusal == nullptr) return v;
        std::fputs(refusal, con.out);
    }
}

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

FileHandle open_output(Console& con, const std::string& path, const char* mode) {
    FileHandle f(std::fopen(path.c_str(), mode));
    if (!f) stop_line(con, "no se puede crear " + path + ": " + std::strerror(errno));
    return f;
}

}  // namespace

Console standard_console() {
    Console con;
#ifdef _WIN32
    con.interactive = _isatty(_fileno(stdin)) != 0;
#else
    con.interactive = isatty(fileno(stdin)) != 0;
#endif
    return con;
}

std::optional<std::string> ask_word(Console& con, const char* prompt, const char* what) {
    show_prompt(con, prompt);
    // "%s" with no length limit: paths of any length are held
    int c;
    while ((c = std::getc(con.in)) != EOF && is_space(c)) {
    }
    if (c == EOF) {
        end_of_input(con, what);
        return std::nullopt;
    }
    std::string word;
    do {
        word.push_back(static_cast<char>(c));
    } while ((c = std::getc(con.in)) != EOF && !is_space(c));
    if (c != EOF) std::ungetc(c, con.in);
    return word;
}

std::optional<int> ask_int(Console& con, const char* prompt, const char* what, const Check<int>& check) {
    return ask_number<int>(con, prompt, what, "%d", check);
}

std::optional<double> ask_double(Console& con, const char* prompt, const char* what,
                                 const Check<double>& check) {
    return ask_number<double>(con, prompt, what, "%lf", check);
}

void stop_line(Console& con, const std::string& text) {
    std::fflush(con.out);
    std::fprintf(con.err, "zorvel_raster: %s\n", text.c_str());
    std::fflush(con.err);
}

void wait_key(Console& con) {
    std::fflush(con.out);
    if (!con.interactive) return;
#ifdef _WIN32
    (void)_getch();
#else
    const int fd = fileno(con.in);
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &raw);
    char key = 0;
    [[maybe_unused]] const ssize_t got = read(fd, &key, 1);
    tcsetattr(fd, TCSANOW, &saved);
#endif
}

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

bool opening(Console& con, RunState& rs, const std::string& root) {
    print_banner(con);

    const auto nomdir = ask_word(con, "\n\n Nombre del archivo : ", "el nombre del archivo");
    if (!nomdir) return false;
    const std::string folder = root + *nomdir + path_separator();

    const auto drawing = ask_word(con, "\n\n Nombre de la Fila .dxf (sin extension .dxf) ? ",
                                  "el nombre del dibujo");
    if (!drawing) return false;
    rs.nomim1 = folder + *drawing + ".dxf";
    rs.f1.reset(std::fopen(rs.nomim1.c_str(), "r"));
    if (!rs.f1) {
        std::fprintf(con.out, "\n No hay Fila %s \n", rs.nomim1.c_str());
        wait_key(con);
        return false;
    }

    const auto image = ask_word(con, "\n\n Nombre de la imagen resultante (sin extension _zorvl.raw) ? ",
                                "el nombre de la imagen");
    if (!image) return false;
    const std::string base = folder + *image;
    rs.nomim2 = base + "_zorvl.raw";
    rs.nomdescr2 = base + "_zorvl.txt";
    rs.nomdescr3 = base + "_zorvl_tab.txt";
    if (!(rs.f2 = open_output(con, rs.nomim2, "wb"))) return false;
    if (!(rs.f2d = open_output(con, rs.nomdescr2, "w"))) return false;
    if (!(rs.f3d = open_output(con, rs.nomdescr3, "w"))) return false;
    return true;
}

bool ask_pixel_size(Console& con, RunState& rs) {
    const auto pix = ask_double(con, "\n\n tamano del pixel ? ", "el tamano del pixel", [](double v) {
        return (v > 0.0 && std::isfinite(v)) ? nullptr
                                             : "\n el tamano del pixel debe ser un numero mayor que 0 ";
    });
    if (!pix) return false;
    rs.pix_size = *pix;
    rs.size_pix = *pix;
    return true;
}

}  // namespace zorvel

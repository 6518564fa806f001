#include "console.h"

#include <cstdlib>
#include <cstring>

#include "drawing_reader.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace zorvel {

namespace {

bool blank(int c) { return c != EOF && is_blank(static_cast<unsigned char>(c)); }

void end_of_input(Console& con, const char* what) {
    stop_line(con, std::string("fin de la entrada: falta ") + what);
}

// The rest of a word that a number conversion refused, without going past it.
void drop_rest_of_word(std::FILE* in) {
    int c;
    while ((c = std::getc(in)) != EOF && !blank(c)) {
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
        const Verdict verdict = check ? check(v) : Verdict::accept();
        if (verdict.accepted) return v;
        if (verdict.refusal != nullptr) std::fputs(verdict.refusal, con.out);
    }
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
    while (blank(c = std::getc(con.in))) {
    }
    if (c == EOF) {
        end_of_input(con, what);
        return std::nullopt;
    }
    std::string word;
    do {
        word.push_back(static_cast<char>(c));
    } while ((c = std::getc(con.in)) != EOF && !blank(c));
    if (c != EOF) std::ungetc(c, con.in);
    return word;
}

std::optional<int> ask_int(Console& con, const char* prompt, const char* what, const Check<int>& check) {
    return ask_number<int>(con, prompt, what, "%d", check);
}

std::optional<double> ask_double(Console& con, const char* prompt, const char* what, const Check<double>& check) {
    return ask_number<double>(con, prompt, what, "%lf", check);
}

void stop_line(Console& con, const std::string& text) {
    std::fflush(con.out);
    std::fprintf(con.err, "zorvel_raster: %s\n", text.c_str());
    std::fflush(con.err);
}

void stop_no_memory(Console& con, const char* what, int nb_lig, int nb_col) {
    stop_line(con, std::string("sin memoria para ") + what + " de " + std::to_string(nb_lig) + " lineas y " +
                       std::to_string(nb_col) + " columnas");
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

}  // namespace zorvel

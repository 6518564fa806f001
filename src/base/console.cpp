#include "base/console.h"
#include "base/messages.h"

#include <string>

#include "base/interrupts.h"
#include "base/progress.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace zorvel {

Console standard_console() {
    Console con;
#ifdef _WIN32
    con.interactive = _isatty(_fileno(stdin)) != 0;
#else
    con.interactive = isatty(fileno(stdin)) != 0;
#endif
    return con;
}

void stop_line(Console& con, const std::string& text) {
    std::fflush(con.out);
    break_progress_line(con.err);
    std::fprintf(con.err, "zorvel_raster: %s\n", text.c_str());
    std::fflush(con.err);
}

void warn_line(Console& con, const std::string& text) { stop_line(con, T_("aviso: ") + text); }

void stop_no_memory(Console& con, const char* what, int nb_lig, int nb_col) {
    stop_line(con, std::string(T_("sin memoria para ")) + what + T_(" de ") + std::to_string(nb_lig) + T_(" lineas y ") +
                       std::to_string(nb_col) + T_(" columnas"));
}

void wait_key(Console& con) {
    std::fflush(con.out);
    if (!con.interactive) return;
    // without a word, a program that waits looks like one that hangs
    const auto say = [&] {
        std::fputs(T_("zorvel_raster: pulse una tecla para terminar\n"), con.err);
        std::fflush(con.err);
    };
#ifdef _WIN32
    say();
    (void)_getch();
#else
    const int fd = fileno(con.in);
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) return;
    // Ctrl-C and SIGTERM during the wait put the terminal back too
    restore_on_interrupt(fd, &saved);
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &raw);
    say();
    unsigned char key[64];
    if (read(fd, key, 1) == 1) {
        // a key that sends several bytes (an arrow, F5) sends them at once:
        // what follows within a tenth of a second belongs to it
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 1;
        tcsetattr(fd, TCSANOW, &raw);
        while (read(fd, key, sizeof key) > 0) {
        }
    }
    tcsetattr(fd, TCSANOW, &saved);
    restore_on_interrupt(fd, nullptr);
#endif
}

}  // namespace zorvel

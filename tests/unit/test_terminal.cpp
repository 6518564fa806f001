// The program on a terminal of its own (a pseudo-terminal), typed to by the
// test: the wait for a key at a stop, and interrupts that must leave neither
// the terminal changed nor a file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_support.h"

namespace zorvel {
namespace {

struct Terminal {
    int master = -1, slave = -1;
    pid_t pid = -1;
    termios before{};
    std::string seen;

    // Starts the program with the data root `root` on a new terminal.
    explicit Terminal(const std::string& root) {
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        tcgetattr(slave, &before);
        pid = fork();
        if (pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
            setenv("ZORVEL_RASTER_ROOT", root.c_str(), 1);
            execl(ZORVEL_BINARY, "zorvel_raster", nullptr);
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        close(master);
        close(slave);
    }
    void type(const std::string& keys) { ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    // Reads what the program shows until `text` appears (or ten seconds pass).
    bool shows(const std::string& text) {
        pollfd p{master, POLLIN, 0};
        while (seen.find(text) == std::string::npos) {
            if (poll(&p, 1, 10000) <= 0) return false;
            char b[4096];
            const ssize_t got = read(master, b, sizeof b);
            if (got <= 0) return false;
            seen.append(b, static_cast<std::size_t>(got));
        }
        return true;
    }
    int wait() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
    // What stty -g shows: the settings the program must leave as it found them.
    bool as_before() const {
        termios now{};
        tcgetattr(slave, &now);
        return now.c_iflag == before.c_iflag && now.c_oflag == before.c_oflag && now.c_cflag == before.c_cflag &&
               now.c_lflag == before.c_lflag && std::equal(now.c_cc, now.c_cc + NCCS, before.c_cc);
    }
};

TEST(Terminal, StopWaitsVisiblyForOneWholeKey) {
    test::TempDir tmp;
    std::filesystem::create_directories(tmp.path / "obra");
    Terminal t(tmp.root());
    t.type("obra\nnada\n");
    ASSERT_TRUE(t.shows("No hay Fila")) << t.seen;
    ASSERT_TRUE(t.shows("pulse una tecla para terminar")) << t.seen;
    termios waiting{};
    tcgetattr(t.slave, &waiting);
    EXPECT_EQ(waiting.c_lflag & (ECHO | ICANON), 0u);
    t.type("\x1b[15~");  // F5: five bytes, all of them the key
    const int status = t.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    int left = -1;
    ioctl(t.slave, FIONREAD, &left);
    EXPECT_EQ(left, 0);
    EXPECT_TRUE(t.as_before());
}

TEST(Terminal, InterruptsPutTheTerminalBackAndLeaveNoFile) {
    test::TempDir tmp;
    const auto folder = tmp.path / "obra";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "curvas.dxf") << "0\nEOF\n";
    struct Case {
        const char* name;
        const char* answers;
        const char* shown;  // what is on the screen when the interrupt comes
        bool ctrl_c;        // Ctrl-C typed, or SIGTERM sent
    };
    const Case cases[] = {
        {"Ctrl-C at the key", "obra\nnada\n", "pulse una tecla", true},
        {"SIGTERM at the key", "obra\nnada\n", "pulse una tecla", false},
        {"Ctrl-C with the outputs open", "obra\ncurvas\nmapa\n", "tamano del pixel ?", true},
        {"SIGTERM with the outputs open", "obra\ncurvas\nmapa\n", "tamano del pixel ?", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal t(tmp.root());
        t.type(c.answers);
        ASSERT_TRUE(t.shows(c.shown)) << t.seen;
        if (c.ctrl_c)
            t.type("\x03");
        else
            kill(t.pid, SIGTERM);
        const int status = t.wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (c.ctrl_c ? SIGINT : SIGTERM)) << status;
        EXPECT_TRUE(t.as_before());
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(folder)) files += e.path().filename() != "";
        EXPECT_EQ(files, 1u);  // the drawing alone
    }
}

}  // namespace
}  // namespace zorvel

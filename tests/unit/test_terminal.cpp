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
#include <vector>

#include "process.h"
#include "test_support.h"

namespace zorvel {
namespace {

struct Terminal {
    int master = -1, slave = -1;
    pid_t pid = -1;
    termios before{};
    std::string seen;

    // Starts the program with the data root `root` on a new terminal, with
    // these arguments (none: the dialogue).
    explicit Terminal(const std::string& root, const std::vector<std::string>& args = {}) {
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        tcgetattr(slave, &before);
        pid = fork();
        if (pid == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
            setenv("ZORVEL_RASTER_ROOT", root.c_str(), 1);
            test::exec_program(args);
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

TEST(Terminal, KeysAndInterruptsPutTheTerminalBackAndLeaveNoFile) {
    test::TempDir tmp;
    const auto folder = tmp.path / "obra";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "curvas.dxf") << "0\nEOF\n";
    struct Case {
        const char* answers;
        const char* shown;  // what is on the screen when the key or the signal comes
        const char* keys;   // typed; none: SIGTERM sent
    };
    const Case cases[] = {
        {"obra\nnada\n", "No hay Fila", "\x1b[15~"},  // F5: five bytes, all of them the key
        {"obra\nnada\n", "pulse una tecla", "\x03"},
        {"obra\nnada\n", "pulse una tecla", nullptr},
        {"obra\ncurvas\nmapa\n", "tamano del pixel ?", "\x03"},  // with the outputs open
        {"obra\ncurvas\nmapa\n", "tamano del pixel ?", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shown << " " << (c.keys ? c.keys : "SIGTERM"));
        Terminal t(tmp.root());
        t.type(c.answers);
        ASSERT_TRUE(t.shows(c.shown)) << t.seen;
        const bool key = c.keys != nullptr && c.keys[0] != '\x03';
        if (key) {
            // the wait for a key says so, and neither echoes nor waits for a line
            ASSERT_TRUE(t.shows("pulse una tecla para terminar")) << t.seen;
            termios waiting{};
            tcgetattr(t.slave, &waiting);
            EXPECT_EQ(waiting.c_lflag & (ECHO | ICANON), 0u);
        }
        if (c.keys != nullptr)
            t.type(c.keys);
        else
            kill(t.pid, SIGTERM);
        const int status = t.wait();
        if (key)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (c.keys ? SIGINT : SIGTERM)) << status;
        int left = -1;
        ioctl(t.slave, FIONREAD, &left);
        EXPECT_EQ(left, 0);
        EXPECT_TRUE(t.as_before());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()),
                  1);  // the drawing alone
    }
}

TEST(Terminal, TheCommandLinesProgressEndsBeforeItsSummary) {
    test::TempDir tmp;
    const std::string drawing = tmp.root() + "c.dxf";
    std::ofstream(drawing) << test::dxf_of({0, 0, 100, 50}, {{100, {{10, 10}, {90, 40}}}});
    // 51 rows: the classification's last report is not at the last row
    Terminal t(tmp.root(), {"-tr", "1", drawing, tmp.root() + "o"});
    ASSERT_TRUE(t.shows("archivos:")) << t.seen;
    EXPECT_EQ(t.wait(), 0);
    EXPECT_NE(t.seen.find("0...10...20...30...40...50...60...70...80...90...100 - done.\r\nzorvel_raster: "),
              std::string::npos)
        << t.seen;
}

}  // namespace
}  // namespace zorvel

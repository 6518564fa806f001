#include "base/interrupts.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/syscall.h>

// what getdents64 lists: the kernel's own layout
struct linux_dirent64 {
    unsigned long long d_ino;
    long long d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};
#endif

namespace zorvel {

namespace {

constexpr int kMaxRemovals = 16;  // outputs, their backups and the lock
#ifndef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};
#endif
constexpr std::size_t kPathMax = 4096;

// Written by the main thread before it publishes them (a slot's path, then
// its flag), read by the handler: plain memory and sig_atomic_t flags.
char g_paths[kMaxRemovals][kPathMax];
volatile std::sig_atomic_t g_used[kMaxRemovals];
#ifndef _WIN32
termios g_terminal;
volatile std::sig_atomic_t g_terminal_fd = -1;
#endif

// The mappings watched for bus errors, published as the paths are.
constexpr int kMaxMappings = 8;
struct Watched {
    const char* begin;
    std::size_t bytes;
    char line[kPathMax];
};
Watched g_mappings[kMaxMappings];
volatile std::sig_atomic_t g_mapped[kMaxMappings];

#if defined(__linux__)
// Removes what the folder open as fd holds, folders in it too, down to
// `depth` levels: the system's own calls alone, as a handler may make.
void empty_tree(int fd, int depth) {
    alignas(8) char entries[4096];
    for (;;) {
        const long got = syscall(SYS_getdents64, fd, entries, sizeof entries);
        if (got <= 0) return;
        bool removed = false;
        for (long at = 0; at < got;) {
            const auto* e = reinterpret_cast<const linux_dirent64*>(entries + at);
            at += e->d_reclen;
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            if (unlinkat(fd, name, 0) == 0) {
                removed = true;
                continue;
            }
            if (depth == 0) continue;
            const int inner = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner < 0) continue;
            empty_tree(inner, depth - 1);
            close(inner);
            if (unlinkat(fd, name, AT_REMOVEDIR) == 0) removed = true;
        }
        // entries removed while listed: the listing starts again
        if (removed) lseek(fd, 0, SEEK_SET);
    }
}
#endif

void undo() {
    // only async-signal-safe calls from here on
    for (int k = 0; k < kMaxRemovals; ++k) {
        if (g_used[k] == 0) continue;
#ifndef _WIN32
        if (unlink(g_paths[k]) != 0 && (errno == EISDIR || errno == EPERM)) {
#if defined(__linux__)
            // a folder of outputs whose files its writer named
            const int fd = open(g_paths[k], O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                empty_tree(fd, 4);
                close(fd);
            }
#endif
            rmdir(g_paths[k]);
        }
#else
        std::remove(g_paths[k]);
#endif
    }
#ifndef _WIN32
    if (g_terminal_fd >= 0) tcsetattr(g_terminal_fd, TCSANOW, &g_terminal);
#endif
}

extern "C" void on_interrupt(int sig) {
    undo();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

#ifndef _WIN32
extern "C" void on_bus_error(int sig, siginfo_t* info, void*) {
    const char* at = static_cast<const char*>(info->si_addr);
    for (int k = 0; k < kMaxMappings; ++k) {
        if (g_mapped[k] == 0 || at < g_mappings[k].begin || at >= g_mappings[k].begin + g_mappings[k].bytes) continue;
        undo();
        const char* line = g_mappings[k].line;
        (void)!write(2, line, std::strlen(line));
        _exit(1);
    }
    // a bus error of anything else: as if there were no handler
    std::signal(sig, SIG_DFL);
}
#endif

}  // namespace

void install_interrupt_handlers() {
#ifndef _WIN32
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    // one handler at a time: a second signal waits for the first to be undone
    for (int sig : kSignals) sigaddset(&sa.sa_mask, sig);
    for (int sig : kSignals) {
        struct sigaction was {};
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
    struct sigaction bus {};
    bus.sa_sigaction = on_bus_error;
    bus.sa_flags = SA_SIGINFO;
    sigemptyset(&bus.sa_mask);
    for (int sig : kSignals) sigaddset(&bus.sa_mask, sig);
    sigaction(SIGBUS, &bus, nullptr);
#else
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
#endif
}

void open_missing_standard_descriptors() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // the lowest free number is fd itself
        const int got = open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
        if (got != fd && got >= 0) close(got);
    }
#endif
}

SignalsHeld::SignalsHeld() {
#ifndef _WIN32
    static_assert(sizeof saved_ >= sizeof(sigset_t));
    sigset_t hold;
    sigemptyset(&hold);
    for (int sig : kSignals) sigaddset(&hold, sig);
    sigprocmask(SIG_BLOCK, &hold, reinterpret_cast<sigset_t*>(saved_));
#endif
}

SignalsHeld::~SignalsHeld() {
#ifndef _WIN32
    sigprocmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
#endif
}

void test_point(const char* step) {
#ifdef ZORVEL_TEST_HOOKS
    const char* ask = std::getenv("ZORVEL_RASTER_TEST_SIGNAL");
    const std::size_t n = std::strlen(step);
    if (ask != nullptr && std::strncmp(ask, step, n) == 0 && ask[n] == ':') std::raise(std::atoi(ask + n + 1));
#else
    (void)step;
#endif
}

void remove_on_interrupt(const std::string& path) {
    if (path.size() >= kPathMax) return;
    for (int k = 0; k < kMaxRemovals; ++k) {
        if (g_used[k] != 0) continue;
        std::memcpy(g_paths[k], path.c_str(), path.size() + 1);
        g_used[k] = 1;
        return;
    }
}

void keep_on_interrupt(const std::string& path) {
    for (int k = 0; k < kMaxRemovals; ++k)
        if (g_used[k] != 0 && path == g_paths[k]) g_used[k] = 0;
}

// the readers of both halves of a drawing map it from two threads
namespace {
std::mutex g_mapping_lock;
}  // namespace

bool stop_on_bus_error(const void* begin, std::size_t bytes, const std::string& line) {
    if (line.size() >= kPathMax) return false;
    const std::lock_guard<std::mutex> lock(g_mapping_lock);
    for (int k = 0; k < kMaxMappings; ++k) {
        if (g_mapped[k] != 0) continue;
        g_mappings[k].begin = static_cast<const char*>(begin);
        g_mappings[k].bytes = bytes;
        std::memcpy(g_mappings[k].line, line.c_str(), line.size() + 1);
        g_mapped[k] = 1;
        return true;
    }
    return false;
}

void forget_bus_error(const void* begin) {
    const std::lock_guard<std::mutex> lock(g_mapping_lock);
    for (int k = 0; k < kMaxMappings; ++k)
        if (g_mapped[k] != 0 && g_mappings[k].begin == begin) g_mapped[k] = 0;
}

void restore_on_interrupt(int fd, const void* saved) {
#ifndef _WIN32
    if (saved == nullptr) {
        g_terminal_fd = -1;
        return;
    }
    g_terminal_fd = -1;
    std::memcpy(&g_terminal, saved, sizeof g_terminal);
    g_terminal_fd = fd;
#else
    (void)fd;
    (void)saved;
#endif
}

}  // namespace zorvel

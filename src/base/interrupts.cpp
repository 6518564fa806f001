#include "base/interrupts.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <termios.h>
#include <unistd.h>
#endif

namespace zorvel {

namespace {

constexpr int kMaxRemovals = 8;
constexpr std::size_t kPathMax = 4096;

// Written by the main thread before it publishes them (a slot's path, then
// its flag), read by the handler: plain memory and sig_atomic_t flags.
char g_paths[kMaxRemovals][kPathMax];
volatile std::sig_atomic_t g_used[kMaxRemovals];
#ifndef _WIN32
termios g_terminal;
volatile std::sig_atomic_t g_terminal_fd = -1;
#endif

extern "C" void on_interrupt(int sig) {
    // only async-signal-safe calls from here on
    for (int k = 0; k < kMaxRemovals; ++k) {
        if (g_used[k] == 0) continue;
#ifndef _WIN32
        unlink(g_paths[k]);
#else
        std::remove(g_paths[k]);
#endif
    }
#ifndef _WIN32
    if (g_terminal_fd >= 0) tcsetattr(g_terminal_fd, TCSANOW, &g_terminal);
#endif
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

void install_interrupt_handlers() {
#ifndef _WIN32
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    // one handler at a time: a second signal waits for the first to be undone
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
#else
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
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

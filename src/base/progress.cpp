#include "base/progress.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

namespace zorvel {

namespace {

// The stream a bar stands part-way on, if any.
std::atomic<std::FILE*> open_line{nullptr};

}  // namespace

void break_progress_line(std::FILE* f) {
    if (open_line != f || f == nullptr) return;
    std::fputc('\n', f);
    open_line = nullptr;
}

void TerminalProgress::start() {
    std::fputc('0', err_);
    std::fflush(err_);
    open_line = err_;
}

void TerminalProgress::at(double fraction) {
    const int ticks = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * kTicks));
    if (shown_ < ticks) open_line = err_;
    for (; shown_ < ticks;) {
        ++shown_;
        if (shown_ % 4 == 0)
            std::fprintf(err_, "%d", shown_ / 4 * 10);
        else
            std::fputc('.', err_);
    }
    if (shown_ == kTicks && !done_) {
        std::fputs(" - done.\n", err_);
        done_ = true;
        open_line = nullptr;
    }
    std::fflush(err_);
}

bool is_terminal(std::FILE* f) {
#ifdef _WIN32
    return _isatty(_fileno(f)) != 0;
#else
    return isatty(fileno(f)) != 0;
#endif
}

}  // namespace zorvel

// How far a long job has come, for whoever shows it.
#ifndef ZORVEL_PROGRESS_H
#define ZORVEL_PROGRESS_H

#include <cstdio>

namespace zorvel {

class Progress {
public:
    virtual ~Progress() = default;
    // The job is this far, from 0 to 1.
    virtual void at(double fraction) = 0;
};

// A part of a job: its own 0 to 1 shown as from..to of the whole; nothing
// without a Progress.
struct ProgressPart {
    Progress* whole = nullptr;
    double from = 0.0;
    double to = 1.0;
    void at(double fraction) const {
        if (whole != nullptr) whole->at(from + (to - from) * fraction);
    }
};

// Progress as GDAL's tools show it on a terminal: 0...10...20 ... 100 - done.
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::FILE* err) : err_(err) {}
    // Shows the 0 the bar starts from.
    void start();
    void at(double fraction) override;

private:
    static constexpr int kTicks = 40;  // a dot every 2.5%, a number every 10%
    std::FILE* err_;
    int shown_ = 0;
    bool done_ = false;
};

// Whether f is a terminal.
bool is_terminal(std::FILE* f);

// Ends the line of a bar that stands part-way on f, so that a line said
// meanwhile starts on a line of its own.
void break_progress_line(std::FILE* f);

}  // namespace zorvel

#endif

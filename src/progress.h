// How far a long job has come, for whoever shows it.
#ifndef ZORVEL_PROGRESS_H
#define ZORVEL_PROGRESS_H

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

}  // namespace zorvel

#endif

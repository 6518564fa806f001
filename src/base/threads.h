// A second thread for half of a job: whatever it throws (an allocation that
// failed) is thrown again where it is joined, and it is joined whichever way
// the scope that holds it is left.
#ifndef ZORVEL_THREADS_H
#define ZORVEL_THREADS_H

#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace zorvel {

class Helper;

// Keeps a thread for the helpers from now on, waiting between their jobs.
// While the loader maps a library on one thread (GDAL's, beside the
// reading), no other thread can start until it is done: a helper then
// runs on the kept thread rather than wait. Each call after the first does
// nothing; false where no thread can be had.
bool keep_spare_thread();

namespace detail {
// Hands h's job to the kept thread; false where there is none, or it is
// working for another helper.
bool hand_to_spare(Helper* h);
// Waits until the kept thread is done with h's job.
void wait_for_spare(Helper* h);
}  // namespace detail

class Helper {
public:
    // Runs f on a thread of its own, when one can be had (started() says):
    // the kept thread where it is free, a new one otherwise.
    template <typename F>
    explicit Helper(F&& f) : job_(std::forward<F>(f)) {
        if (detail::hand_to_spare(this)) {
            on_spare_ = true;
            return;
        }
        try {
            thread_ = std::jthread([this] { run(); });
        } catch (const std::system_error&) {
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() {
        if (on_spare_) detail::wait_for_spare(this);
    }

    bool started() const { return on_spare_ || thread_.joinable(); }
    // Waits for the thread; what f threw is thrown here.
    void join() {
        if (on_spare_) {
            detail::wait_for_spare(this);
            on_spare_ = false;
        }
        if (thread_.joinable()) thread_.join();
        if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
    }
    // The job, on whichever thread runs it.
    void run() {
        try {
            job_();
        } catch (...) {
            thrown_ = std::current_exception();
        }
    }

private:
    std::function<void()> job_;
    std::exception_ptr thrown_;
    bool on_spare_ = false;
    std::jthread thread_;  // last: joined before what it writes is gone
};

}  // namespace zorvel

#endif

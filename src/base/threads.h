// A second thread for half of a job: whatever it throws (an allocation that
// failed) is thrown again where it is joined, and it is joined whichever way
// the scope that holds it is left.
#ifndef ZORVEL_THREADS_H
#define ZORVEL_THREADS_H

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace zorvel {

class Helper {
public:
    // Runs f on a thread of its own, when one can be had (started() says).
    template <typename F>
    explicit Helper(F&& f) {
        try {
            thread_ = std::jthread([this, f = std::forward<F>(f)]() mutable {
                try {
                    f();
                } catch (...) {
                    thrown_ = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    bool started() const { return thread_.joinable(); }
    // Waits for the thread; what f threw is thrown here.
    void join() {
        if (thread_.joinable()) thread_.join();
        if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
    }

private:
    std::exception_ptr thrown_;
    std::jthread thread_;  // last: joined before what it writes is gone
};

}  // namespace zorvel

#endif

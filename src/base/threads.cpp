#include "base/threads.h"

#include <condition_variable>
#include <mutex>

namespace zorvel {

namespace {

// The kept thread: it runs one helper's job at a time, handed to it under
// the lock, and says when it is done with it.
class Spare {
public:
    bool start() {
        std::lock_guard<std::mutex> hold(m_);
        if (thread_.joinable()) return true;
        try {
            thread_ = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    bool take(Helper* h) {
        std::lock_guard<std::mutex> hold(m_);
        if (!thread_.joinable() || taken_ != nullptr) return false;
        taken_ = job_ = h;
        wake_.notify_one();
        return true;
    }
    void wait(Helper* h) {
        std::unique_lock<std::mutex> hold(m_);
        done_.wait(hold, [&] { return job_ == nullptr; });
        if (taken_ == h) taken_ = nullptr;
    }
    ~Spare() {
        {
            std::lock_guard<std::mutex> hold(m_);
            ending_ = true;
            wake_.notify_one();
        }
        if (thread_.joinable()) thread_.join();
    }

private:
    void loop() {
        std::unique_lock<std::mutex> hold(m_);
        for (;;) {
            wake_.wait(hold, [&] { return job_ != nullptr || ending_; });
            if (job_ == nullptr) return;
            Helper* h = job_;
            hold.unlock();
            h->run();
            hold.lock();
            job_ = nullptr;
            done_.notify_all();
        }
    }

    std::mutex m_;
    std::condition_variable wake_, done_;
    Helper* job_ = nullptr;    // the job to run, until it has run
    Helper* taken_ = nullptr;  // the helper it works for, until it has waited
    bool ending_ = false;
    std::thread thread_;
};

Spare& spare() {
    static Spare s;
    return s;
}

}  // namespace

bool keep_spare_thread() { return spare().start(); }

namespace detail {

bool hand_to_spare(Helper* h) { return spare().take(h); }

void wait_for_spare(Helper* h) { spare().wait(h); }

}  // namespace detail

}  // namespace zorvel

#include "passes/contour_drawer.h"

#include <new>

#include <cmath>
#include <system_error>

#include "base/numeric.h"

namespace zorvel {

namespace {

constexpr std::size_t kBatch = 8192;    // vertices handed over at a time
constexpr std::size_t kMaxBatches = 8;  // batches waiting at most: the queue is bounded

}  // namespace

ContourDrawer::ContourDrawer(ElevationGrid& dtab, const GridFrame& fr, Threads threads)
    : frame_(fr), dtab_(dtab), drawn_frame_(fr) {
    current_.reserve(kBatch);
    if (threads == Threads::one) return;
    try {
        worker_ = std::thread([this] { work(); });
        threaded_ = true;
    } catch (const std::system_error&) {
        threaded_ = false;  // one thread does it all
    }
}

ContourDrawer::~ContourDrawer() {
    if (!threaded_) return;
    drain();
    {
        std::lock_guard<std::mutex> lock(m_);
        done_ = true;
    }
    cv_.notify_all();
    worker_.join();
}

bool ContourDrawer::vertex(double x, double y, double alti, bool first) {
    current_.push_back(Vertex{x, y, alti, first, false});
    if (!threaded_) {
        if (!draw_batch(current_)) failed_ = true;
        current_.clear();
        return !failed_;
    }
    if (current_.size() == kBatch) {
        // placed here while the thread is behind, so that the two threads
        // share the placing as their loads allow
        if (share_ && backlog_ >= behind_) {
            for (Vertex& v : current_) {
                const Cell c = vertex_cell(frame_, v.x, v.y);
                v.x = c.i;
                v.y = c.j;
                v.placed = true;
            }
        }
        submit();
        // looked at once a batch: the thread writes next to it all the time
        seen_failed_ = failed();
        if (seen_failed_ && out_of_memory_) throw std::bad_alloc();
    }
    return !seen_failed_;
}

void ContourDrawer::submit() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return full_.size() < kMaxBatches; });
    full_.push_back(std::move(current_));
    backlog_ = full_.size();
    if (spare_.empty()) {
        current_ = std::vector<Vertex>();
        current_.reserve(kBatch);
    } else {
        current_ = std::move(spare_.back());
        spare_.pop_back();
    }
    cv_.notify_all();
}

void ContourDrawer::drain() {
    if (!threaded_) return;
    if (!current_.empty()) submit();
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return full_.empty() && !busy_; });
    if (out_of_memory_) throw std::bad_alloc();
}

void ContourDrawer::set_frame(const GridFrame& fr) {
    drain();
    frame_ = fr;
    drawn_frame_ = fr;
}

bool ContourDrawer::draw_batch(const std::vector<Vertex>& batch) {
    // a copy: read through this, the frame would share a cache line with
    // the fields the caller writes
    const GridFrame fr = drawn_frame_;
    const double rows = fr.nb_lig, cols = fr.nb_col;
    bool ok = true;
    Misses m = misses_;
    // held in registers: a store for every vertex would wait behind the
    // cells' stores, which miss the caches
    Cell deb = deb_;
    auto steps = dtab_.byte_steps();
    constexpr std::size_t kAhead = 32;  // vertices, a kilobyte
    for (std::size_t k = 0; k < batch.size(); ++k) {
        const Vertex& v = batch[k];
#if defined(__GNUC__) || defined(__clang__)
        // the batch was written on the other core: its lines are asked for
        // well ahead, or every one of them stalls the walk
        if (k + kAhead < batch.size()) __builtin_prefetch(&batch[k + kAhead]);
#endif
        const Cell cell = v.placed ? Cell{v.x, v.y} : vertex_cell(fr, v.x, v.y);
        // NaN fails every comparison: a cell without a position is no cell of the grid
        const bool inside = cell.i >= 0 && cell.i < rows && cell.j >= 0 && cell.j < cols;
        if (!inside) {
            const bool placed = std::isfinite(cell.i) && std::isfinite(cell.j);
            m.outside += placed;
            m.without_cell += !placed;
        }
        m.empty_mark += !v.first && v.alti > -1000.0 && v.alti <= -999.0;
        // most steps go to a neighbouring cell at the elevation drawn last
        if (steps && !v.first && bits_of(v.alti) == steps->bits && neighbour_step(steps->target, deb, cell, steps->code)) {
            deb = cell;
            continue;
        }
        ok = draw_step(dtab_, deb, v.first, cell, v.alti) && ok;
        if (steps && !v.first) steps = dtab_.byte_steps();
    }
    deb_ = deb;
    misses_ = m;
    return ok;
}

void ContourDrawer::work() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        cv_.wait(lock, [this] { return !full_.empty() || done_; });
        if (full_.empty()) return;
        std::vector<Vertex> batch = std::move(full_.front());
        full_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            if (!draw_batch(batch)) failed_ = true;
        } catch (const std::bad_alloc&) {
            // thrown again on the thread that hands the batches over
            out_of_memory_ = true;
            failed_ = true;
        }
        batch.clear();
        lock.lock();
        spare_.push_back(std::move(batch));
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace zorvel

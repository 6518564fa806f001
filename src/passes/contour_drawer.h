// The vertex steps of pass two, taken on a second thread in the order the
// vertices are handed over, while the drawing is read on: turning a vertex
// costs more than reading it.
#ifndef ZORVEL_CONTOUR_DRAWER_H
#define ZORVEL_CONTOUR_DRAWER_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "geometry/contour_pass.h"
#include "geometry/elevation_grid.h"

namespace zorvel {

// The hand-over: the caller fills a batch of vertices and queues it; the
// thread takes whole batches and draws them. What the thread uses besides a
// batch (the elevation grid, the cell of the previous vertex and its own
// copy of the frame) changes hands only in drain(), which returns once the
// queue is empty and the thread idle: so the caller may replace the grid or
// the frame after a drain, and never touches them before one.
class ContourDrawer {
public:
    static constexpr std::size_t kBehind = 2;  // see share_placing
    // Draws into dtab, placing the vertices in fr: on a thread of its own,
    // or, when asked or when no thread can be had, on the caller's.
    enum class Threads { two, one };
    ContourDrawer(ElevationGrid& dtab, const GridFrame& fr, Threads threads = Threads::two);
    ~ContourDrawer();  // drains, then ends the thread
    ContourDrawer(const ContourDrawer&) = delete;
    ContourDrawer& operator=(const ContourDrawer&) = delete;

    // Hands over the vertex step of (x, y, alti); first: the polyline's first
    // vertex. False once a step is known to have failed (see failed()).
    bool vertex(double x, double y, double alti, bool first);
    // Returns once every vertex handed over has been drawn.
    void drain();
    // Drains, then places the vertices handed over from now on in fr.
    void set_frame(const GridFrame& fr);
    // From now on the caller places the vertices of a batch itself
    // (vertex_cell) whenever `behind` batches or more wait for the thread:
    // for a caller with time to spare.
    void share_placing(std::size_t behind = kBehind) {
        share_ = true;
        behind_ = behind;
    }
    // Whether a vertex step has failed (see draw_step); nothing after it counts.
    bool failed() const { return failed_.load(std::memory_order_relaxed); }
    // The vertices drawn so far whose cell lies outside the grid's rows
    // 0..nb_lig-1 and columns 0..nb_col-1, those that have no cell (NaN or
    // infinite), and those that end a segment at an elevation whose whole
    // part is -999, which its cells then read as the mark of an empty cell;
    // read after a drain.
    struct Misses {
        long long outside = 0;
        long long without_cell = 0;
        long long empty_mark = 0;
    };
    const Misses& misses() const { return misses_; }

private:
    // The caller's fields come first, away from those the thread writes.
    static constexpr std::size_t kLine = 64;

    // 32 bytes: the batches cross from one core to the other
    struct Vertex {
        double x, y;  // the map point; once placed, the cell's i and j
        double alti;
        bool first;
        bool placed;
    };
    void submit();
    void work();
    bool draw_batch(const std::vector<Vertex>& batch);

    // Each group on cache lines of its own: a line that one thread writes
    // for every vertex and the other reads for every vertex would cross
    // between the cores at every vertex.
    // the caller's: the batch it fills, read and written for every vertex
    alignas(kLine) std::vector<Vertex> current_;
    GridFrame frame_;           // the caller's copy
    bool threaded_ = false;     // set once, before the thread starts
    bool seen_failed_ = false;  // failed(), as the caller last looked at it
    bool share_ = false;
    std::size_t backlog_ = 0;  // batches waiting after the last submit
    std::size_t behind_ = 0;
    // the hand-over, under the mutex
    alignas(kLine) std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::vector<Vertex>> full_;  // batches waiting to be drawn
    std::vector<std::vector<Vertex>> spare_;
    bool busy_ = false;  // the thread is drawing a batch
    bool done_ = false;
    // written by the thread when a step fails, read by the caller once a batch
    alignas(kLine) std::atomic<bool> failed_{false};
    std::atomic<bool> out_of_memory_{false};  // and when it ran out of memory
    // the thread's: written for every vertex
    alignas(kLine) ElevationGrid& dtab_;
    GridFrame drawn_frame_;  // the thread's copy
    Cell deb_{0, 0};         // the cell of the previous vertex drawn
    Misses misses_;
    std::thread worker_;
};

}  // namespace zorvel

#endif

// The work of pass two besides scanning: the grids, and every vertex placed
// and joined to the one before it.
#ifndef ZORVEL_CONTOUR_PASS_H
#define ZORVEL_CONTOUR_PASS_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "dialogue.h"
#include "run_state.h"
#include "trace_droite.h"

namespace zorvel {

// Creates dtab (-999.0 over rows 0..nb_lig and columns 0..nb_col, 0.0 in the
// last row and column); false, after a stop line, when it cannot be had. The
// memory asked of the machine is that of an elevation grid of doubles and a
// class grid, the most a run can need.
bool grid_setup(Console& con, RunState& rs);

// What the vertex step keeps from one vertex to the next.
struct VertexStep {
    double angle = 0.0;  // degrees, from the rotation dialogue
    int sentido = 0;     // 0 left, 1 right
    Cell deb{0, 0};      // cell of the previous vertex of the polyline
};

// The fractional grid position of a map point, before the rotation.
struct GridPoint {
    double i;
    double j;
};

// What placing a vertex reads: the grid size, the extents' minimum, the pixel
// size and the rotation, copied out of the run state.
struct Placing {
    int nb_lig;
    int nb_col;
    double min_x;
    double min_y;
    double pix_size;
    double angle;
    int sentido;
};
Placing placing(const RunState& rs, const VertexStep& vs);
GridPoint grid_position(const Placing& pl, double x, double y);

// The cell of the map point (x, y): its grid position, turned and rounded.
Cell vertex_cell(const Placing& pl, double x, double y);

// Joins cell to deb with alti unless it is a polyline's first; it becomes deb.
// False as for vertex_step.
bool draw_step(RunState& rs, VertexStep& vs, bool first, Cell cell, double alti);

// Places the vertex (x, y) of elevation alti: the first vertex of a
// polyline only sets deb, every later one draws the segment from deb. False
// when dtab had to widen for a new elevation and found no memory.
bool vertex_step(RunState& rs, VertexStep& vs, int& flag, double x, double y, double alti);

// The vertex steps of pass two, taken on a second thread in the order the
// scanner hands the vertices over, while the scanner reads on: turning a
// vertex costs more than reading it. Between drains the drawer alone uses
// dtab, deb, the grid size and the extents; the scanner changes them only
// after drain(). Where no second thread can be had, each step is taken at once.
class ContourDrawer {
public:
    static constexpr std::size_t kBehind = 2;  // see share_placing
    ContourDrawer(RunState& rs, VertexStep& vs);
    ~ContourDrawer();  // drains, then ends the thread
    ContourDrawer(const ContourDrawer&) = delete;
    ContourDrawer& operator=(const ContourDrawer&) = delete;

    // Hands over the vertex step of (x, y, alti); first: the polyline's first
    // vertex. False once a step is known to have failed (see failed()).
    bool vertex(double x, double y, double alti, bool first);
    // Returns once every vertex handed over has been drawn.
    void drain();
    // From now on the caller places the vertices of a batch itself
    // (vertex_cell) whenever `behind` batches or more wait for the thread: for
    // a caller with time to spare, which will not change the grid, the
    // extents or the pixel size before the next drain.
    void share_placing(std::size_t behind = kBehind) {
        share_ = true;
        behind_ = behind;
        placing_ = placing(rs_, vs_);
    }
    // Whether a vertex step has failed (see vertex_step); nothing after it counts.
    bool failed() const { return failed_.load(std::memory_order_relaxed); }

private:
    // The steps are handed over a batch at a time; the scanner's own fields
    // come first, away from those the thread writes.
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

    RunState& rs_;
    VertexStep& vs_;
    alignas(kLine) std::vector<Vertex> current_;  // the batch the scanner fills
    bool seen_failed_ = false;  // failed(), as the scanner last looked at it
    bool share_ = false;
    Placing placing_{};
    std::size_t backlog_ = 0;  // batches waiting after the last submit
    std::size_t behind_ = 0;
    alignas(kLine) std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::vector<Vertex>> full_;  // batches waiting to be drawn
    std::vector<std::vector<Vertex>> spare_;
    alignas(kLine) std::atomic<bool> failed_{false};
    bool busy_ = false;  // the thread is drawing a batch
    bool done_ = false;
    bool threaded_ = false;
    std::thread worker_;
};

}  // namespace zorvel

#endif

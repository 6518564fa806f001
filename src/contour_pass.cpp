#include "contour_pass.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

#include "numeric.h"
#include "rotation.h"


namespace zorvel {

bool grid_setup(Console& con, RunState& rs) {
    // both grids, the row pointers included, counted in extended precision:
    // the product passes 64 bits long before the int counts overflow
    const long double rows = static_cast<long double>(rs.nb_lig) + 2;
    const long double cols = static_cast<long double>(rs.nb_col) + 2;
    const long double need = rows * cols * (sizeof(double) + 1) + rows * (sizeof(double*) + sizeof(unsigned char*));
    const long double have =
        static_cast<long double>(rs.grid_memory_limit != 0 ? rs.grid_memory_limit : machine_memory());
    if (rs.nb_lig > INT32_MAX - 2 || rs.nb_col > INT32_MAX - 2 || need > have) {
        char text[200];
        std::snprintf(text, sizeof text, "la cuadricula de %d lineas y %d columnas necesita %.0Lf MiB de memoria y solo hay %.0Lf MiB",
                      rs.nb_lig, rs.nb_col, need / (1 << 20), have / (1 << 20));
        stop_line(con, text);
        return false;
    }
    rs.dtab = ElevationGrid();
    rs.tab = Grid<unsigned char>();
    rs.dtab = ElevationGrid::make(rs.nb_col + 2, rs.nb_lig + 2, rs.dtab_width);
    if (!rs.dtab) {
        stop_line(con, "sin memoria para la cuadricula de " + std::to_string(rs.nb_lig) + " lineas y " +
                           std::to_string(rs.nb_col) + " columnas");
        return false;
    }
    return true;
}

Placing placing(const RunState& rs, const VertexStep& vs) {
    return Placing{rs.nb_lig, rs.nb_col, rs.ext.min_x, rs.ext.min_y, rs.pix_size, vs.angle, vs.sentido};
}

GridPoint grid_position(const Placing& pl, double x, double y) {
    // row 0 lies at the top of the extents, the maximum Y
    const double i = static_cast<double>(pl.nb_lig - (static_cast<long double>(y) - pl.min_y) / pl.pix_size);
    const double j = static_cast<double>((static_cast<long double>(x) - pl.min_x) / pl.pix_size);
    return GridPoint{i, j};
}

Cell vertex_cell(const Placing& pl, double x, double y) {
    const GridPoint p = grid_position(pl, x, y);
    // turned even at angle 0: the rounding of the round trip is part of the result
    const Turned t = rotation(pl.angle, pl.sentido, p.i, p.j, pl.nb_lig, pl.nb_col);
    return Cell{round_half_up_exact(t.id2), round_half_up_exact(t.jd2)};
}

bool draw_step(RunState& rs, VertexStep& vs, bool first, Cell cell, double alti) {
    const Cell deb = vs.deb;
    vs.deb = cell;
    // each segment carries the elevation of its later vertex
    return first || rs.dtab.draw(deb, cell, alti);
}

bool vertex_step(RunState& rs, VertexStep& vs, int& flag, double x, double y, double alti) {
    const bool first = flag == 0;
    flag = 1;
    return draw_step(rs, vs, first, vertex_cell(placing(rs, vs), x, y), alti);
}

namespace {

constexpr std::size_t kBatch = 8192;    // vertices handed over at a time
constexpr std::size_t kMaxBatches = 8;  // batches waiting at most: the queue is bounded

}  // namespace

ContourDrawer::ContourDrawer(RunState& rs, VertexStep& vs) : rs_(rs), vs_(vs) {
    current_.reserve(kBatch);
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
    if (!threaded_) {
        int flag = first ? 0 : 1;
        if (!vertex_step(rs_, vs_, flag, x, y, alti)) failed_ = true;
        return !failed_;
    }
    current_.push_back(Vertex{x, y, alti, first, false});
    if (current_.size() == kBatch) {
        // placed here while the thread is behind, so that the two threads
        // share the placing as their loads allow
        if (share_ && backlog_ >= behind_) {
            // a copy: the thread writes next to these fields all the time
            const Placing pl = placing_;
            for (Vertex& v : current_) {
                const Cell c = vertex_cell(pl, v.x, v.y);
                v.x = c.i;
                v.y = c.j;
                v.placed = true;
            }
        }
        submit();
        // looked at once a batch: the thread writes next to it all the time
        seen_failed_ = failed();
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
        // the references in locals: read through this, they would share a
        // cache line with the batch the scanner is filling
        RunState& rs = rs_;
        VertexStep& vs = vs_;
        const Placing pl = placing(rs, vs);
        bool ok = true;
        for (const Vertex& v : batch) {
            const Cell cell = v.placed ? Cell{v.x, v.y} : vertex_cell(pl, v.x, v.y);
            ok = draw_step(rs, vs, v.first, cell, v.alti) && ok;
        }
        if (!ok) failed_ = true;
        batch.clear();
        lock.lock();
        spare_.push_back(std::move(batch));
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace zorvel

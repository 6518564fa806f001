// What the passes over a drawing share inside their layer: the sinks that
// measure a drawing (pass one) and draw it (pass two), alone or both at
// once, and the checks and warnings of a pass's end.
#ifndef ZORVEL_PASS_SINKS_H
#define ZORVEL_PASS_SINKS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/messages.h"
#include "geometry/contour_pass.h"
#include "passes/contour_drawer.h"
#include "passes/pass_types.h"

namespace zorvel {

// The elevation range starts at these values, not at the extremes of a double.
inline constexpr double kMinDynStart = 10000.0;
inline constexpr double kMaxDynStart = 0.0;

inline bool pass_ended(Console& con, const DrawingScan& d, PassEnd end) {
    if (end == PassEnd::read_error) stop_line(con, T_("no se puede leer ") + d.path + ": " + d.rd.error_text());
    return end == PassEnd::end_of_file;
}

// Elevations that all read 0 are most likely elevations that are not there.
inline void warn_of_all_zero(Console& con, const DrawingScan& d, const VertexTally& tally) {
    if (d.st.vertices > 0 && tally.nonzero == 0) warn_line(con, T_("todas las elevaciones leidas en ") + d.path + T_(" son 0"));
}

// A wrong skip count reads no error: warn of the usual signs of one, on
// standard error, and name the skip count the first vertex record asks.
inline void warn_of_skip_count(Console& con, DrawingScan& d, const VertexTally& tally) {
    if (d.st.vertices > 0 && d.st.misplaced * 2 > d.st.vertices) {
        const int fits = fitting_skip_count(d.rd, d.st.first_vertex);
        warn_line(con, T_("en ") + d.path + T_(" los codigos 10, 20 y 30 de los vertices no estan donde los pone el "
                           "numero de registros anteriores en Vertex (") + std::to_string(d.st.reg) + "); " +
                           (fits >= 0 ? T_("el primer vertice pide ") + std::to_string(fits)
                                      : std::string(T_("no se encuentra el codigo 10 tras VERTEX"))));
    }
    warn_of_all_zero(con, d, tally);
}

// Whether the header gave extents of 1e20 or more, the values some writers
// leave when they have none.
inline bool placeholder(const Extents& e) {
    for (double v : {e.min_x, e.min_y, e.max_x, e.max_y})
        if (!(std::fabs(v) < 1e20)) return true;
    return false;
}

// The grid's extents: the fixed ones, or the header's when usable; nullptr,
// after a stop line, when they are not.
inline const Extents* grid_extents(Console& con, const DrawingScan& d, const ExtentsPolicy& s, const Extents& header) {
    if (s.fixed_extents != nullptr) return s.fixed_extents;
    if (s.refuse_placeholder_extents && placeholder(header)) {
        stop_line(con, T_("el dibujo ") + d.path + T_(" no da extensiones utilizables ($EXTMIN, $EXTMAX)") + T_(s.extents_hint.c_str()));
        return nullptr;
    }
    return &header;
}

// The grid laid over the extents e: the policy's layout, or the extents
// themselves with the pass's pixel size; nullopt after a stop line.
inline std::optional<GridLayout> laid(Console& con, const ExtentsPolicy& p, const Extents& e, double pix_size) {
    if (!p.layout) return GridLayout{e, pix_size};
    std::string why;
    auto l = p.layout(e, why);
    if (!l) stop_line(con, why);
    return l;
}

// Pass one's sink: the first grid, and the tally of the vertices.
class MeasuringPass final : public ContourSink {
public:
    MeasuringPass(Console& con, Report& report, const DrawingScan& d, const PassOneOptions& o, VertexTally& tally)
        : con_(con), report_(report), d_(d), o_(o), tally_(tally) {}
    bool max_y_read(const Extents& ext) override {
        if (o_.extents.fixed_extents != nullptr) return true;
        return size(ext);
    }
    bool size(const Extents& ext) {
        const Extents* e = grid_extents(con_, d_, o_.extents, ext);
        if (e == nullptr) return false;
        const auto l = laid(con_, o_.extents, *e, o_.pix_size);
        if (!l) return false;
        layout = *l;
        grid = grid_sizing(con_, report_, l->frame, l->pix_size, Approximation::first, d_.path,
                           o_.extents.extents_name);
        return grid.has_value();
    }
    void polyline() override {
        if (d_.size > 0) o_.progress.at(static_cast<double>(d_.rd.consumed()) / static_cast<double>(d_.size));
    }
    bool vertex(double, double, double z) override {
        tally_.take(z);
        return true;
    }
    std::optional<GridSize> grid;
    GridLayout layout{};

private:
    Console& con_;
    Report& report_;
    const DrawingScan& d_;
    const PassOneOptions& o_;
    VertexTally& tally_;
};

// Pass two's sink: the final grid at the maximum Y of the header, and every
// vertex handed to the drawer.
class DrawingPass final : public ContourSink {
public:
    DrawingPass(Console& con, Report& report, const DrawingScan& d, const PassTwoOptions& o)
        : con_(con), report_(report), d_(&d), o_(o) {
        if (o_.lines != nullptr) o_.lines->clear();
    }

    // The next source: its polylines start afresh.
    void reading(const DrawingScan& d) {
        d_ = &d;
        flag = 0;
    }

    bool max_y_read(const Extents& ext) override {
        if (o_.extents.fixed_extents != nullptr) return true;
        return set_up(ext);
    }
    // The final grid for the extents, and the drawer's frame.
    bool set_up(const Extents& header) {
        // the grid is replaced: every vertex handed over so far is drawn first
        if (drawer_) drawer_->drain();
        const Extents* e = grid_extents(con_, *d_, o_.extents, header);
        if (e == nullptr) return false;
        const Extents& ext = *e;
        const auto l = laid(con_, o_.extents, ext, o_.pix_size);
        if (!l) return false;
        const auto size = grid_sizing(con_, report_, l->frame, l->pix_size, Approximation::second, d_->path,
                                      o_.extents.extents_name);
        if (!size) return false;
        nb_lig_ = size->nb_lig;
        nb_col_ = size->nb_col;
        dtab_ = ElevationGrid();
        drawn_ = {0, 0, nb_lig_, nb_col_};
        if (o_.window) {
            const GridWindow& w = *o_.window;
            if (w.xoff < 0 || w.yoff < 0 || w.xsize < 1 || w.ysize < 1 ||
                static_cast<long long>(w.xoff) + w.xsize > nb_col_ || static_cast<long long>(w.yoff) + w.ysize > nb_lig_) {
                stop_line(con_, T_("-srcwin: la ventana sale de la cuadricula de ") + std::to_string(nb_lig_) +
                                    T_(" lineas y ") + std::to_string(nb_col_) + T_(" columnas"));
                return false;
            }
            const WindowCells c = with_margin(w, o_.window_margin, nb_lig_, nb_col_);
            drawn_ = {c.i0, c.j0, c.rows, c.cols};
        }
        dtab_ = grid_setup(con_, drawn_.rows, drawn_.cols, o_.width, o_.memory, memory_hint(ext, l->pix_size),
                           o_.more_per_cell);
        if (!dtab_) return false;
        if (o_.window) dtab_.place_window(drawn_.i0, drawn_.j0, drawn_.rows, drawn_.cols);
        placed_in_ = ext;
        layout_ = *l;
        lines_frame_ = frame();
        if (drawer_)
            drawer_->set_frame(frame());
        else
            drawer_.emplace(dtab_, frame());
        return true;
    }
    bool extents_read(const Extents& ext) override {
        // the vertices from here on are placed with the new extents
        if (drawer_ && o_.extents.fixed_extents == nullptr) {
            const auto l = laid(con_, o_.extents, ext, o_.pix_size);
            if (!l) return false;
            placed_in_ = ext;
            layout_ = *l;
            lines_frame_ = frame();
            drawer_->set_frame(frame());
        }
        return true;
    }
    void polyline() override {
        flag = 0;
        if (o_.vertices > 0) o_.progress.at(static_cast<double>(handed_) / static_cast<double>(o_.vertices));
    }
    bool vertex(double x, double y, double z) override {
        if (!drawer_) {
            // nothing is ever drawn without a grid
            stop_line(con_, T_("el dibujo ") + d_->path + T_(" tiene vertices antes de $EXTMAX: no hay cuadricula"));
            return false;
        }
        const bool first = flag == 0;
        flag = 1;
        ++handed_;
        const Extents& e = placed_in_;
        const bool within = x >= e.min_x && x <= e.max_x && y >= e.min_y && y <= e.max_y;
        beyond_ += !within && std::isfinite(x) && std::isfinite(y);
        if (o_.lines != nullptr) o_.lines->vertex(turned_position(lines_frame_, x, y), z, first);
        return drawer_->vertex(x, y, z, first) || changed();
    }
    // With quiet_overflow, an elevation more than the cells code stops the
    // pass without a word, and overflowed says so: the caller reads the
    // source again the two-pass way.
    bool quiet_overflow = false;
    bool overflowed = false;
    // From here on nothing changes the grid: the caller places vertices too.
    void share_placing() {
        if (drawer_) drawer_->share_placing();
    }
    std::optional<PassTwo> finish() {
        if (!drawer_) {
            stop_line(con_, T_("el dibujo ") + d_->path + T_(" no da la Y maxima en la segunda lectura: no hay cuadricula") +
                                T_(o_.extents.extents_hint.c_str()));
            return std::nullopt;
        }
        drawer_->drain();
        const bool failed = drawer_->failed();
        const ContourDrawer::Misses misses = drawer_->misses();
        drawer_.reset();
        if (failed) return changed(), std::nullopt;
        return PassTwo{nb_lig_,  nb_col_,  std::move(dtab_), drawn_.i0, drawn_.j0, drawn_.rows,
                       drawn_.cols, layout_, handed_,         beyond_,   misses};
    }

    int flag = 0;  // 0 until the current polyline has placed a vertex

private:
    // Where the command line can say what to change: the extents that asked
    // for the grid, and -te.
    std::string memory_hint(const Extents& ext, double pix_size) const {
        if (o_.extents.extents_hint.empty()) return o_.extents.memory_hint;
        const std::string text = message(T_(" para X de {1} a {2} e Y de {3} a {4} con pixel {5}"),
                                         {number_text(ext.min_x), number_text(ext.max_x), number_text(ext.min_y),
                                          number_text(ext.max_y), number_text(pix_size)});
        return "; " + std::string(T_(o_.extents.extents_name.c_str())) + text + T_("; indique -te XMIN YMIN XMAX YMAX o un pixel mayor") +
               o_.extents.memory_hint;
    }
    GridFrame frame() const {
        // a grid laid out as asked places the vertices as it is laid out
        return GridFrame{nb_lig_,       nb_col_,         layout_.frame.min_x, layout_.frame.min_y, layout_.pix_size,
                         o_.turn.angle, o_.turn.sentido, !o_.extents.layout};
    }
    // The cells are as wide as pass one's count of the elevations asked: an
    // elevation more can only come from a drawing that changed since.
    bool changed() {
        if (quiet_overflow)
            overflowed = true;
        else
            stop_line(con_, T_("el dibujo ") + d_->path + T_(" ha cambiado entre la primera y la segunda lectura"));
        return false;
    }

    Console& con_;
    Report& report_;
    const DrawingScan* d_;  // the source being read
    const PassTwoOptions& o_;
    int nb_lig_ = 0;
    int nb_col_ = 0;
    struct {
        int i0, j0, rows, cols;
    } drawn_{0, 0, 0, 0};  // the cells dtab_ holds
    long handed_ = 0;      // vertices handed to the drawer
    long long beyond_ = 0;  // of those, with a position beyond the extents they are placed in
    Extents placed_in_;    // the extents the grid is laid over
    GridLayout layout_{};  // and the grid laid over them
    GridFrame lines_frame_{};  // where the lines are kept, when they are
    // the drawer's thread reads the grid at every segment: not on a cache
    // line that this thread writes at every vertex
    alignas(64) ElevationGrid dtab_;
    std::optional<ContourDrawer> drawer_;  // after dtab_: it draws into it
};

// What the word scanner would count of a source it does not read, pass
// one's tally taken; the polylines and vertices handed on to `next`.
class Counted final : public ContourSink {
public:
    Counted(MeasuringPass& measure, ContourSink& next, ScanState& st) : measure_(measure), next_(next), st_(st) {}
    void polyline() override {
        ++st_.segm;
        next_.polyline();
    }
    bool vertex(double x, double y, double z) override {
        ++st_.vertices;
        measure_.vertex(x, y, z);
        return next_.vertex(x, y, z);
    }

private:
    MeasuringPass& measure_;
    ContourSink& next_;
    ScanState& st_;
};

// Both passes at once, over a source whose grid fixed extents lay out
// before it is read: pass one's tally and sizing, and pass two's drawing
// into cells of one byte, an elevation more than they code stopping it
// without a word (draw.overflowed).
struct DrawnAsRead {
    DrawnAsRead(Console& con, Report& report, const DrawingScan& d, const PassOneOptions& o,
                const PassTwoOptions& two)
        : measure(con, report, d, o, one.tally), two_o(two), draw(con, report, d, two_o) {
        draw.quiet_overflow = true;
    }
    // Both grids laid over the extents; false after a stop line.
    bool set_up(const Extents& fixed) {
        if (!measure.size(fixed)) return false;
        two_o.pix_size = measure.layout.pix_size;
        two_o.width = 1;
        return draw.set_up(fixed);
    }
    PassOne one{GridSize{0, 0}, GridLayout{}, VertexTally{{kMinDynStart, kMaxDynStart}, {}}, VertexLog(0)};
    MeasuringPass measure;
    PassTwoOptions two_o;  // what draw reads
    DrawingPass draw;
};

// Pass one's result once its sink has sized the grid.
inline PassOne measured(PassOne one, const MeasuringPass& sink, const PassOneOptions& o) {
    o.progress.at(1.0);
    one.grid = *sink.grid;
    one.layout = sink.layout;
    return one;
}

// The extents at the header's maximum Y, the drawing put back at its start;
// end tells how the reading ended.
std::optional<Extents> extents_at_max_y(DrawingScan& d, PassEnd& end);

}  // namespace zorvel

#endif

#include "run/treatment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/memory.h"
#include "base/messages.h"
#include "classes/classify.h"
#include "output/output.h"
#include "passes/vertex_log.h"
#include "run/grid_facts.h"
#include "run/sources.h"
#include "run/fill_run.h"
#include "surface/strip_tables.h"
#include "surface/surface_fill.h"

namespace zorvel {

namespace {

// How long pass one's log of the vertices may grow: a source without a
// drawing file has its log for pass two and nothing else.
std::size_t vertex_log_bound_of(const RunState& rs) {
    if (rs.files.f1 == nullptr) return static_cast<std::size_t>(machine_memory() / 2);
    return rs.limits.vertex_log_bytes == RunLimits::kLogBoundOfDrawing ? vertex_log_bound(rs.files.f1.get())
                                                                        : rs.limits.vertex_log_bytes;
}

// Tells, on standard error, of what the grid drawn and classified does not
// hold: vertices outside it or without a position, contours whose cells
// read as empty (when the drawn cells are read), and drawn cells whose
// elevation is no class value.
void warn_of_losses(Console& con, const PassTwo& two, const ExtentsPolicy& policy, const RotationChoice& turn,
                    const ClassTable& ct, bool cells_read, long long unclassified) {
    const std::string extents_name = T_(policy.extents_name.c_str());
    const std::string of = T_(" de ") + std::to_string(two.vertices) + T_(" vertices ");
    if (two.misses.outside > 0) {
        // the vertices beyond the extents, then what the grid loses of the sheet itself
        std::string cause;
        if (two.beyond > 0)
            cause = std::to_string(two.beyond) + (two.beyond == 1 ? T_(" esta") : T_(" estan")) + T_(" fuera de ") +
                    extents_name;
        if (two.misses.outside > two.beyond) {
            const std::string angle = number_text(turn.angle);
            cause += (cause.empty() ? "" : "; ") +
                     (turn.angle != 0.0 ? std::string(T_("el giro de ")) + angle +
                                              T_(" grados deja fuera las esquinas de la hoja, que la cuadricula del "
                                              "tamano de ") + extents_name + T_(" sin girar no cubre")
                                        : T_("los de la X maxima o la Y minima de ") + extents_name +
                                              T_(" caen en la columna o la linea que sigue a la ultima"));
        }
        warn_line(con, std::to_string(two.misses.outside) + of + T_("caen fuera de la cuadricula de ") +
                           std::to_string(two.nb_lig) + T_(" lineas y ") + std::to_string(two.nb_col) + T_(" columnas: ") +
                           cause);
    }
    if (two.misses.without_cell > 0)
        warn_line(con, std::to_string(two.misses.without_cell) + of +
                           T_("no tienen posicion (coordenadas NaN o infinitas): sus segmentos no se dibujan"));
    if (cells_read && two.misses.empty_mark > 0)
        warn_line(con, std::to_string(two.misses.empty_mark) + of +
                           T_("acaban un segmento a una elevacion de parte entera -999, la marca de las celdas vacias: "
                              "sus celdas se leen como vacias"));
    if (unclassified > 0) {
        const std::string values = ct.num_segment >= 1 ? T_(" (de ") + std::to_string(ct.tabord[1]) + T_(" cada ") +
                                                             std::to_string(ct.intervalo) + ")"
                                                       : T_(" (ninguno)");
        warn_line(con, std::to_string(unclassified) +
                           T_(" celdas con curva quedan sin clase: su elevacion entera no es ningun valor de clase") +
                           values);
    }
}

// The run's steps, in order, over the state they hand on: the sources set
// up, pass one (or both passes at once), the pixel size between them, pass
// two, the fill, and the classes.
class Treatment {
public:
    Treatment(Console& con, Report& report, RunState& rs, RunSettings& settings)
        : con_(con), report_(report), rs_(rs), settings_(settings), progress_(settings.progress()) {}

    bool run(const ContourSource& source) {
        sheets_ = sheets_of(rs_.files, settings_, source);
        if (sheets_.empty()) return false;
        const std::size_t log_bound = vertex_log_bound_of(rs_);
        if (!set_policy(source)) return false;
        read_near_window(sheets_, settings_, policy_);
        kept_lines_ = settings_.fill() || settings_.fill_tables().by_strips ? &lines_ : nullptr;
        one_options_ = PassOneOptions{rs_.pix_size, rs_.limits.ahead_min_bytes, log_bound, policy_,
                                      ProgressPart{progress_, 0.0, 0.45}};
        if (read_as_drawn() == Step::stop) return false;
        if (!two_ && !pass_one_of_each(log_bound)) return false;
        rs_.stages.mark("pasada-1");
        if (!between_passes()) return false;
        if (!two_ && !(two_ = pass_two(con_, report_, logs_, two_options(ProgressPart{progress_, 0.45, 0.9}, vertices_))))
            return false;
        rs_.stages.mark("pasada-2");
        take_grid();
        // the fill gives every cell its elevation (in room of its own): the drawn ones are not read
        if (settings_.keep_elevations() && !settings_.fill()) rs_.alti = elevations_of(two_->dtab, rs_.nb_lig, rs_.nb_col);
        if (settings_.fill()) {
            let_go_of_drawn_grid();
            const auto range = fill_between_contours(con_, rs_, std::move(lines_), settings_.window(), settings_.window_margin(),
                                                    settings_.window_margin_grows(), settings_.fill_tables());
            if (!range) return false;
            // the range of a grid no contour reaches is none
            if (rs_.fill->unreached < static_cast<long long>(rs_.nb_lig) * rs_.nb_col) filled_ = range;
            rs_.stages.mark("relleno");
        }
        if (settings_.fill_tables().by_strips && !make_tables()) return false;
        if (!classify()) return false;
        rs_.stages.mark("clases");
        // the progress ends whole before anything else is said
        ProgressPart{progress_, 0.0, 1.0}.at(1.0);
        return true;
    }

private:
    enum class Step { done, again, stop };

    // The tables of the windows of a plan of the fill, from every line: by
    // the whole grid's fill where it takes at most half the memory there is
    // (once, where the strips fill each strip three times or more), strip by
    // strip otherwise: the tables are the same. False after a stop line.
    bool make_tables() {
        const FillTables tables = settings_.fill_tables();
        if (tables.made == nullptr || !tables.windows) return true;
        const int rows = rs_.whole.nb_lig, cols = rs_.whole.nb_col;
        constexpr long double kBytesPerCell = 19;  // the nearest levels, the elevations, the areas' marks
        const bool whole = static_cast<long double>(rows) * cols * kBytesPerCell * 2 <= static_cast<long double>(usable_memory());
        try {
            if (whole) {
                std::vector<double> room;
                if (!fill_surface(room, GridPart::whole(rows, cols), std::move(lines_), true, nullptr,
                                  FillTables{tables.windows, tables.made}))
                    throw std::bad_alloc();
            } else {
                *tables.made = tables.windows(rows, cols);
                tabulate_by_strips(lines_, rows, cols, *tables.made, true);
            }
        } catch (const std::bad_alloc&) {
            stop_no_memory(con_, T_("el relleno entre las curvas"), rows, cols);
            return false;
        }
        ContourLines{}.swap(lines_);
        rs_.stages.mark("relleno");
        return true;
    }

    // One grid over every sheet; a source read through OGR has its layer's
    // extents, unless others are fixed. False after a stop line.
    bool set_policy(const ContourSource& source) {
        policy_ = settings_.extents_policy();
        if (sheets_.size() > 1 && policy_.fixed_extents == nullptr) {
            if (!(united_ = united_extents(con_, sheets_, policy_))) return false;
            policy_.fixed_extents = &*united_;
            policy_.extents_name = T_("la union de las extensiones de las fuentes");
        }
        if (source.ogr != nullptr && policy_.fixed_extents == nullptr) {
            policy_.fixed_extents = &source.ogr->extents();
            policy_.extents_name = T_("la extension de la capa");
        }
        return true;
    }

    PassTwoOptions two_options(ProgressPart part, long vertices) const {
        return PassTwoOptions{rs_.pix_size, *turn_,  one_ ? one_->tally.count.width() : 1, rs_.limits.grid_memory,
                              policy_,      part,    vertices, settings_.window(), kept_lines_,
                              settings_.more_per_cell(), settings_.window_margin()};
    }

    // A source whose grid is laid out before its first vertex is drawn as it
    // is read: read through OGR (the layer's extents, or -te), or a drawing
    // whose grid the command line lays out (its header's extents, or -te).
    // Where that cannot stand for the two passes (again), they read it again.
    Step read_as_drawn() {
        const Sheet& only = sheets_.front();
        DrawingScan& d = *only.d;
        if (sheets_.size() != 1 || settings_.derived_pixel_size() || !(only.ogr != nullptr || (d.f != nullptr && policy_.layout)))
            return Step::again;
        if (!(turn_ = settings_.rotation())) return Step::stop;
        bool again = false;
        PassOneOptions options = one_options_;
        options.progress = ProgressPart{progress_, 0.0, 0.9};
        PassTwoOptions both_options = two_options(ProgressPart{progress_, 0.0, 0.9}, 0);
        both_options.pix_size = 0.0;
        const auto read = [&](ContourSink& sink) {
            std::string why;
            const bool whole = only.ogr->read(sink, why);
            if (!whole && !why.empty()) stop_line(con_, why);
            again = !whole && only.ogr->read_again();
            return whole;
        };
        BothPasses both = only.ogr == nullptr ? draw_while_scanning(con_, report_, d, options, both_options)
                                              : draw_while_reading(con_, report_, d, options, both_options, read);
        if (both.outcome != BothPasses::Outcome::drawn) {
            if (both.outcome == BothPasses::Outcome::stopped && !again) return Step::stop;
            // more elevations than a byte codes, or a source that is to be
            // read another way: read again, the two-pass way
            if (only.ogr != nullptr) d.st = ScanState{};
            return Step::again;
        }
        if (only.ogr != nullptr && !only.ogr->doubt().empty()) warn_line(con_, only.ogr->doubt());
        one_ = std::move(both.passes->first);
        two_ = std::move(both.passes->second);
        segm_ = d.st.segm;
        return Step::done;
    }

    // Pass one of every sheet, their logs kept for pass two; false after a stop line.
    bool pass_one_of_each(std::size_t log_bound) {
        for (Sheet& s : sheets_) {
            PassOneOptions own_options = one_options_;
            own_options.log_bound = s.d->f == nullptr || s.d->f == rs_.files.f1.get() ? log_bound : vertex_log_bound(s.d->f);
            auto own = first_pass(con_, report_, *s.d, own_options, s.ogr);
            // a source that stopped to be read another way is read again
            if (!own && s.ogr != nullptr && s.ogr->read_again()) {
                s.d->st = ScanState{};
                own = first_pass(con_, report_, *s.d, own_options, s.ogr);
            }
            if (!own) return false;
            vertices_ += s.d->st.vertices;
            segm_ += s.d->st.segm;
            logs_.push_back(SourceLog{s.d.get(), std::move(own->log)});
            if (one_)
                one_->tally.add(own->tally);
            else
                one_ = std::move(own);
            s.d->rewind();
        }
        return true;
    }

    // The elevations checked, the rotation asked, the pixel size it gives;
    // false after a stop line.
    bool between_passes() {
        if (settings_.refuse_non_finite() && one_->tally.non_finite > 0) {
            stop_line(con_, message(T_("{1} vertices de {2} tienen una elevacion que no es finita (NaN o infinita): no cabe "
                                       "entre las otras"),
                                    {std::to_string(one_->tally.non_finite), rs_.files.nomim1}));
            return false;
        }
        if (!turn_ && !(turn_ = settings_.rotation())) return false;
        const DrawingScan& d = *sheets_.front().d;
        const double pix_size_def = settings_.derived_pixel_size()
                                        ? rotated_pixel_size(rs_.pix_size, one_->grid.nb_col, turn_->angle)
                                        : one_->layout.pix_size;
        report_.pass_one(segm_, one_->tally.range.min_dyn, one_->tally.range.max_dyn, d.ext);
        rs_.pix_size = pix_size_def;
        rs_.turn = *turn_;
        if (!(pix_size_def > 0.0) || !std::isfinite(pix_size_def)) {
            stop_line(con_, T_("el angulo de rotacion no da un tamano de pixel utilizable"));
            return false;
        }
        return true;
    }

    // The grid pass two drew: its size, where it lies, its cells.
    void take_grid() {
        rs_.nb_lig = two_->rows;
        rs_.nb_col = two_->cols;
        rs_.whole = {two_->nb_lig, two_->nb_col, two_->i0, two_->j0};
        rs_.ext = policy_.fixed_extents != nullptr ? *policy_.fixed_extents : sheets_.front().d->ext;
        rs_.frame = two_->layout.frame;
        rs_.pix_size = two_->layout.pix_size;
    }

    // The extents of every source together.
    Extents sources_extents() const {
        const auto of = [](const Sheet& s) { return s.ogr != nullptr ? s.ogr->extents() : s.d->ext; };
        Extents all = of(sheets_.front());
        for (const Sheet& s : sheets_) {
            const Extents e = of(s);
            all.min_x = std::min(all.min_x, e.min_x);
            all.min_y = std::min(all.min_y, e.min_y);
            all.max_x = std::max(all.max_x, e.max_x);
            all.max_y = std::max(all.max_y, e.max_y);
        }
        return all;
    }

    // Before the fill, what the classes read of the drawn grid, then the
    // grid itself: the fill gives the cells their elevations in room of its
    // own. Where pass one could not count every elevation, the contours'
    // interval is read from the drawn cells, and only if asked: the grid stays.
    void let_go_of_drawn_grid() {
        const ElevationGrid& dtab = two_->dtab;
        suggested_ = suggested_interval(distinct_elevations(dtab, rs_.nb_lig, rs_.nb_col));
        drawn_ = drawn_range(dtab, rs_.nb_lig, rs_.nb_col);
        if (one_ && one_->tally.count.all_counted()) two_->dtab = ElevationGrid();
    }

    // The classes chosen, their table written, the cells given their class;
    // false after a stop line.
    bool classify() {
        ElevationGrid& dtab = two_->dtab;
        const int nb_lig = rs_.nb_lig, nb_col = rs_.nb_col;
        const ClassHints hints{suggested_ ? *suggested_ : suggested_interval(distinct_elevations(dtab, nb_lig, nb_col)),
                               [&] { return source_interval(one_->tally.count, dtab, nb_lig, nb_col); },
                               [&] {
                                   return settings_.limits_from_vertices() ? vertex_range(one_->tally)
                                                      : drawn_ ? *drawn_ : drawn_range(dtab, nb_lig, nb_col);
                               },
                               filled_, sources_extents()};
        const auto choice = settings_.classes(hints);
        if (!choice) return false;
        rs_.val_minimo = choice->val_minimo;
        rs_.val_maximo = choice->val_maximo;
        rs_.classes = choice->ct;
        if (rs_.files.f3d && !write_table(con_, rs_.files.f3d, rs_.files.nomdescr3, choice->ct)) return false;
        // a window's losses are its own cells': those of its margin are another window's
        CountedCells counted;
        if (const auto w = settings_.window())
            counted = {w->yoff - rs_.whole.i0, w->yoff - rs_.whole.i0 + w->ysize, w->xoff - rs_.whole.j0,
                       w->xoff - rs_.whole.j0 + w->xsize};
        Classified classified = settings_.fill() ? band_assignment(rs_.alti, nb_lig, nb_col, choice->ct, counted)
                                                 : class_assignment(report_, dtab, nb_lig, nb_col, choice->ct,
                                                                    ProgressPart{progress_, 0.9, 1.0}, counted);
        rs_.tab = std::move(classified.tab);
        if (!rs_.tab) {
            stop_no_memory(con_, T_("las clases de la cuadricula"), nb_lig, nb_col);
            return false;
        }
        warn_of_losses(con_, *two_, policy_, *turn_, choice->ct, !settings_.fill(), settings_.fill() ? 0 : classified.unclassified);
        if (!settings_.fill()) {
            corner_cleanup(rs_.tab, nb_lig, nb_col);
            return true;
        }
        // bands cover the map: there are no lines whose corners to clear
        if (classified.unclassified > 0)
            warn_line(con_, std::to_string(classified.unclassified) +
                                T_(" celdas con elevacion quedan sin clase: caen fuera de las bandas de la tabla (de ") +
                                std::to_string(choice->val_minimo) + T_(" a ") + std::to_string(choice->val_maximo) + ")");
        return true;
    }

    Console& con_;
    Report& report_;
    RunState& rs_;
    RunSettings& settings_;
    Progress* progress_;
    std::vector<Sheet> sheets_;
    ExtentsPolicy policy_;
    std::optional<Extents> united_;
    ContourLines lines_;  // the lines themselves, for the terrain between them
    ContourLines* kept_lines_ = nullptr;
    PassOneOptions one_options_{};
    std::optional<PassOne> one_;
    std::optional<PassTwo> two_;
    // of a filled grid, what the classes read of the drawn cells before they went
    std::optional<int> suggested_;
    std::optional<DrawnRange> drawn_;
    std::optional<RotationChoice> turn_;
    std::vector<SourceLog> logs_;
    long vertices_ = 0;
    int segm_ = 0;
    std::optional<std::pair<double, double>> filled_;  // the filled grid's lowest and highest elevation
};

}  // namespace

bool treatment(Console& con, Report& report, RunState& rs, RunSettings& settings, const ContourSource& source) {
    return Treatment(con, report, rs, settings).run(source);
}

}  // namespace zorvel

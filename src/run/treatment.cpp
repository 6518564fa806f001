#include "run/treatment.h"
#include "base/messages.h"

#include <bit>
#include <cmath>
#include <unordered_set>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "classes/classify.h"
#include "surface/surface_fill.h"
#include "output/output.h"
#include "base/memory.h"
#include "passes/vertex_log.h"
#include "output/envi_header.h"

namespace zorvel {

namespace {

// Widens r to the whole elevation of alt; empty cells (-999) and values
// without a whole elevation are left out.
void widen(DrawnRange& r, double alt) {
    const std::int64_t w = whole_elevation(alt);
    if (w == -999 || w == kNoWholeElevation) return;
    r.lowest = r.any ? std::min(r.lowest, static_cast<int>(w)) : static_cast<int>(w);
    r.highest = r.any ? std::max(r.highest, static_cast<int>(w)) : static_cast<int>(w);
    r.any = true;
}

// The lowest and highest whole elevation in rows 0..nb_lig-1 and columns
// 0..nb_col-1 of dtab, empty cells and values without one left out.
DrawnRange drawn_range(const ElevationGrid& dtab, int nb_lig, int nb_col) {
    DrawnRange r{false, 0, 0};
    const auto take = [&](double alt) { widen(r, alt); };
    dtab.visit([&](const auto& c) {
        if constexpr (std::is_same_v<std::decay_t<decltype(c)>, PlainCells>) {
            for (int i = 0; i < nb_lig; ++i)
                for (int j = 0; j < nb_col; ++j) take(c.cells[i][j]);
        } else {
            // the codes the cells hold, then their elevations
            std::vector<unsigned char> held(c.values.size());
            for (int i = 0; i < nb_lig; ++i)
                for (int j = 0; j < nb_col; ++j) held[c.cells[i][j]] = true;
            for (std::size_t k = 0; k < held.size(); ++k)
                if (held[k]) take(c.values[k]);
        }
    });
    return r;
}

// The lowest and highest whole elevation of every vertex pass one read (of
// its range where it counted too many elevations to keep them).
DrawnRange vertex_range(const VertexTally& tally) {
    DrawnRange r{false, 0, 0};
    const auto take = [&](double alt) { widen(r, alt); };
    if (tally.count.all_counted()) {
        for (const double v : tally.count.values()) take(v);
    } else {
        take(tally.range.min_dyn);
        take(tally.range.max_dyn);
    }
    return r;
}

// The contour interval of the whole source, from the elevations pass one
// counted; from the drawn grid where they were too many to keep.
ContourInterval source_interval(const ElevationCount& count, const ElevationGrid& dtab, int nb_lig, int nb_col) {
    if (count.all_counted()) return contour_interval(count.values());
    std::unordered_set<std::uint64_t> seen;
    dtab.visit([&](const auto& c) {
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j) seen.insert(bits_of(c.at(i, j)));
    });
    std::vector<double> drawn;
    for (std::uint64_t bits : seen) drawn.push_back(std::bit_cast<double>(bits));
    return contour_interval(drawn);
}

// The elevations of rows 0..nb_lig-1 and columns 0..nb_col-1, row after row.
std::vector<double> elevations_of(const ElevationGrid& dtab, int nb_lig, int nb_col) {
    std::vector<double> alti(static_cast<std::size_t>(nb_lig) * static_cast<std::size_t>(nb_col));
    dtab.visit([&](const auto& c) {
        double* out = alti.data();
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j) *out++ = c.at(i, j);
    });
    return alti;
}

// How long pass one's log of the vertices may grow: a source without a
// drawing file has its log for pass two and nothing else.
std::size_t vertex_log_bound_of(const RunState& rs) {
    if (rs.files.f1 == nullptr) return static_cast<std::size_t>(machine_memory() / 2);
    return rs.limits.vertex_log_bytes == RunLimits::kLogBoundOfDrawing ? vertex_log_bound(rs.files.f1.get())
                                                                        : rs.limits.vertex_log_bytes;
}

// Tells, on standard error, of what the grid drawn and classified does not
// hold: vertices outside it or without a position, and drawn cells whose
// elevation is no class value.
void warn_of_losses(Console& con, const PassTwo& two, const ExtentsPolicy& policy, const RotationChoice& turn,
                    const ClassTable& ct, long long unclassified) {
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
    if (unclassified > 0) {
        const std::string values = ct.num_segment >= 1 ? T_(" (de ") + std::to_string(ct.tabord[1]) + T_(" cada ") +
                                                             std::to_string(ct.intervalo) + ")"
                                                       : T_(" (ninguno)");
        warn_line(con, std::to_string(unclassified) +
                           T_(" celdas con curva quedan sin clase: su elevacion entera no es ningun valor de clase") +
                           values);
    }
}

// Fills the run's alti between the contours; the lowest and highest
// elevation of the filled grid; nullopt after a stop line.
std::optional<std::pair<double, double>> fill_between_contours(Console& con, RunState& rs, ContourLines&& lines,
                                                               int i0, int j0) {
    const auto fill = fill_surface(rs.alti, rs.nb_lig, rs.nb_col, std::move(lines), i0, j0);
    if (!fill) {
        stop_no_memory(con, T_("el relleno entre las curvas"), rs.nb_lig, rs.nb_col);
        return std::nullopt;
    }
    rs.fill = *fill;
    if (fill->unreached > 0)
        warn_line(con, std::to_string(fill->unreached) +
                           T_(" celdas quedan sin elevacion: no les llega ninguna curva (la cuadricula no tiene ninguna)"));
    return std::pair{fill->lowest, fill->highest};
}

// Pass one, through the word scanner or from the OGR source.
std::optional<PassOne> first_pass(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                                  OgrSource* ogr) {
    if (ogr == nullptr) return pass_one(con, report, d, o);
    const Extents& extents = o.extents.fixed_extents != nullptr ? *o.extents.fixed_extents : ogr->extents();
    return pass_one_of(con, report, d, o, extents, [&](ContourSink& sink) {
        std::string why;
        const bool read = ogr->read(sink, why);
        if (!read && !why.empty()) stop_line(con, why);
        if (read && !ogr->doubt().empty()) warn_line(con, ogr->doubt());
        return read;
    });
}

// One source of the run, as both passes read it.
struct Sheet {
    std::unique_ptr<DrawingScan> d;
    OgrSource* ogr;  // nullptr: d's drawing file
};

// The run's sources with their skip counts; empty after a stop line.
std::vector<Sheet> sheets_of(RunState& rs, RunSettings& settings, const ContourSource& source) {
    std::vector<MoreSource> all{{rs.files.nomim1, rs.files.f1.get(), source.ogr}};
    all.insert(all.end(), source.more.begin(), source.more.end());
    std::vector<Sheet> sheets;
    for (const MoreSource& m : all) {
        std::optional<int> reg = 0;
        if (m.ogr == nullptr) reg = settings.skip_count(m.file, m.path);
        if (!reg) return {};
        sheets.push_back(Sheet{std::make_unique<DrawingScan>(m.file, m.path, *reg), m.ogr});
    }
    return sheets;
}

// The extents that cover every sheet's (its header's or its layer's);
// nullopt after a stop line.
std::optional<Extents> united_extents(Console& con, std::vector<Sheet>& sheets, const ExtentsPolicy& policy) {
    std::optional<Extents> united;
    for (Sheet& s : sheets) {
        const auto e = s.ogr != nullptr ? std::optional<Extents>(s.ogr->extents()) : header_extents(con, *s.d, policy);
        if (!e) return std::nullopt;
        if (!united) {
            united = *e;
            continue;
        }
        united->min_x = std::min(united->min_x, e->min_x);
        united->min_y = std::min(united->min_y, e->min_y);
        united->max_x = std::max(united->max_x, e->max_x);
        united->max_y = std::max(united->max_y, e->max_y);
    }
    return united;
}

// The map rectangle from which contours can reach the window's cells and
// their margin: the window and a few cells more (a walk strays from its
// segment by less than two cells), turned back onto the map.
Extents window_box(const GridLayout& l, const GridSize& g, const RotationChoice& turn, const GridWindow& w) {
    constexpr int kReach = 5;
    const ImagePlace place{w.ysize + 2 * kReach, w.xsize + 2 * kReach, w.yoff - kReach, w.xoff - kReach,
                           g.nb_lig,           g.nb_col,           l.pix_size,        l.frame.min_x,
                           l.frame.min_y,      turn};
    const auto t = image_geotransform(place);
    constexpr double inf = std::numeric_limits<double>::infinity();
    Extents box{.min_x = inf, .min_y = inf, .max_x = -inf, .max_y = -inf};
    for (const int r : {0, place.nb_lig3})
        for (const int c : {0, place.nb_col3}) {
            const double x = t[0] + c * t[1] + r * t[2], y = t[3] + c * t[4] + r * t[5];
            box.min_x = std::min(box.min_x, x);
            box.min_y = std::min(box.min_y, y);
            box.max_x = std::max(box.max_x, x);
            box.max_y = std::max(box.max_y, y);
        }
    return box;
}

// A window run reads, of the sources read through OGR, only the features
// whose lines can reach the window: the grid is laid over the extents
// before anything is read.
void read_near_window(std::vector<Sheet>& sheets, RunSettings& settings, const ExtentsPolicy& policy) {
    const auto window = settings.window();
    if (!window || settings.limits_from_vertices() || !policy.layout) return;
    const Extents* ext = policy.fixed_extents;
    for (Sheet& s : sheets) {
        if (s.ogr == nullptr) continue;
        std::string why;
        const auto layout = policy.layout(ext != nullptr ? *ext : s.ogr->extents(), why);
        const auto size = layout ? size_grid(layout->frame, layout->pix_size) : std::nullopt;
        const auto turn = settings.rotation();
        // a grid that cannot be laid is refused by pass one, with its reason
        if (!size || !turn) return;
        s.ogr->read_only_within(window_box(*layout, *size, *turn, *window));
    }
}

}  // namespace

bool treatment(Console& con, Report& report, RunState& rs, RunSettings& settings, const ContourSource& source) {
    std::vector<Sheet> sheets = sheets_of(rs, settings, source);
    if (sheets.empty()) return false;
    DrawingScan& d = *sheets.front().d;
    const std::size_t log_bound = vertex_log_bound_of(rs);
    ExtentsPolicy policy = settings.extents_policy();
    std::optional<Extents> united;
    if (sheets.size() > 1 && policy.fixed_extents == nullptr) {
        // one grid over every sheet
        if (!(united = united_extents(con, sheets, policy))) return false;
        policy.fixed_extents = &*united;
        policy.extents_name = T_("la union de las extensiones de las fuentes");
    }
    // a source read through OGR has its layer's extents, unless others are fixed
    if (source.ogr != nullptr && policy.fixed_extents == nullptr) {
        policy.fixed_extents = &source.ogr->extents();
        policy.extents_name = T_("la extension de la capa");
    }
    read_near_window(sheets, settings, policy);
    Progress* progress = settings.progress();
    // the lines themselves, for the terrain between them
    ContourLines lines;
    ContourLines* kept_lines = settings.fill() ? &lines : nullptr;
    std::optional<PassOne> one;
    std::optional<PassTwo> two;
    std::optional<RotationChoice> turn;
    long vertices = 0;
    int segm = 0;
    const PassOneOptions one_options{rs.pix_size, rs.limits.ahead_min_bytes, log_bound, policy,
                                     ProgressPart{progress, 0.0, 0.45}};
    // A source whose grid is laid out before its first vertex is drawn as it
    // is read: read through OGR (the layer's extents, or -te), or a drawing
    // whose grid the command line lays out (its header's extents, or -te).
    // Where that cannot stand for the two passes, they read it again.
    const Sheet& only = sheets.front();
    if (sheets.size() == 1 && !settings.derived_pixel_size() && (only.ogr != nullptr || (d.f != nullptr && policy.layout))) {
        if (!(turn = settings.rotation())) return false;
        bool retry = false, again = false;
        PassOneOptions options = one_options;
        options.progress = ProgressPart{progress, 0.0, 0.9};
        const PassTwoOptions two_options{0.0, *turn, 1, rs.limits.grid_memory, policy, ProgressPart{progress, 0.0, 0.9}, 0,
                                         settings.window(), kept_lines, settings.more_per_cell()};
        auto both = only.ogr == nullptr ? draw_while_scanning(con, report, d, options, two_options, retry)
                                        : draw_while_reading(con, report, d, options, two_options,
                                                             [&](ContourSink& sink) {
                                                                 std::string why;
                                                                 const bool read = only.ogr->read(sink, why);
                                                                 if (!read && !why.empty()) stop_line(con, why);
                                                                 again = !read && only.ogr->read_again();
                                                                 return read;
                                                             },
                                                             retry);
        if (!both && !retry && !again) return false;
        if (both) {
            if (only.ogr != nullptr && !only.ogr->doubt().empty()) warn_line(con, only.ogr->doubt());
            one = std::move(both->first);
            two = std::move(both->second);
            segm = d.st.segm;
        } else if (only.ogr != nullptr) {
            // more elevations than a byte codes, or a source that is to be
            // read another way: read again, the two-pass way
            d.st = ScanState{};
        }
    }
    std::vector<SourceLog> logs;
    for (Sheet& s : sheets) {
        if (two) break;
        const std::size_t bound =
            s.d->f == nullptr || s.d->f == rs.files.f1.get() ? log_bound : vertex_log_bound(s.d->f);
        PassOneOptions own_options = one_options;
        own_options.log_bound = bound;
        auto own = first_pass(con, report, *s.d, own_options, s.ogr);
        // a source that stopped to be read another way is read again
        if (!own && s.ogr != nullptr && s.ogr->read_again()) {
            s.d->st = ScanState{};
            own = first_pass(con, report, *s.d, own_options, s.ogr);
        }
        if (!own) return false;
        vertices += s.d->st.vertices;
        segm += s.d->st.segm;
        logs.push_back(SourceLog{s.d.get(), std::move(own->log)});
        if (one)
            one->tally.add(own->tally);
        else
            one = std::move(own);
        s.d->rewind();
    }
    rs.stages.mark("pasada-1");
    if (settings.refuse_non_finite() && one->tally.non_finite > 0) {
        stop_line(con, message(T_("{1} vertices de {2} tienen una elevacion que no es finita (NaN o infinita): no cabe "
                                  "entre las otras"),
                               {std::to_string(one->tally.non_finite), rs.files.nomim1}));
        return false;
    }

    // between the passes
    if (!turn && !(turn = settings.rotation())) return false;
    const double pix_size_def = settings.derived_pixel_size()
                                    ? rotated_pixel_size(rs.pix_size, one->grid.nb_col, turn->angle)
                                    : one->layout.pix_size;
    report.pass_one(segm, one->tally.range.min_dyn, one->tally.range.max_dyn, d.ext);
    rs.pix_size = pix_size_def;
    rs.turn = *turn;
    if (!(pix_size_def > 0.0) || !std::isfinite(pix_size_def)) {
        stop_line(con, T_("el angulo de rotacion no da un tamano de pixel utilizable"));
        return false;
    }

    if (!two) {
        const PassTwoOptions two_options{rs.pix_size, *turn, one->tally.count.width(), rs.limits.grid_memory, policy,
                                         ProgressPart{progress, 0.45, 0.9}, vertices, settings.window(), kept_lines,
                                         settings.more_per_cell()};
        two = pass_two(con, report, logs, two_options);
        if (!two) return false;
    }
    rs.stages.mark("pasada-2");
    rs.nb_lig = two->rows;
    rs.nb_col = two->cols;
    rs.whole = {two->nb_lig, two->nb_col, two->i0, two->j0};
    rs.ext = policy.fixed_extents != nullptr ? *policy.fixed_extents : d.ext;
    rs.frame = two->layout.frame;
    rs.pix_size = two->layout.pix_size;

    // the elevations, before the classes take the place of their codes
    if (settings.keep_elevations() || settings.fill()) rs.alti = elevations_of(two->dtab, rs.nb_lig, rs.nb_col);
    std::optional<std::pair<double, double>> filled;
    if (settings.fill() && !(filled = fill_between_contours(con, rs, std::move(lines), two->i0, two->j0))) return false;
    if (settings.fill()) rs.stages.mark("relleno");

    // classification
    Extents sources = sheets.front().ogr != nullptr ? sheets.front().ogr->extents() : sheets.front().d->ext;
    for (const Sheet& s : sheets) {
        const Extents& e = s.ogr != nullptr ? s.ogr->extents() : s.d->ext;
        sources.min_x = std::min(sources.min_x, e.min_x);
        sources.min_y = std::min(sources.min_y, e.min_y);
        sources.max_x = std::max(sources.max_x, e.max_x);
        sources.max_y = std::max(sources.max_y, e.max_y);
    }
    const ClassHints hints{suggested_interval(distinct_elevations(two->dtab, rs.nb_lig, rs.nb_col)),
                           [&] { return source_interval(one->tally.count, two->dtab, rs.nb_lig, rs.nb_col); },
                           [&] {
                               return settings.limits_from_vertices() ? vertex_range(one->tally)
                                                                      : drawn_range(two->dtab, rs.nb_lig, rs.nb_col);
                           },
                           filled,
                           sources};
    const auto choice = settings.classes(hints);
    if (!choice) return false;
    rs.val_minimo = choice->val_minimo;
    rs.val_maximo = choice->val_maximo;
    rs.classes = choice->ct;
    if (rs.files.f3d && !write_table(con, rs.files.f3d, rs.files.nomdescr3, choice->ct)) return false;
    Classified classified =
        settings.fill()
            ? band_assignment(rs.alti, rs.nb_lig, rs.nb_col, choice->ct)
            : class_assignment(report, two->dtab, rs.nb_lig, rs.nb_col, choice->ct, ProgressPart{progress, 0.9, 1.0});
    rs.tab = std::move(classified.tab);
    if (!rs.tab) {
        stop_no_memory(con, T_("las clases de la cuadricula"), rs.nb_lig, rs.nb_col);
        return false;
    }
    warn_of_losses(con, *two, policy, *turn, choice->ct, settings.fill() ? 0 : classified.unclassified);
    if (settings.fill()) {
        // bands cover the map: there are no lines whose corners to clear
        if (classified.unclassified > 0)
            warn_line(con, std::to_string(classified.unclassified) +
                               T_(" celdas con elevacion quedan sin clase: caen fuera de las bandas de la tabla (de ") +
                               std::to_string(choice->val_minimo) + T_(" a ") + std::to_string(choice->val_maximo) + ")");
    } else {
        corner_cleanup(rs.tab, rs.nb_lig, rs.nb_col);
    }
    rs.stages.mark("clases");
    // the progress ends whole before anything else is said
    ProgressPart{progress, 0.0, 1.0}.at(1.0);
    return true;
}

}  // namespace zorvel

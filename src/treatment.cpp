#include "treatment.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "classes.h"
#include "classify.h"
#include "contour_pass.h"
#include "dxf_scanner.h"
#include "grid_geometry.h"
#include "scan_ahead.h"
#include "vertex_log.h"

namespace zorvel {

namespace {

// The elevation range starts at these values, not at the extremes of a double.
constexpr double kMinDynStart = 10000.0;
constexpr double kMaxDynStart = 0.0;

bool pass_ended(Console& con, const RunState& rs, const DrawingReader& rd, PassEnd end) {
    if (end == PassEnd::read_error)
        stop_line(con, "no se puede leer " + rs.nomim1 + ": " + rd.error_text());
    return end == PassEnd::end_of_file;
}

}  // namespace

bool treatment(Console& con, RunState& rs) {
    ScanState st;
    ElevationRange range{kMinDynStart, kMaxDynStart};

    std::fputs("\n treatment\n", con.out);
    const auto reg = ask_int(con, "\n numero de registros anteriores en Vertex ? ", "el numero de registros");
    if (!reg) return false;
    st.reg = *reg;

    DrawingReader rd(rs.f1.get());

    // pass one: the extents, a first grid and the elevation range
    bool sized = false;
    const auto at_max_y = [&](const Extents&) {
        sized = true;
        return grid_sizing(con, rs, Approximation::first);
    };
    VertexLog log(rs.vertex_log_bytes == kLogBoundOfDrawing ? vertex_log_bound(rs.f1.get()) : rs.vertex_log_bytes);
    ElevationCount distinct;
    const PassEnd end = scan_pass_one(rd, st, rs.ext, range, at_max_y, con.out, rs.nomim1, rs.f1.get(),
                                      rs.ahead_min_bytes, &log, &distinct);
    if (!pass_ended(con, rs, rd, end)) return false;
    if (!sized) {
        stop_line(con, "el dibujo " + rs.nomim1 + " no da la Y maxima (codigo 20 de $EXTMAX): no hay cuadricula");
        return false;
    }

    // between the passes
    const auto turn = rotation_dialogue(con);
    if (!turn) return false;
    const double pix_size_def = rotated_pixel_size(rs.pix_size, rs.nb_col, turn->angle);
    report_pass_one(con.out, st.segm, range.min_dyn, range.max_dyn, rs.ext);
    // the elevation grid of pass two starts as wide as its elevations need
    rs.dtab_width = distinct.width();
    rd.rewind();
    st.segm = 0;
    rs.pix_size = pix_size_def;
    if (!(pix_size_def > 0.0) || !std::isfinite(pix_size_def)) {
        stop_line(con, "el angulo de rotacion no da un tamano de pixel utilizable");
        return false;
    }

    // pass two: the final grid, and every polyline drawn into it
    VertexStep vs;
    vs.angle = turn->angle;
    vs.sentido = turn->sentido;
    ContourDrawer drawer(rs, vs);
    // whether pass two has made its grid; the drawer alone looks at dtab itself
    bool have_grid = false;
    const auto out_of_memory = [&] {
        stop_line(con, "sin memoria para las elevaciones de la cuadricula de " + std::to_string(rs.nb_lig) +
                           " lineas y " + std::to_string(rs.nb_col) + " columnas");
        return false;
    };
    PassHooks two;
    // the drawer reads the extents, the grid and its size: they change only
    // once it has drawn every vertex handed over so far
    two.before_extents = [&] { drawer.drain(); };
    two.at_max_y = [&](const Extents&) {
        drawer.drain();
        if (drawer.failed()) return out_of_memory();
        have_grid = grid_sizing(con, rs, Approximation::second) && grid_setup(con, rs);
        return have_grid;
    };
    two.at_vertex = [&](ScanState& s) {
        if (!have_grid) {
            // nothing is ever drawn without a grid
            stop_line(con, "el dibujo " + rs.nomim1 + " tiene vertices antes de $EXTMAX: no hay cuadricula");
            return false;
        }
        const bool drawn = drawer.vertex(s.dval1, s.dval2, s.dval3, s.flag == 0);
        s.flag = 1;
        return drawn || out_of_memory();
    };
    // the header is read again; the polylines, when pass one could write
    // them down, are replayed from its log
    PassEnd end_two = scan_on(rd, st, rs.ext, two, con.out, log.usable() ? log.start() : SIZE_MAX);
    if (end_two == PassEnd::paused && rd.consumed() == log.start()) {
        // nothing changes the grid from here on: this thread places vertices too
        drawer.share_placing();
        end_two = log.replay(st, two, con.out);
    } else if (end_two == PassEnd::paused) {
        end_two = scan_on(rd, st, rs.ext, two, con.out, SIZE_MAX);
    }
    log = VertexLog(0);
    if (!pass_ended(con, rs, rd, end_two)) return false;
    drawer.drain();
    if (drawer.failed()) return out_of_memory();
    if (!rs.dtab) {
        stop_line(con, "el dibujo " + rs.nomim1 + " no da la Y maxima en la segunda lectura: no hay cuadricula");
        return false;
    }

    // classification
    const int suggested = suggested_interval(distinct_elevations(rs.dtab, rs.nb_lig, rs.nb_col));
    ClassTable ct;
    if (!class_dialogue(con, rs, suggested, ct)) return false;
    if (!write_table(con, rs, ct)) return false;
    if (!class_assignment(con.out, rs, ct)) {
        stop_line(con, "sin memoria para las clases de la cuadricula de " + std::to_string(rs.nb_lig) +
                           " lineas y " + std::to_string(rs.nb_col) + " columnas");
        return false;
    }
    corner_cleanup(rs.tab, rs.nb_lig, rs.nb_col);
    return true;
}

}  // namespace zorvel

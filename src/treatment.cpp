#include "treatment.h"

#include <cmath>

#include "classes.h"
#include "classify.h"
#include "grid_geometry.h"
#include "passes.h"
#include "vertex_log.h"

namespace zorvel {

bool treatment(Console& con, RunState& rs) {
    std::fputs("\n treatment\n", con.out);
    const auto reg = ask_int(con, "\n numero de registros anteriores en Vertex ? ", "el numero de registros");
    if (!reg) return false;
    DrawingScan d(rs.files.f1.get(), rs.files.nomim1, *reg);
    const std::size_t log_bound = rs.limits.vertex_log_bytes == RunLimits::kLogBoundOfDrawing
                                      ? vertex_log_bound(rs.files.f1.get())
                                      : rs.limits.vertex_log_bytes;
    auto one = pass_one(con, d, PassOneOptions{rs.pix_size, rs.limits.ahead_min_bytes, log_bound});
    if (!one) return false;

    // between the passes
    const auto turn = rotation_dialogue(con);
    if (!turn) return false;
    const double pix_size_def = rotated_pixel_size(rs.pix_size, one->grid.nb_col, turn->angle);
    report_pass_one(con.out, d.st.segm, one->tally.range.min_dyn, one->tally.range.max_dyn, d.ext);
    d.rewind();
    rs.pix_size = pix_size_def;
    if (!(pix_size_def > 0.0) || !std::isfinite(pix_size_def)) {
        stop_line(con, "el angulo de rotacion no da un tamano de pixel utilizable");
        return false;
    }

    const PassTwoOptions two_options{rs.pix_size, *turn, one->tally.count.width(), rs.limits.grid_memory};
    auto two = pass_two(con, d, two_options, std::move(one->log));
    if (!two) return false;
    rs.nb_lig = two->nb_lig;
    rs.nb_col = two->nb_col;
    rs.ext = d.ext;

    // classification
    const int suggested = suggested_interval(distinct_elevations(two->dtab, rs.nb_lig, rs.nb_col));
    const auto choice = class_dialogue(con, suggested);
    if (!choice) return false;
    rs.val_minimo = choice->val_minimo;
    rs.val_maximo = choice->val_maximo;
    if (!write_table(con, rs.files.f3d, rs.files.nomdescr3, choice->ct)) return false;
    rs.tab = class_assignment(con.out, two->dtab, rs.nb_lig, rs.nb_col, choice->ct);
    if (!rs.tab) {
        stop_no_memory(con, "las clases de la cuadricula", rs.nb_lig, rs.nb_col);
        return false;
    }
    corner_cleanup(rs.tab, rs.nb_lig, rs.nb_col);
    return true;
}

}  // namespace zorvel

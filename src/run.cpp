#include "run.h"

#include "dialogue.h"
#include "output.h"
#include "treatment.h"

namespace zorvel {

namespace {

bool open_run(Console& con, RunState& rs, const std::string& root) {
    auto files = opening(con, root);
    if (!files) return false;
    rs.files = std::move(*files);
    return true;
}

bool pixel_size(Console& con, RunState& rs) {
    const auto pix = ask_pixel_size(con);
    if (!pix) return false;
    rs.pix_size = rs.size_pix = *pix;
    return true;
}

bool crop_and_describe(Console& con, RunState& rs) {
    const DescriptorValues dv{rs.val_minimo, rs.val_maximo, rs.size_pix, rs.ext};
    auto image = extraction(con, rs.tab, rs.nb_lig, rs.nb_col, dv, rs.files.f2d, rs.files.nomdescr2);
    if (!image) return false;
    rs.image = std::move(*image);
    return true;
}

}  // namespace

int run(Console& con, RunState& rs, const std::string& root) {
    if (!open_run(con, rs, root)) return 1;
    if (!pixel_size(con, rs)) return 1;
    DialogueSettings settings(con);
    if (!treatment(con, rs, settings)) return 1;
    if (!crop_and_describe(con, rs)) return 1;
    if (!save(con, rs.image, rs.files.f2, rs.files.nomim2)) return 1;
    // the outputs replace those of an earlier run only now, all three written
    if (!rs.files.pending.commit(con)) return 1;
    // the console is the last output: a failure to write it is a failure of the run
    return std::fflush(con.out) == 0 ? 0 : 1;
}

}  // namespace zorvel

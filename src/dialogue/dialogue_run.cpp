#include "dialogue/dialogue_run.h"

#include "dialogue/dialogue.h"
#include "run/run_state.h"
#include "run/ending.h"
#include "run/treatment.h"

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

}  // namespace

int run(Console& con, const std::string& root, const RunLimits& limits) {
    RunState rs;
    rs.limits = limits;
    if (!open_run(con, rs, root)) return 1;
    if (!pixel_size(con, rs)) return 1;
    DialogueSettings settings(con);
    DialogueReport report(con.out);
    if (!treatment(con, report, rs, settings, ContourSource{})) return 1;
    return end_run(con, report, rs);
}

}  // namespace zorvel

#include "run/ending.h"

#include <cstdio>
#include <string>
#include <utility>


namespace zorvel {

FinishedRun finished_of(RunState& rs) {
    return FinishedRun{rs.image, rs.classes, rs.whole, rs.pix_size, rs.frame, rs.turn,
                       rs.alti,  rs.nb_col,   rs.fill,  rs.val_minimo, rs.val_maximo};
}

int end_run(Console& con, Report& report, RunState& rs, const RunEnding& ending) {
    const DescriptorValues dv{rs.val_minimo, rs.val_maximo, rs.size_pix, rs.ext};
    auto image =
        extraction(con, report, rs.tab, rs.nb_lig, rs.nb_col, dv, rs.files.f2d, rs.files.nomdescr2, ending.crop,
                   ending.keep ? &*ending.keep : nullptr);
    if (!image) return 1;
    rs.image = std::move(*image);
    // the raw image where the outputs are the dialogue's files (not a raster GDAL writes)
    if (rs.files.f2) {
        const bool saved = ending.values ? save_values(con, rs.image, rs.alti, rs.nb_col, *ending.values, rs.files.f2,
                                                       rs.files.nomim2)
                                         : save(con, rs.image, rs.files.f2, rs.files.nomim2);
        if (!saved) return 1;
    }
    const FinishedRun done = finished_of(rs);
    if (ending.more_outputs && !ending.more_outputs(done)) return 1;
    // the outputs replace those of an earlier run only now, all written
    if (!rs.files.pending.commit(con)) return 1;
    rs.stages.mark("escritura");
    if (const std::string told = rs.stages.told(); !told.empty()) std::fprintf(con.err, "zorvel_raster: %s\n", told.c_str());
    if (ending.summary) ending.summary(done);
    // the console is the last output: a failure to write it is a failure of the run
    return std::fflush(con.out) == 0 ? 0 : 1;
}

}  // namespace zorvel

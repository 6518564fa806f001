// One run of contours to their image, as a caller drives it: it opens the
// outputs through the run's files, has the contours treated (the passes and
// the classes), looks at the cells kept, and ends the run. The run state
// stays inside.
#ifndef ZORVEL_RUN_H
#define ZORVEL_RUN_H

#include <memory>
#include <optional>

#include "base/cell_type.h"
#include "base/console.h"
#include "base/files.h"
#include "base/report.h"
#include "output/output.h"
#include "run/finished_run.h"
#include "run/settings.h"

namespace zorvel {

struct RunState;

class Run {
public:
    Run();
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The files of the run: the drawing it reads first, the outputs it
    // writes (opened by the caller, under their temporary names).
    RunFiles& files();
    // The pixel size asked for.
    void set_pixel_size(double pix_size);
    // The passes over the contours and their classes; false after a stop line.
    bool treat(Console& con, Report& report, RunSettings& settings, const ContourSource& source);
    // The whole grid and where the run's cells start in it, once treated.
    const GridSpan& whole() const;
    // The first elevation of the cells kept (all, or those of `keep`) that
    // cells of `type` cannot hold (beyond Float32's range), or that reads as
    // `nodata` once held as that type; nullopt where every one fits.
    std::optional<double> elevation_unfit(CellType type, const std::optional<double>& nodata,
                                          const std::optional<Crop>& keep) const;
    // The run as it stands, once treated, for what is written of it.
    FinishedRun finished();
    // Writes the outputs and ends the run: its exit status.
    int end(Console& con, Report& report, const RunEnding& ending);

private:
    std::unique_ptr<RunState> rs_;
};

}  // namespace zorvel

#endif

#include "run/run.h"

#include <cmath>
#include <limits>

#include "base/grid.h"
#include "run/ending.h"
#include "run/run_state.h"
#include "run/treatment.h"

namespace zorvel {

Run::Run() : rs_(std::make_unique<RunState>()) {}
Run::~Run() = default;

RunFiles& Run::files() { return rs_->files; }

void Run::set_pixel_size(double pix_size) { rs_->pix_size = rs_->size_pix = pix_size; }

bool Run::treat(Console& con, Report& report, RunSettings& settings, const ContourSource& source) {
    return treatment(con, report, *rs_, settings, source);
}

const GridSpan& Run::whole() const { return rs_->whole; }

std::optional<double> Run::elevation_unfit(CellType type, const std::optional<double>& nodata,
                                           const std::optional<Crop>& keep) const {
    const bool single = type == CellType::Float32;
    // doubles hold every elevation: only a nodata value can be taken
    if (!single && !nodata) return std::nullopt;
    const auto as_stored = [single](double v) { return single ? static_cast<double>(static_cast<float>(v)) : v; };
    const double taken = nodata ? as_stored(*nodata) : std::numeric_limits<double>::quiet_NaN();
    const RunState& rs = *rs_;
    const int i0 = keep ? keep->min_i : 0, i1 = keep ? keep->max_i : rs.nb_lig - 1;
    const int j0 = keep ? keep->min_j : 0, j1 = keep ? keep->max_j : rs.nb_col - 1;
    for (int i = i0; i <= i1; ++i) {
        const double* row = rs.alti.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(rs.nb_col);
        for (int j = j0; j <= j1; ++j)
            if (const double v = row[j];
                v != kNoElevation && ((single && std::fabs(v) > std::numeric_limits<float>::max()) || as_stored(v) == taken))
                return v;
    }
    return std::nullopt;
}

FinishedRun Run::finished() {
    return finished_of(*rs_);
}

int Run::end(Console& con, Report& report, const RunEnding& ending) { return end_run(con, report, *rs_, ending); }

}  // namespace zorvel

// The run's sources as both passes read them: each sheet with its skip
// count, their united extents, a window's reach on the map, pass one of one.
#ifndef ZORVEL_RUN_SOURCES_H
#define ZORVEL_RUN_SOURCES_H

#include <memory>
#include <optional>
#include <vector>

#include "base/console.h"
#include "base/files.h"
#include "base/report.h"
#include "passes/passes.h"
#include "run/settings.h"

namespace zorvel {

// One source of the run, as both passes read it.
struct Sheet {
    std::unique_ptr<DrawingScan> d;
    OgrSource* ogr;  // nullptr: d's drawing file
};

// Pass one of a sheet, through the word scanner or from the OGR source.
std::optional<PassOne> first_pass(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                                  OgrSource* ogr);

// The run's sources (the first its drawing file, or read through OGR)
// with their skip counts; empty after a stop line.
std::vector<Sheet> sheets_of(const RunFiles& files, RunSettings& settings, const ContourSource& source);

// The extents that cover every sheet's (its header's or its layer's);
// nullopt after a stop line.
std::optional<Extents> united_extents(Console& con, std::vector<Sheet>& sheets, const ExtentsPolicy& policy);

// A window run reads, of the sources read through OGR, only the features
// whose lines can reach the window: the grid is laid over the extents
// before anything is read.
void read_near_window(std::vector<Sheet>& sheets, RunSettings& settings, const ExtentsPolicy& policy);

}  // namespace zorvel

#endif

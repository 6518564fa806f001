// The command line's sheets and outputs before the run: each sheet opened
// for the word scanner or through OGR, their coordinate systems agreed, the
// outputs locked and refused where they exist.
#ifndef ZORVEL_SHEETS_H
#define ZORVEL_SHEETS_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/files.h"
#include "cli/options.h"
#include "reading/ogr_source.h"
#include "run/settings.h"

namespace zorvel {

// Whether something (a file, a folder, a dangling link) is at path.
bool path_exists(const std::string& path);

// The coordinate system -a_srs names, as WKT ("" without it); nullopt,
// after its usage line, when GDAL does not know it.
std::optional<std::string> given_srs(Console& con, const CommandLine& cl);

// The run's sheets, open: the first in the run's files (or `first`), the
// others here.
struct OpenSheets {
    std::unique_ptr<OgrSource> first;
    std::vector<FileHandle> files;
    std::vector<std::unique_ptr<OgrSource>> ogr;
    ContourSource source;
};

// The first sheet settled (a source may learn its coordinate system while
// it is read) and, where the run has none yet, its coordinate system the
// run's; false after a stop line.
bool settle_first(Console& con, OpenSheets& sheets, std::string& wkt);

// Opens every sheet, the first into files; the coordinate system is the
// first that a source read through OGR gives, and sheets in different ones
// are refused. A sheet alone settles after its reading (settle_first). The
// exit status of a stop, or 0.
int open_sheets(Console& con, const CommandLine& cl, RunFiles& files, OpenSheets& sheets, std::string& wkt);

// What every command-line run does first: the lock on its outputs (held to
// the last rename, so that another run cannot slip its own in between), the
// refusal of outputs that exist and the coordinate system asked; the exit
// status of a stop, or 0.
int begin_run(const CommandLine& cl, Console& con, PendingOutputs& pending, const std::vector<std::string>& paths,
              std::string& wkt);

}  // namespace zorvel

#endif

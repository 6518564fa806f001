// The program as a command-line tool: every setting given as an option, no
// question asked, in the manner of the field's tools (gdal_rasterize's
// option names), and a georeferenced header beside the raw image.
#ifndef ZORVEL_COMMAND_LINE_H
#define ZORVEL_COMMAND_LINE_H

#include <optional>
#include <string>
#include <vector>

#include "console.h"
#include "extents.h"
#include "ogr_source.h"

namespace zorvel {

// Exit status of a command line that cannot be used.
constexpr int kUsageError = 2;

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;
    std::string drawing;       // the drawing, any path
    std::string output;        // the base of the outputs
    double tr = 0.0;           // -tr: the pixel size
    std::optional<int> reg;    // -reg: the skip count; nullopt: from the drawing
    double rot = 0.0;          // -rot: degrees
    int sense = 0;             // -sense: 0 left, 1 right
    std::optional<int> interval;
    std::optional<int> minimum;
    std::optional<int> maximum;
    std::optional<Extents> te;  // -te: the grid's extents
    bool quiet = false;
    bool overwrite = false;
    // sources read through GDAL/OGR
    bool ogr = false;         // -ogr: whatever the source
    std::string layer;        // -l
    std::string where;        // -where
    std::string field;        // -a: the elevation from an attribute
    bool z = false;           // -3d: from the vertices' Z
    std::string a_srs;        // -a_srs: the coordinate system where the source has none
};

// The options, checked before anything is read; on a usage error, the one
// line that says which option and why (nullopt).
std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, std::string& error);

// What --help prints.
std::string usage_text();

// The outputs the command line writes for OUTPUT: the raw image, the
// descriptor, the table and the header.
std::vector<std::string> output_paths(const std::string& output);

// Runs the program with these arguments (argv without the program's name);
// the exit status: 0 after a complete run, 1 when the run stops, 2 for a
// command line that cannot be used.
int run_command_line(const std::vector<std::string>& args, Console& con);

}  // namespace zorvel

#endif

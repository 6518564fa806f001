// The command line's options: one table, from which the parser and --help
// are both made (and against which a test checks the man page).
#ifndef ZORVEL_OPTIONS_H
#define ZORVEL_OPTIONS_H

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "passes/passes.h"
#include "base/extents.h"
#include "base/cell_type.h"

namespace zorvel {

// Exit status of a command line that cannot be used.
constexpr int kUsageError = 2;

// The cells a window of the fill works on around it, each way, by default.
constexpr int kFillMargin = 256;

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;
    std::string drawing;       // the drawing, any path: the first of drawings
    std::vector<std::string> drawings;  // every sheet, in order
    std::string output;        // the base of the outputs
    double tr = 0.0;           // -tr: the pixel size
    std::optional<std::pair<int, int>> ts;  // -ts: columns and rows instead of -tr
    std::optional<GridWindow> srcwin;       // -srcwin: only this window of the grid
    std::optional<std::pair<int, int>> plan;  // -plan: tiles of so many columns and rows
    std::vector<std::string> options;  // the options as given, with their values, but -plan
    bool tap = false;          // -tap: the extents aligned to multiples of -tr
    bool dialogue_grid = false;  // -dialogue_grid: the dialogue's grid and files
    bool fill = false;         // -fill: the cells between the contours get an elevation
    int fill_margin = kFillMargin;  // -fill_margin: the cells filled around a -srcwin window
    bool fill_margin_given = false;
    std::string fill_table;    // -fill_table: the whole grid's sums a -srcwin window of the fill takes (from -plan)
    std::string of;            // -of: a GDAL raster format; empty: ENVI, or OUTPUT's extension
    std::vector<std::string> co;  // -co NAME=VALUE
    CellType ot = CellType::Byte;  // -ot: classes (Byte) or the drawn elevations (Float32, Float64)
    std::optional<double> nodata;  // -a_nodata: the value of cells without an elevation
    std::optional<int> reg;    // -reg: the skip count; nullopt: from the drawing
    double rot = 0.0;          // -rot: degrees
    int sense = 0;             // -sense: 0 left, 1 right
    std::optional<int> interval;
    std::optional<int> minimum;
    std::optional<int> maximum;
    std::optional<Extents> te;  // -te: the grid's extents
    bool quiet = false;
    bool progress = false;     // -progress: the progress on standard error, a terminal or not
    bool overwrite = false;
    // sources read through GDAL/OGR
    bool ogr = false;         // -ogr: whatever the source
    std::string layer;        // -l
    std::string where;        // -where
    std::string field;        // -a: the elevation from an attribute
    bool z = false;           // -3d: from the vertices' Z
    std::string a_srs;        // -a_srs: the coordinate system where the source has none
};

class Arguments;

// One row of the table: an option with its values, or a heading of --help.
struct OptionSpec {
    // the option and its other spellings, "|" between them: "-q|-quiet|--quiet";
    // nullptr for a heading
    const char* names;
    // its values as --help shows them ("TAMANO", "XMIN YMIN XMAX YMAX"); "" for none
    const char* values;
    // the help text, lines apart, or the heading; nullptr: shown on the row
    // of the option before it
    const char* help;
    // reads the option's values into the command line; false, after the
    // usage error is set, when they cannot be used
    std::function<bool(Arguments&, CommandLine&)> take;
};

// Every option of the command line, in the order --help shows them.
const std::vector<OptionSpec>& option_table();

// Every spelling of the options the table holds.
std::vector<std::string> option_names();

// The spellings of one entry's names ("-q|-quiet|--quiet").
std::vector<std::string> spellings(const char* names);

// The options, checked before anything is read; on a usage error, the one
// line that says which option and why (nullopt).
std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, std::string& error);

// The sheets' file names, a comma between them, as the outputs name their source.
std::string sheet_names(const CommandLine& cl);

// What --help prints.
std::string usage_text();

}  // namespace zorvel

#endif

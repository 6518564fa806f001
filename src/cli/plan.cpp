#include "cli/plan.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/class_settings.h"
#include "cli/raster_output.h"
#include "cli/sheets.h"
#include "output/envi_header.h"
#include "output/mosaic_vrt.h"
#include "run/run.h"

namespace zorvel {

namespace {

// A word as the shell reads it back: quoted where it holds anything but
// letters, digits and the few signs a path or a number needs.
std::string shell_word(const std::string& w) {
    const bool plain = !w.empty() && std::all_of(w.begin(), w.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("_./:=+-,@%", c) != nullptr;
    });
    if (plain) return w;
    std::string q = "'";
    for (const char c : w) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A window of the plan, and the image its command writes.
struct PlannedWindow {
    GridWindow w;
    std::string image;   // the path the command is given as OUTPUT
    std::string source;  // the file the mosaic reads: the raw image of ENVI's files, or the raster
};

// The windows of the whole grid, tiles of cl's -plan, row after row, each
// named after the output with its row and column of tiles.
std::vector<PlannedWindow> plan_windows(const CommandLine& cl, const std::string& format, int rows, int cols) {
    const std::filesystem::path base(cl.output);
    std::vector<PlannedWindow> windows;
    const auto [tile_cols, tile_rows] = *cl.plan;
    for (int r = 0; r < rows; r += tile_rows)
        for (int c = 0; c < cols; c += tile_cols) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, "_%d_%d", r / tile_rows, c / tile_cols);
            PlannedWindow p{{c, r, std::min(tile_cols, cols - c), std::min(tile_rows, rows - r)}, "", ""};
            if (format.empty()) {
                p.image = cl.output + suffix;
                p.source = output_paths(p.image)[0];
            } else {
                p.image = (base.parent_path() / (base.stem().string() + suffix + base.extension().string())).string();
                p.source = p.image;
            }
            windows.push_back(p);
        }
    return windows;
}

// A window's command: the options as given, the classes of the whole drawing, the window.
std::string window_command(const CommandLine& cl, const std::string& program, const FinishedRun& rs,
                           const PlannedWindow& p, const std::string& table) {
    std::string line = shell_word(program);
    const auto word = [&line](const std::string& w) { (line += ' ') += w; };
    for (const std::string& o : cl.options) word(shell_word(o));
    const auto option = [&word](const char* name, int v) {
        word(name);
        word(std::to_string(v));
    };
    if (!cl.interval) option("-interval", rs.classes.intervalo);
    if (!cl.minimum) option("-min", rs.val_minimo);
    if (!cl.maximum) option("-max", rs.val_maximo);
    option("-srcwin", p.w.xoff);
    for (const int v : {p.w.yoff, p.w.xsize, p.w.ysize}) word(std::to_string(v));
    if (!table.empty()) {
        word("-fill_table");
        word(shell_word(table));
    }
    for (const std::string& d : cl.drawings) word(shell_word(d));
    word(shell_word(p.image));
    return line + "\n";
}

// The VRT of the windows of run rs.
std::string plan_vrt(const CommandLine& cl, const FinishedRun& rs, const std::string& wkt,
                     const std::vector<PlannedWindow>& windows) {
    const int rows = rs.whole.nb_lig, cols = rs.whole.nb_col;
    const ImagePlace whole{rows, cols, 0, 0, rows, cols, rs.pix_size, rs.frame.min_x, rs.frame.min_y, rs.turn};
    const bool classes = cl.ot == CellType::Byte;
    const MosaicGrid grid{rows, cols, image_geotransform(whole), wkt, cl.ot,
                          classes ? 255.0 : cl.nodata.value_or(kElevationNodata), classes ? &rs.classes : nullptr};
    std::vector<MosaicTile> tiles;
    for (const PlannedWindow& p : windows) tiles.push_back({p.w.xoff, p.w.yoff, p.w.xsize, p.w.ysize, p.source});
    return mosaic_vrt(grid, tiles);
}

// The tables of the windows of cl's plan, which the whole grid's fill makes into `made`.
FillTables tables_to_make(const CommandLine& cl, const std::string& format, std::vector<WindowTable>& made) {
    return FillTables{[&cl, format](int rows, int cols) {
                          std::vector<WindowTable> ts;
                          for (const PlannedWindow& p : plan_windows(cl, format, rows, cols)) {
                              WindowTable t;
                              t.i0 = p.w.yoff, t.j0 = p.w.xoff, t.nb_lig = p.w.ysize, t.nb_col = p.w.xsize;
                              ts.push_back(std::move(t));
                          }
                          return ts;
                      },
                      &made, nullptr, true};
}

// The windows' tables, every one made by the whole grid's fill, into `out`
// (the file `path`); false after a stop line.
bool write_tables(Console& con, const std::vector<WindowTable>& made, std::size_t windows, FileHandle& out,
                  const std::string& path) {
    if (made.size() != windows) {
        stop_line(con, message(T_("-plan y -fill: el relleno de la cuadricula entera dio {1} tablas para {2} ventanas"),
                               {std::to_string(made.size()), std::to_string(windows)}));
        return false;
    }
    // a short write leaves the stream's error, which the closing reports
    const std::string bytes = encode_tables(made);
    std::fwrite(bytes.data(), 1, bytes.size(), out.get());
    return close_output(con, out, path);
}

}  // namespace

// The plan: the whole drawing read, one cell of the grid drawn (for its
// size), the interval and the limits of the whole drawing; a command a line
// on standard output, for each window, and OUTPUT.vrt. With -fill, the whole
// grid is filled once for the windows' tables (OUTPUT.fill), which their
// commands take; with -fill_margin too, the windows fill alone with that
// margin (a grid whose fill the plan cannot hold, of narrow areas).
int run_plan(const CommandLine& given, Console& con) {
    CommandLine cl = given;
    const bool tables = cl.fill && !cl.fill_margin_given;
    // the plan draws one cell, and makes the tables strip by strip from every line
    cl.srcwin = GridWindow{0, 0, 1, 1};
    cl.fill = false;
    // OUTPUT.vrt; for a raster named with its extension (sheet.tif), sheet.vrt
    const std::string format = raster_format(cl);
    const std::filesystem::path base(cl.output);
    const bool named = !format.empty() && base.has_extension();
    const std::string vrt = named ? std::filesystem::path(base).replace_extension(".vrt").string() : cl.output + ".vrt";
    const std::string table = !tables ? "" : named ? std::filesystem::path(base).replace_extension(".fill").string() : cl.output + ".fill";
    std::vector<std::string> outputs{vrt};
    if (tables) outputs.push_back(table);
    Run run;
    std::string wkt;
    OpenSheets sheets;
    if (const int status = begin_run(cl, con, run.files().pending, outputs, wkt); status != 0) return status;
    if (const int status = open_sheets(con, cl, run.files(), sheets, wkt); status != 0) return status;
    FileHandle out, tables_out;
    if (!run.files().pending.create(con, vrt, "w", out)) return 1;
    if (tables && !run.files().pending.create(con, table, "wb", tables_out)) return 1;
    run.set_pixel_size(cl.tr);
    CommandLineSettings settings(con, cl, nullptr, true);
    std::vector<WindowTable> made;
    if (tables) settings.set_tables(tables_to_make(cl, format, made));
    Report quiet;
    if (!run.treat(con, quiet, settings, sheets.source) || !settle_first(con, sheets, wkt)) return 1;
    const FinishedRun rs = run.finished();
    std::error_code ec;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || program.empty()) program = "zorvel_raster";
    const std::vector<PlannedWindow> windows = plan_windows(cl, format, rs.whole.nb_lig, rs.whole.nb_col);
    std::string commands;
    for (const PlannedWindow& p : windows) commands += window_command(cl, program, rs, p, table);
    if (tables && !write_tables(con, made, windows.size(), tables_out, table)) return 1;
    const std::string text = plan_vrt(cl, rs, wkt, windows);
    // a write that fails within fputs is told by the close, as one at the flush is
    const bool put = std::fputs(text.c_str(), out.get()) >= 0;
    if (!close_output(con, out, vrt) || !put) return 1;
    if (!run.files().pending.commit(con)) return 1;
    std::fputs(commands.c_str(), con.out);
    return std::fflush(con.out) == 0 ? 0 : 1;
}

std::optional<WindowTable> read_window_table(Console& con, const std::string& path, const GridWindow& w) {
    const auto refuse = [&](const std::string& why) {
        stop_line(con, message(T_("-fill_table: {1}: {2}"), {path, why}));
        return std::nullopt;
    };
    FileHandle in(std::fopen(path.c_str(), "rb"));
    if (!in) return refuse(std::strerror(errno));
    // the file's size bounds every read: a damaged index asks for no more
    if (fseeko(in.get(), 0, SEEK_END) != 0) return refuse(std::strerror(errno));
    const std::uint64_t size = static_cast<std::uint64_t>(std::max<off_t>(0, ftello(in.get())));
    const auto read = [&](std::uint64_t at, std::uint64_t n, std::string& bytes) {
        if (at > size || n > size - at) return false;
        bytes.assign(n, '\0');
        return fseeko(in.get(), static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(bytes.data(), 1, n, in.get()) == n;
    };
    const char* not_one = T_("no es una tabla del relleno de -plan");
    std::string head;
    if (!read(0, kTableHead, head)) return refuse(not_one);
    const auto index = table_index_bytes(head);
    if (!index || !read(0, kTableHead + *index, head)) return refuse(not_one);
    const auto place = find_table(head, w.yoff, w.xoff, w.ysize, w.xsize);
    if (!place)
        return refuse(message(T_("no tiene la ventana -srcwin {1} {2} {3} {4}: el plan tiene otras"),
                              {std::to_string(w.xoff), std::to_string(w.yoff), std::to_string(w.xsize), std::to_string(w.ysize)}));
    std::string bytes;
    std::optional<WindowTable> t;
    if (!read(place->offset, place->bytes, bytes) || !(t = decode_table(bytes)))
        return refuse(not_one);
    t->i0 = w.yoff, t->j0 = w.xoff, t->nb_lig = w.ysize, t->nb_col = w.xsize;
    t->margin = place->margin;
    t->segments = place->segments;
    return t;
}

}  // namespace zorvel

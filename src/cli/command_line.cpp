#include "cli/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

#include "base/interrupts.h"
#include "base/messages.h"
#include "base/progress.h"
#include "cli/class_settings.h"
#include "cli/plan.h"
#include "cli/raster_output.h"
#include "cli/sheets.h"
#include "cli/summary.h"
#include "output/envi_header.h"
#include "output/geotiff.h"
#include "output/qgis_style.h"
#include "run/run.h"

#ifndef ZORVEL_VERSION
#define ZORVEL_VERSION "0"
#endif

namespace zorvel {

namespace {

// Why the image of elevations cannot hold the cells the run keeps as they
// are: an elevation beyond what Float32 cells hold, or one that would be
// written as the nodata value (compared as the cells' type holds them); the
// exit status of the stop, after its line, or 0.
int values_unfit(Console& con, const CommandLine& cl, const Run& run, const std::optional<Crop>& keep) {
    const auto bad = run.elevation_unfit(cl.ot, cl.nodata, keep);
    if (!bad) return 0;
    if (cl.ot == CellType::Float32 && std::fabs(*bad) > std::numeric_limits<float>::max()) {
        stop_line(con, message(T_("la elevacion {1} no cabe en celdas Float32: use -ot Float64"), {number_text(*bad)}));
        return 1;
    }
    stop_line(con, message(T_("-a_nodata {1}: celdas de elevacion {2} tomarian ese valor y se leerian como "
                              "celdas sin elevacion: indique otro"),
                           {number_text(*cl.nodata), number_text(*bad)}));
    return kUsageError;
}

// The files of a command-line run, by name: ENVI's four (or the raster GDAL
// writes, and its sidecar), and the QGIS style of a class image.
struct OutputNames {
    std::string raw, descriptor, table, header;  // ENVI's files
    std::string raster;                          // or the raster (with raster + ".aux.xml")
    std::string style;                           // empty for an image of elevations
    std::vector<std::string> all;                // every one, as the run refuses or lists them
};

OutputNames output_names(const CommandLine& cl, const std::string& format) {
    OutputNames n;
    if (format.empty()) {
        const std::vector<std::string> envi = output_paths(cl.output);
        n.raw = envi[0];
        n.descriptor = envi[1];
        n.table = envi[2];
        n.header = envi[3];
        n.all = envi;
    } else {
        n.raster = cl.output;
        n.all = {cl.output, cl.output + ".aux.xml"};
    }
    if (cl.ot == CellType::Byte) {
        n.style = qgis_style_path(format.empty() ? n.raw : cl.output);
        n.all.push_back(n.style);
    }
    return n;
}

// The command line's run, once its options are known to be usable.
class CommandLineRun {
public:
    // The format is tried before the source is read, or after (try_later).
    CommandLineRun(const CommandLine& cl, Console& con, std::string format, bool try_later)
        : cl_(cl),
          con_(con),
          format_(std::move(format)),
          names_(output_names(cl, format_)),
          raster_(cl, format_),
          try_later_(try_later) {}

    int run() {
        if (const int status = open_outputs(); status != 0) return status;
        OpenSheets sheets;
        if (const int status = open_sheets(con_, cl_, run_.files(), sheets, wkt_); status != 0) return status;
        if (const int status = choose_writer(sheets); status != 0) return status;
        if (!try_later_)
            if (const int status = try_format(sheets); status != 0) return status;
        test_point("created");
        run_.set_pixel_size(cl_.tr);
        TerminalProgress bar(con_.err);
        const bool show = cl_.progress || (!cl_.quiet && is_terminal(con_.err));
        if (show) bar.start();
        CommandLineSettings settings(con_, cl_, show ? &bar : nullptr, false, !format_.empty());
        if (!cl_.fill_table.empty()) {
            if (!(table_ = read_window_table(con_, cl_.fill_table, *cl_.srcwin))) return 1;
            settings.set_tables(FillTables{{}, nullptr, &*table_}, table_->margin);
        }
        Report quiet;  // the dialogue's report is not this mode's
        if (!run_.treat(con_, quiet, settings, sheets.source)) return 1;
        if (!by_hand_ && !settle_first(con_, sheets, wkt_)) return 1;
        if (try_later_ && !by_hand_)
            if (const int status = try_format(sheets); status != 0) return status;
        RunEnding ending;
        if (const int status = ending_of(ending); status != 0) return status;
        if (!cl_.quiet)
            ending.summary = [&](const FinishedRun& done) {
                std::vector<std::string> files = format_.empty() ? names_.all
                                                 : by_hand_      ? hand_written()
                                                                 : raster_.files();
                if (!format_.empty() && !names_.style.empty()) files.push_back(names_.style);
                summary(con_.out, cl_, done, names_.all[0], files, settings.interval_why());
            };
        const int status = run_.end(con_, quiet, ending);
        return status != 0 && raster_.late_refusal ? kUsageError : status;
    }

private:
    // The lock, the refusal of outputs that exist, and every output's
    // temporary file (or GDAL's folder); the exit status of a stop, or 0.
    int open_outputs() {
        if (const int status = begin_run(cl_, con_, run_.files().pending, names_.all, wkt_); status != 0) return status;
        PendingOutputs& pending = run_.files().pending;
        if (!names_.style.empty() && !pending.create(con_, names_.style, "w", style_file_)) return 1;
        if (!format_.empty()) return may_write_by_hand() || raster_.prepare(con_, pending) ? 0 : 1;
        RunFiles& f = run_.files();
        f.nomim2 = names_.raw;
        f.nomdescr2 = names_.descriptor;
        f.nomdescr3 = names_.table;
        const bool created = pending.create(con_, names_.raw, "wb", f.f2) && pending.create(con_, names_.descriptor, "w", f.f2d) &&
                             pending.create(con_, names_.table, "w", f.f3d) && pending.create(con_, names_.header, "w", header_);
        return created ? 0 : 1;
    }

    // A GeoTIFF without options, in no coordinate system or an EPSG one:
    // written here (geotiff.h).
    bool may_write_by_hand() const {
        if (!try_later_) return false;
        const SampleRaster sample(cl_, format_, "", "");
        return plain_geotiff(sample.out);
    }

    // The GeoTIFF's writer, once the source is open: this program's, GDAL
    // left unloaded, or GDAL's in its folder; the exit status of a stop, or 0.
    int choose_writer(OpenSheets& sheets) {
        if (format_.empty() || !may_write_by_hand()) return 0;
        // an EPSG system given (-a_srs, read by now), or old-style DXF
        // drawings only, or one source in an EPSG system: a GeoPackage read
        // directly names it, GDAL's reading states it
        if (!cl_.a_srs.empty())
            crs_ = epsg_system(wkt_);
        else if (sheets.first)
            crs_ = sheets.first->epsg() ? sheets.first->epsg() : epsg_system(sheets.first->wkt());
        by_hand_ = !cl_.a_srs.empty() ? crs_.has_value()
                   : sheets.first     ? cl_.drawings.size() == 1 && crs_
                                      : sheets.ogr.empty();
        PendingOutputs& pending = run_.files().pending;
        if (!by_hand_) return raster_.prepare(con_, pending) ? 0 : 1;
        if (sheets.first) sheets.first->without_gdal();
        return pending.create(con_, cl_.output, "wb", raster_file_) ? 0 : 1;
    }

    // The format tried on a sample of the cells, in the source's coordinate
    // system where it is known by now; the exit status of a refusal, or 0.
    int try_format(OpenSheets& sheets) {
        if (format_.empty()) return 0;
        const auto wkt_now = [&] { return !wkt_.empty() || !sheets.first ? wkt_ : sheets.first->wkt(); };
        std::string refused = raster_.refusal(wkt_now());
        // a format that wants a coordinate system may have it from a source that learns its own as it is read
        if (!refused.empty() && wkt_now().empty() && sheets.first) {
            std::string system;
            if (!settle_first(con_, sheets, system)) return 1;
            if (!system.empty()) refused = raster_.refusal(system);
        }
        if (refused.empty()) return 0;
        stop_line(con_, T_("-of ") + format_ + ": " + refused);
        return kUsageError;
    }

    // How the run ends: the window kept, the dialogue's crop, the
    // elevations' type, the outputs written last; the exit status of
    // elevations the image cannot hold, or 0.
    int ending_of(RunEnding& ending) {
        ending.crop = cl_.dialogue_grid;
        if (cl_.srcwin) {
            // the window itself, without the margin drawn around it
            const GridWindow& w = *cl_.srcwin;
            const int i = w.yoff - run_.whole().i0, j = w.xoff - run_.whole().j0;
            ending.keep = Crop{false, i, i + w.ysize - 1, j, j + w.xsize - 1};
        }
        if (cl_.ot != CellType::Byte) {
            values_ = ValueImage{cl_.ot, cl_.nodata.value_or(kElevationNodata)};
            ending.values = values_;
            if (const int status = values_unfit(con_, cl_, run_, ending.keep); status != 0) return status;
        }
        ending.more_outputs = [this](const FinishedRun& done) { return write_outputs(done); };
        return 0;
    }

    // The style, then ENVI's header or the raster GDAL writes; false after a stop line.
    bool write_outputs(const FinishedRun& done) {
        const ImagePlace place{done.image.nb_lig3, done.image.nb_col3,   done.image.min_i + done.whole.i0,
                               done.image.min_j + done.whole.j0, done.whole.nb_lig, done.whole.nb_col,
                               done.pix_size,       done.frame.min_x,   done.frame.min_y,
                               done.turn};
        if (!names_.style.empty() && !write_style(con_, style_file_, names_.style, done.image, done.classes, cl_.fill))
            return false;
        if (format_.empty())
            return write_envi_header(con_, header_, names_.header, place, done.classes, sheet_names(cl_), wkt_, values_);
        if (values_)
            for (double& a : done.alti)
                if (a == kNoElevation) a = values_->nodata;
        const ImageCells cells{done.image, done.alti, done.nb_col, done.classes};
        if (by_hand_) return write_by_hand(raster_of(cl_, cells, format_, "", wkt_, place));
        return raster_.write(con_, run_.files().pending, raster_of(cl_, cells, format_, "", wkt_, place));
    }

    // The files written here: the GeoTIFF, and a class image's sidecar.
    std::vector<std::string> hand_written() const {
        if (cl_.ot == CellType::Byte) return {cl_.output, cl_.output + ".aux.xml"};
        return {cl_.output};
    }

    // The GeoTIFF written here, with its sidecar; false after a stop line.
    bool write_by_hand(const RasterOut& r) {
        std::string why;
        if (!write_geotiff(raster_file_.get(), r, crs_, why)) {
            stop_line(con_, T_("no se puede escribir ") + cl_.output + ": " + why);
            return false;
        }
        if (!close_output(con_, raster_file_, cl_.output)) return false;
        // the class names where GDAL's driver keeps them, or an earlier raster's retired
        const std::string aux = cl_.output + ".aux.xml", names = category_names_xml(r);
        PendingOutputs& pending = run_.files().pending;
        if (names.empty()) {
            if (path_exists(aux)) pending.retire(aux);
            return true;
        }
        FileHandle f;
        if (!pending.create(con_, aux, "w", f)) return false;
        if (std::fputs(names.c_str(), f.get()) < 0) {
            stop_line(con_, T_("no se puede escribir ") + aux + ": " + std::strerror(errno));
            return false;
        }
        return close_output(con_, f, aux);
    }

    const CommandLine& cl_;
    Console& con_;
    std::string format_;
    OutputNames names_;
    GdalRaster raster_;
    Run run_;
    std::string wkt_;
    std::optional<WindowTable> table_;  // a window's table of the fill, from -fill_table
    FileHandle header_, style_file_;
    std::optional<ValueImage> values_;
    bool try_later_;
    bool by_hand_ = false;             // the GeoTIFF written here
    std::optional<EpsgSystem> crs_;    // in this system
    FileHandle raster_file_;
};

}  // namespace

int run_command_line(const std::vector<std::string>& args, Console& con) {
    std::string error;
    const auto cl = parse_command_line(args, error);
    if (!cl) {
        stop_line(con, error);
        return kUsageError;
    }
    // the outputs go beside OUTPUT, named after it: a folder of that name would take them beside it
    std::error_code ec;
    if (cl->action == CommandLine::Action::run && std::filesystem::is_directory(cl->output, ec)) {
        std::string folder = cl->output;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        stop_line(con, message(T_("{1} es una carpeta: SALIDA es el nombre de las salidas, como {1}/mapa"), {folder}));
        return kUsageError;
    }
    if (cl->action == CommandLine::Action::help) {
        std::fputs(usage_text().c_str(), con.out);
        return 0;
    }
    if (cl->action == CommandLine::Action::version) {
        std::fprintf(con.out, "zorvel_raster %s\n", ZORVEL_VERSION);
        return 0;
    }
    // an allocation that fails anywhere ends the run as a stop: the outputs
    // undone and the lock released on the way out
    try {
        if (cl->plan) return run_plan(*cl, con);
        const std::string format = raster_format(*cl);
        // a GeoTIFF without creation options (named by its extension, or by
        // -of where GDAL's module is in place) is written here or tried once
        // the source is read: GDAL loads beside the reading meanwhile
        const bool try_later = cl->co.empty() && format == kGeoTiff && (cl->of.empty() || ogr_module_in_place());
        if (!format.empty() && !try_later && !raster_driver_writes(format)) {
            stop_line(con, T_("-of ") + format + T_(": GDAL no escribe rasters en ese formato"));
            return kUsageError;
        }
        return CommandLineRun(*cl, con, format, try_later).run();
    } catch (const std::bad_alloc&) {
        stop_line(con, T_("sin memoria: la ejecucion no puede tener la que necesita"));
        return 1;
    }
}

}  // namespace zorvel

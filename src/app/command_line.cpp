#include "app/command_line.h"
#include "base/messages.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>

#include "app/ending.h"
#include "app/raster_output.h"
#include "app/treatment.h"
#include "base/interrupts.h"
#include "base/progress.h"
#include "geometry/grid_layout.h"
#include "output/envi_header.h"
#include "output/qgis_style.h"
#include "reading/dxf_scanner.h"
#include "reading/gpkg_source.h"

#ifndef ZORVEL_VERSION
#define ZORVEL_VERSION "0"
#endif

namespace zorvel {

namespace {

constexpr const char* kExtentsHint = N_(": indique -te XMIN YMIN XMAX YMAX");

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The settings of the command line: all known before the run, the skip
// count found in the drawing and the table limits from the grid when not given.
class CommandLineSettings final : public RunSettings {
public:
    CommandLineSettings(Console& con, const CommandLine& cl, Progress* progress, bool plan = false,
                        bool through_gdal = false)
        : con_(con), cl_(cl), progress_(progress), plan_(plan), through_gdal_(through_gdal) {}

    std::optional<int> skip_count(std::FILE* drawing, const std::string& path) override {
        if (cl_.reg) return *cl_.reg;
        DrawingReader rd(drawing);
        const int found = first_fitting_skip_count(rd);
        std::rewind(drawing);
        if (found < 0) {
            stop_line(con_, T_("el dibujo ") + path +
                                T_(" no tiene registros VERTEX con el codigo 10 de X: indique -reg"));
            return std::nullopt;
        }
        return found;
    }
    std::optional<RotationChoice> rotation() override { return RotationChoice{cl_.rot, cl_.sense}; }
    std::optional<ClassChoice> classes(const ClassHints& hints) override;
    // -te fixes the extents; the header's placeholder extents are refused;
    // the grid is laid over them as asked, or as the dialogue lays it
    ExtentsPolicy extents_policy() const override {
        ExtentsPolicy policy;
        policy.fixed_extents = cl_.te ? &*cl_.te : nullptr;
        policy.refuse_placeholder_extents = true;
        policy.extents_hint = kExtentsHint;
        if (cl_.te) policy.extents_name = T_("las extensiones de -te");
        if (!cl_.dialogue_grid) {
            const GridAsk ask{cl_.tr, cl_.ts, cl_.te.has_value(), cl_.tap, cl_.rot};
            policy.layout = [ask](const Extents& e, std::string& why) { return user_grid(e, ask, why); };
        }
        return policy;
    }
    bool derived_pixel_size() const override { return cl_.dialogue_grid; }
    bool keep_elevations() const override { return cl_.ot != "Byte"; }
    bool fill() const override { return cl_.fill; }
    std::optional<GridWindow> window() const override { return cl_.srcwin; }
    bool limits_from_vertices() const override { return plan_; }
    bool refuse_non_finite() const override { return true; }
    // the elevations kept (8 bytes), the fill's nearest levels (16 at most)
    // and its bands (1), the image GDAL is handed in memory (its type's size)
    int more_per_cell() const override {
        const bool values = cl_.ot != "Byte";
        const int image = !through_gdal_ ? 0 : cl_.ot == "Byte" ? 1 : cl_.ot == "Float32" ? 4 : 8;
        return (values || cl_.fill ? 8 : 0) + (cl_.fill ? 16 + 1 : 0) + image;
    }
    Progress* progress() override { return progress_; }
    // Which interval the classes took, and why.
    const std::string& interval_why() const { return interval_why_; }

private:
    // The interval of the contours, or the smallest multiple of it whose
    // classes fit a byte (said on standard error); 0 after a stop line.
    int data_interval(const ClassHints& hints);

    Console& con_;
    const CommandLine& cl_;
    Progress* progress_;
    bool plan_;
    bool through_gdal_;
    std::string interval_why_;
};

// The table limits for an interval: at or below the lowest elevation, and
// the first class value strictly above the highest, so that the top contour
// has a class too. An interval of the user's runs from its multiples; the
// contours' own interval runs from the lowest contour, which need not be one
// (contours at 105, 115 ... every 10).
std::pair<std::int64_t, std::int64_t> limits_for(int intervalo, const DrawnRange& drawn, bool from_contours) {
    if (from_contours)
        return {drawn.lowest, drawn.lowest + ((static_cast<std::int64_t>(drawn.highest) - drawn.lowest) / intervalo + 1) *
                                                 intervalo};
    return {floor_div(drawn.lowest, intervalo) * intervalo, (floor_div(drawn.highest, intervalo) + 1) * intervalo};
}

int CommandLineSettings::data_interval(const ClassHints& hints) {
    const ContourInterval c = hints.contours();
    if (c.distinct < 2) {
        interval_why_ = T_("1: una sola elevacion entera en las curvas");
        return 1;
    }
    if (c.interval == 0) {
        stop_line(con_, T_("la equidistancia de las curvas sale del rango de los enteros: indique -interval"));
        return 0;
    }
    interval_why_ = std::to_string(c.interval) + T_(": la equidistancia de las curvas (el maximo comun divisor de las "
                    "diferencias entre sus ") + std::to_string(c.distinct) + T_(" elevaciones enteras)");
    const DrawnRange drawn = hints.drawn();
    if (!drawn.any || (cl_.minimum && cl_.maximum)) return c.interval;
    // the smallest multiple of the contour interval whose classes fit a byte
    for (std::int64_t k = 1;; ++k) {
        const std::int64_t iv = k * c.interval;
        if (iv > INT32_MAX) return c.interval;  // the too-many-intervals stop says the rest
        const auto [lo, hi] = limits_for(static_cast<int>(iv), drawn, true);
        const std::int64_t low = cl_.minimum ? *cl_.minimum : lo, high = cl_.maximum ? *cl_.maximum : hi;
        if ((high - low) / iv > kMaxSegments) continue;
        if (k > 1) {
            warn_line(con_, T_("la equidistancia de las curvas, ") + std::to_string(c.interval) + T_(", da mas de ") +
                                std::to_string(kMaxSegments) + T_(" clases: se toma el menor multiplo que cabe, ") +
                                std::to_string(iv) + T_(" (indique otro con -interval)"));
            interval_why_ = std::to_string(iv) + T_(": el menor multiplo de la equidistancia de las curvas (") +
                            std::to_string(c.interval) + T_(") cuyas clases caben en ") + std::to_string(kMaxSegments);
        }
        return static_cast<int>(iv);
    }
}

std::optional<ClassChoice> CommandLineSettings::classes(const ClassHints& hints) {
    int intervalo = 0;
    bool from_contours = false;
    if (cl_.interval) {
        intervalo = *cl_.interval;
        interval_why_ = std::to_string(intervalo) + T_(": dado con -interval");
    } else if (cl_.dialogue_grid) {
        intervalo = hints.suggested;
        interval_why_ = std::to_string(intervalo) + T_(": el que sugiere el dialogo");
        if (intervalo == 0) {
            stop_line(con_, T_("no se puede sugerir un intervalo (la cuadricula tiene menos de diez elevaciones "
                            "distintas): indique -interval"));
            return std::nullopt;
        }
    } else {
        intervalo = data_interval(hints);
        if (intervalo == 0) return std::nullopt;
        from_contours = true;
    }
    // the limits not given come from the grid's elevations
    const DrawnRange drawn = (!cl_.minimum || !cl_.maximum) ? hints.drawn() : DrawnRange{true, 0, 0};
    if (!drawn.any && cl_.te) {
        const Extents& t = *cl_.te;
        const Extents& e = hints.sources;
        stop_line(con_, message(T_("ninguna curva cae en las extensiones de -te (X de {1} a {2}, Y de {3} a {4}); "
                                   "las de las curvas son X de {5} a {6}, Y de {7} a {8}"),
                                {number_text(t.min_x), number_text(t.max_x), number_text(t.min_y), number_text(t.max_y),
                                 number_text(e.min_x), number_text(e.max_x), number_text(e.min_y), number_text(e.max_y)}));
        return std::nullopt;
    }
    if (!drawn.any) {
        stop_line(con_, T_("ninguna celda de la cuadricula tiene elevacion: indique -min y -max"));
        return std::nullopt;
    }
    // the limits a multiple of the interval at or below the lowest elevation,
    // and strictly above the highest, so that the top contour has a class too
    const auto [floor_limit, ceiling_limit] = limits_for(intervalo, drawn, from_contours);
    std::int64_t minimo = cl_.minimum ? *cl_.minimum : floor_limit;
    std::int64_t maximo = cl_.maximum ? *cl_.maximum : ceiling_limit;
    // a filled grid rises above its top contour and sinks below its lowest:
    // the limits not given take whole intervals more, to give those cells a band
    if (hints.filled) {
        const auto [lowest, highest] = *hints.filled;
        if (!cl_.minimum && lowest < static_cast<double>(minimo))
            minimo -= static_cast<std::int64_t>(std::ceil((static_cast<double>(minimo) - lowest) / intervalo)) * intervalo;
        if (!cl_.maximum && highest >= static_cast<double>(maximo))
            maximo += (static_cast<std::int64_t>(std::floor((highest - static_cast<double>(maximo)) / intervalo)) + 1) *
                      intervalo;
    }
    if (minimo < INT32_MIN || maximo > INT32_MAX || maximo - minimo > INT32_MAX || maximo - minimo < INT32_MIN) {
        stop_line(con_, T_("los limites de la tabla salen del rango de los enteros: indique -min y -max"));
        return std::nullopt;
    }
    // a limit given beyond the other, taken from the contours, leaves no class
    if (minimo >= maximo) {
        stop_line(con_, message(T_("los limites de la tabla, de {1} a {2}, no dejan ninguna clase: indique -min y -max"),
                                {std::to_string(minimo), std::to_string(maximo)}));
        return std::nullopt;
    }
    const std::int64_t num_segment = (maximo - minimo) / intervalo;
    if (num_segment > kMaxSegments) {
        stop_line(con_, T_("el numero total de intervalos (") + std::to_string(num_segment + 1) +
                            T_(") es demasiado grande: indique otro -interval, -min o -max"));
        return std::nullopt;
    }
    const int lo = static_cast<int>(minimo), hi = static_cast<int>(maximo);
    return ClassChoice{lo, hi, class_values(lo, hi, intervalo)};
}

// Whether the source is named as only GDAL names one: a virtual path
// (/vsizip/, /vsicurl/ ...) or a connection string (PG:, WFS: ...).
bool gdal_name(const std::string& name) {
    if (name.rfind("/vsi", 0) == 0) return true;
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon < 2) return false;  // C:\ is a drive
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

void summary(std::FILE* out, const CommandLine& cl, const RunState& rs, const std::string& image,
             const std::vector<std::string>& paths, const std::string& interval_why) {
    std::string sheets;
    for (const std::string& d : cl.drawings) sheets += (sheets.empty() ? "" : " ") + d;
    std::fprintf(out, T_("zorvel_raster: %s -> %s\n"), sheets.c_str(), image.c_str());
    std::fprintf(out, T_("  cuadricula: %d lineas x %d columnas, pixel %s (girado %s grados a la %s)\n"),
                 rs.whole.nb_lig, rs.whole.nb_col, number_text(rs.pix_size).c_str(), number_text(rs.turn.angle).c_str(),
                 rs.turn.sentido == 0 ? T_("izquierda") : T_("derecha"));
    if (rs.image.nb_lig3 == 0)
        std::fputs(T_("  imagen: ninguna celda clasificada, imagen vacia\n"), out);
    else
        std::fprintf(out, T_("  imagen: %d lineas x %d columnas desde la linea %d, columna %d de la cuadricula\n"),
                     rs.image.nb_lig3, rs.image.nb_col3, rs.image.min_i + rs.whole.i0, rs.image.min_j + rs.whole.j0);
    const ClassTable& ct = rs.classes;
    if (ct.num_segment >= 1)
        std::fprintf(out, T_("  clases: %lld, de %d a %d cada %d (%d en la tabla, sin celdas)\n"), ct.num_segment,
                     ct.tabord[1], ct.tabord[static_cast<std::size_t>(ct.num_segment)], ct.intervalo,
                     ct.tabord.back());
    else
        std::fputs(T_("  clases: ninguna\n"), out);
    std::fprintf(out, T_("  intervalo: %s\n"), interval_why.c_str());
    if (rs.fill)
        std::fprintf(out, T_("  relleno: %lld celdas entre dos curvas, %lld en cimas y hondonadas, %lld planas, %lld sin elevacion\n"),
                     rs.fill->between, rs.fill->domed, rs.fill->flat, rs.fill->unreached);
    std::fputs(T_("  archivos:"), out);
    for (const std::string& p : paths)
        if (exists(p)) std::fprintf(out, " %s", p.c_str());
    std::fputs("\n", out);
}

// The coordinate system -a_srs names, as WKT ("" without it); nullopt,
// after its usage line, when GDAL does not know it.
std::optional<std::string> given_srs(Console& con, const CommandLine& cl) {
    if (cl.a_srs.empty()) return std::string();
    std::string why;
    std::string wkt = srs_wkt(cl.a_srs, why);
    if (wkt.empty()) {
        stop_line(con, T_("-a_srs: ") + why);
        return std::nullopt;
    }
    return wkt;
}

// A sheet opened for the word scanner (file), or through OGR when the
// scanner does not read it (ogr); the exit status of a source that cannot
// be read (1, after its stop line) or of options it cannot honour (2), or 0.
int open_source(Console& con, const CommandLine& cl, const std::string& path, FileHandle& file,
                std::unique_ptr<OgrSource>& ogr) {
    const auto through_ogr = [&] {
        const OgrOptions o{cl.layer, cl.where, cl.field, cl.z};
        ogr = open_gpkg_directly(path, o);
        if (ogr == nullptr) ogr = OgrSource::open(con, path, o);
        file.reset();
        return ogr != nullptr ? 0 : 1;
    };
    // a name only GDAL knows (/vsizip/..., PG:...): GDAL's to open
    if (gdal_name(path) && ogr_available()) return through_ogr();
    std::error_code ec;
    const auto kind = std::filesystem::status(path, ec).type();
    if (ec) {
        stop_line(con, T_("no se puede abrir el dibujo ") + path + ": " + ec.message());
        return 1;
    }
    // a folder is a source for GDAL (a folder of Shapefiles); anything else
    // but a file cannot be read twice, and reading it once would empty it
    if (kind == std::filesystem::file_type::directory) return through_ogr();
    if (kind != std::filesystem::file_type::regular) {
        stop_line(con, T_("no se puede leer ") + path +
                           T_(": no es un archivo (una tuberia, un dispositivo), y el dibujo se lee dos veces: "
                           "copielo a un archivo"));
        return 1;
    }
    file.reset(std::fopen(path.c_str(), "r"));
    if (!file) {
        stop_line(con, T_("no se puede abrir el dibujo ") + path + ": " + std::strerror(errno));
        return 1;
    }
    if (!cl.ogr && old_style_dxf(path, file.get(), cl.reg.has_value())) {
        // what only the GDAL reader honours would be dropped without a word
        if (cl.layer.empty() && cl.where.empty() && cl.field.empty() && !cl.z) return 0;
        stop_line(con, T_("-l, -where, -a y -3d solo valen para las fuentes leidas con GDAL, y ") + path +
                           T_(" es un DXF antiguo que lee el programa: anada -ogr para leerlo con GDAL"));
        return kUsageError;
    }
    return through_ogr();
}

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
bool settle_first(Console& con, OpenSheets& sheets, std::string& wkt) {
    if (!sheets.first) return true;
    std::string why;
    if (!sheets.first->settle(why)) {
        stop_line(con, why);
        return false;
    }
    if (wkt.empty()) wkt = sheets.first->wkt();
    return true;
}

// Opens every sheet; the coordinate system is the first that a source read
// through OGR gives, and sheets in different ones are refused. A sheet
// alone settles after its reading (settle_first).
int open_sheets(Console& con, const CommandLine& cl, RunState& rs, OpenSheets& sheets, std::string& wkt) {
    rs.files.nomim1 = cl.drawing;
    if (const int status = open_source(con, cl, cl.drawing, rs.files.f1, sheets.first); status != 0) return status;
    sheets.source.ogr = sheets.first.get();
    std::string first_wkt, from = cl.drawing;
    if (cl.drawings.size() > 1 && !settle_first(con, sheets, first_wkt)) return 1;
    for (std::size_t k = 1; k < cl.drawings.size(); ++k) {
        const std::string& path = cl.drawings[k];
        FileHandle file;
        std::unique_ptr<OgrSource> ogr;
        if (const int status = open_source(con, cl, path, file, ogr); status != 0) return status;
        if (std::string why; ogr != nullptr && !ogr->settle(why)) {
            stop_line(con, why);
            return 1;
        }
        if (ogr != nullptr && !ogr->wkt().empty()) {
            if (first_wkt.empty()) {
                first_wkt = ogr->wkt();
                from = path;
            } else if (ogr->wkt() != first_wkt && cl.a_srs.empty()) {
                stop_line(con, T_("las fuentes ") + from + T_(" y ") + path +
                                   T_(" tienen sistemas de coordenadas distintos: llevelas a uno (ogr2ogr -t_srs)"));
                return 1;
            }
        }
        sheets.source.more.push_back(MoreSource{path, file.get(), ogr.get()});
        sheets.files.push_back(std::move(file));
        sheets.ogr.push_back(std::move(ogr));
    }
    if (wkt.empty()) wkt = first_wkt;
    return 0;
}

// What every command-line run does first: the lock on its outputs (held to
// the last rename, so that another run cannot slip its own in between), the
// refusal of outputs that exist and the coordinate system asked; the exit
// status of a stop, or 0.
int begin_run(const CommandLine& cl, Console& con, RunState& rs, const std::vector<std::string>& paths,
              std::string& wkt) {
    if (!rs.files.pending.lock(con, cl.output, paths[0])) return 1;
    if (!cl.overwrite)
        for (const std::string& p : paths)
            if (exists(p)) {
                stop_line(con, T_("ya existe ") + p + T_(": use --overwrite para reemplazarlo"));
                return kUsageError;
            }
    const auto given = given_srs(con, cl);
    if (!given) return kUsageError;
    wkt = *given;
    return 0;
}

// Why the image of elevations cannot hold the cells kept as they are: an
// elevation beyond what Float32 cells hold, or one that would be written
// as the nodata value (compared as the cells' type holds them); the exit
// status of the stop, after its line, or 0.
int values_unfit(Console& con, const CommandLine& cl, const RunState& rs, const std::optional<Crop>& keep) {
    const bool single = cl.ot == "Float32";
    const auto as_stored = [&](double v) { return single ? static_cast<double>(static_cast<float>(v)) : v; };
    const double nodata = cl.nodata ? as_stored(*cl.nodata) : 0.0;
    const int i0 = keep ? keep->min_i : 0, i1 = keep ? keep->max_i : rs.nb_lig - 1;
    const int j0 = keep ? keep->min_j : 0, j1 = keep ? keep->max_j : rs.nb_col - 1;
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            const double v = rs.alti[static_cast<std::size_t>(i) * static_cast<std::size_t>(rs.nb_col) + static_cast<std::size_t>(j)];
            if (v == kNoElevation) continue;
            if (single && std::fabs(v) > std::numeric_limits<float>::max()) {
                stop_line(con, message(T_("la elevacion {1} no cabe en celdas Float32: use -ot Float64"), {number_text(v)}));
                return 1;
            }
            if (cl.nodata && as_stored(v) == nodata) {
                stop_line(con, message(T_("-a_nodata {1}: celdas de elevacion {2} tomarian ese valor y se leerian como "
                                          "celdas sin elevacion: indique otro"),
                                       {number_text(*cl.nodata), number_text(v)}));
                return kUsageError;
            }
        }
    return 0;
}

// Writes the QGIS style of the class image done made to f and closes it;
// false after a stop line.
bool write_style(Console& con, FileHandle& f, const std::string& path, const RunState& done, bool bands) {
    std::vector<bool> taken(256, false);
    const CroppedImage& image = done.image;
    for (int i = 0; i < image.nb_lig3; ++i)
        for (int j = 0; j < image.nb_col3; ++j) taken[image.tab3[i][j]] = true;
    const std::string text = qgis_style(done.classes, taken, class_colours(done.classes), bands);
    if (std::fputs(text.c_str(), f.get()) < 0) {
        stop_line(con, T_("no se puede escribir ") + path + ": " + std::strerror(errno));
        return false;
    }
    return close_output(con, f, path);
}

// A raster GDAL writes, from its folder of its own to its name.
class GdalRaster {
public:
    GdalRaster(const CommandLine& cl, std::string format) : cl_(cl), format_(std::move(format)) {}
    // The folder GDAL writes in; false after a stop line.
    bool prepare(Console& con, PendingOutputs& pending) { return pending.create_folder(con, cl_.output, folder_); }
    // Why the format cannot hold such cells, in the coordinate system wkt,
    // tried there on a sample of them; empty when it can.
    std::string refusal(const std::string& wkt) {
        SampleRaster sample(cl_, format_, in_folder(), wkt);
        sample.out.shown = cl_.output;
        std::string refused = raster_refusal(sample.out);
        empty_folder(folder_);
        return refused;
    }
    // Writes the raster, read back and compared, and takes every file GDAL
    // wrote into the outputs; false after a stop line (late_refusal: a
    // file of the set exists, without --overwrite).
    bool write(Console& con, PendingOutputs& pending, RasterOut r) {
        r.path = in_folder();
        r.shown = cl_.output;
        std::vector<std::string> warnings;
        std::string why;
        const bool written = write_raster(r, warnings, why);
        for (const std::string& w : warnings) warn_line(con, "GDAL (" + format_ + "): " + w);
        if (!written) {
            stop_line(con, why);
            return false;
        }
        files_ = pending.adopt_folder(folder_);
        for (const std::string& p : files_)
            if (!cl_.overwrite && exists(p)) {
                stop_line(con, T_("ya existe ") + p + T_(": use --overwrite para reemplazarlo"));
                late_refusal = true;
                return false;
            }
        // a sidecar of an earlier raster would describe this one wrongly
        const std::string aux = cl_.output + ".aux.xml";
        if (std::find(files_.begin(), files_.end(), aux) == files_.end() && exists(aux)) pending.retire(aux);
        return true;
    }
    // The files written, once they are.
    const std::vector<std::string>& files() const { return files_; }
    bool late_refusal = false;

private:
    std::string in_folder() const { return folder_ + "/" + std::filesystem::path(cl_.output).filename().string(); }
    const CommandLine& cl_;
    std::string format_;
    std::string folder_;
    std::vector<std::string> files_;
};

// The command line's run, once its options are known to be usable.
int run_with(const CommandLine& cl, Console& con) {
    const std::string format = raster_format(cl);
    if (!format.empty() && !raster_driver_writes(format)) {
        stop_line(con, T_("-of ") + format + T_(": GDAL no escribe rasters en ese formato"));
        return kUsageError;
    }
    // ENVI's four files, or the raster with whatever files GDAL writes beside
    // it; and the QGIS style of a class image
    std::vector<std::string> paths =
        format.empty() ? output_paths(cl.output) : std::vector<std::string>{cl.output, cl.output + ".aux.xml"};
    const bool classes = cl.ot == "Byte";
    const std::string style = qgis_style_path(format.empty() ? paths[0] : cl.output);
    if (classes) paths.push_back(style);
    RunState rs;
    std::string wkt;
    if (const int status = begin_run(cl, con, rs, paths, wkt); status != 0) return status;
    FileHandle header, style_file;
    if (classes && !rs.files.pending.create(con, style, "w", style_file)) return 1;
    GdalRaster raster(cl, format);
    if (format.empty()) {
        rs.files.nomim2 = paths[0];
        rs.files.nomdescr2 = paths[1];
        rs.files.nomdescr3 = paths[2];
        if (!rs.files.pending.create(con, paths[0], "wb", rs.files.f2) ||
            !rs.files.pending.create(con, paths[1], "w", rs.files.f2d) ||
            !rs.files.pending.create(con, paths[2], "w", rs.files.f3d) ||
            !rs.files.pending.create(con, paths[3], "w", header))
            return 1;
    } else if (!raster.prepare(con, rs.files.pending)) {
        return 1;
    }
    OpenSheets sheets;
    if (const int status = open_sheets(con, cl, rs, sheets, wkt); status != 0) return status;
    if (!format.empty()) {
        // the format tried before the source is read, in the source's
        // coordinate system where it is known by now
        const auto wkt_now = [&] { return !wkt.empty() || !sheets.first ? wkt : sheets.first->wkt(); };
        std::string refused = raster.refusal(wkt_now());
        // a format that wants a coordinate system may have it from a source that learns its own as it is read
        if (!refused.empty() && wkt_now().empty() && sheets.first) {
            std::string system;
            if (!settle_first(con, sheets, system)) return 1;
            if (!system.empty()) refused = raster.refusal(system);
        }
        if (!refused.empty()) {
            stop_line(con, T_("-of ") + format + ": " + refused);
            return kUsageError;
        }
    }
    test_point("created");
    rs.pix_size = rs.size_pix = cl.tr;

    TerminalProgress bar(con.err);
    const bool show = cl.progress || (!cl.quiet && is_terminal(con.err));
    if (show) bar.start();
    CommandLineSettings settings(con, cl, show ? &bar : nullptr, false, !format.empty());
    Report quiet;  // the dialogue's report is not this mode's
    if (!treatment(con, quiet, rs, settings, sheets.source) || !settle_first(con, sheets, wkt)) return 1;
    RunEnding ending;
    ending.crop = cl.dialogue_grid;
    if (cl.srcwin) {
        // the window itself, without the margin drawn around it
        const GridWindow& w = *cl.srcwin;
        const int i = w.yoff - rs.whole.i0, j = w.xoff - rs.whole.j0;
        ending.keep = Crop{false, i, i + w.ysize - 1, j, j + w.xsize - 1};
    }
    if (cl.ot != "Byte") {
        ending.values = ValueImage{cl.ot, cl.nodata.value_or(kElevationNodata)};
        if (const int status = values_unfit(con, cl, rs, ending.keep); status != 0) return status;
    }
    ending.more_outputs = [&](const RunState& done) {
        const ImagePlace place{done.image.nb_lig3,
                               done.image.nb_col3,
                               done.image.min_i + done.whole.i0,
                               done.image.min_j + done.whole.j0,
                               done.whole.nb_lig,
                               done.whole.nb_col,
                               done.pix_size,
                               done.frame.min_x,
                               done.frame.min_y,
                               done.turn};
        const std::string name = sheet_names(cl);
        if (classes && !write_style(con, style_file, style, done, cl.fill)) return false;
        if (format.empty())
            return write_envi_header(con, header, paths[3], place, done.classes, name, wkt, ending.values);
        if (ending.values)
            for (double& a : rs.alti)
                if (a == kNoElevation) a = ending.values->nodata;
        const ImageCells cells{done.image, done.alti, done.nb_col, done.classes};
        return raster.write(con, rs.files.pending, raster_of(cl, cells, format, "", wkt, place));
    };
    if (!cl.quiet)
        ending.summary = [&](const RunState& done) {
            std::vector<std::string> files = format.empty() ? paths : raster.files();
            if (!format.empty() && classes) files.push_back(style);
            summary(con.out, cl, done, paths[0], files, settings.interval_why());
        };
    const int status = end_run(con, quiet, rs, ending);
    return status != 0 && raster.late_refusal ? kUsageError : status;
}

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

std::string xml_text(const std::string& s) {
    std::string x;
    for (const char c : s) {
        switch (c) {
            case '&': x += "&amp;"; break;
            case '<': x += "&lt;"; break;
            case '>': x += "&gt;"; break;
            case '"': x += "&quot;"; break;
            default: x += c;
        }
    }
    return x;
}

std::string exact_text(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

// A window of the plan, and the image its command writes.
struct PlannedWindow {
    GridWindow w;
    std::string image;   // the path the command is given as OUTPUT
    std::string source;  // the file the mosaic reads: the raw image of ENVI's files, or the raster
};

// The VRT that mosaics the windows' images into the whole grid's: its
// place, coordinate system, nodata, colours and class names.
std::string mosaic_vrt(const CommandLine& cl, const RunState& rs, const std::string& wkt,
                       const std::vector<PlannedWindow>& windows) {
    const int rows = rs.whole.nb_lig, cols = rs.whole.nb_col;
    const ImagePlace whole{rows, cols, 0, 0, rows, cols, rs.pix_size, rs.frame.min_x, rs.frame.min_y, rs.turn};
    const auto gt = image_geotransform(whole);
    std::string v = "<VRTDataset rasterXSize=\"" + std::to_string(cols) + "\" rasterYSize=\"" + std::to_string(rows) + "\">\n";
    if (!wkt.empty()) v += "  <SRS>" + xml_text(wkt) + "</SRS>\n";
    v += "  <GeoTransform>";
    for (int k = 0; k < 6; ++k) v += (k > 0 ? ", " : "") + exact_text(gt[static_cast<std::size_t>(k)]);
    v += "</GeoTransform>\n";
    const bool classes = cl.ot == "Byte";
    v += "  <VRTRasterBand dataType=\"" + cl.ot + "\" band=\"1\">\n";
    v += "    <NoDataValue>" + (classes ? std::string("255") : exact_text(cl.nodata.value_or(kElevationNodata))) +
         "</NoDataValue>\n";
    if (classes) {
        v += "    <ColorInterp>Palette</ColorInterp>\n    <ColorTable>\n";
        for (const auto& c : class_colours(rs.classes))
            v += "      <Entry c1=\"" + std::to_string(c[0]) + "\" c2=\"" + std::to_string(c[1]) + "\" c3=\"" +
                 std::to_string(c[2]) + "\" c4=\"" + std::to_string(c[3]) + "\"/>\n";
        v += "    </ColorTable>\n    <CategoryNames>\n";
        for (const std::string& n : class_names(rs.classes)) v += "      <Category>" + xml_text(n) + "</Category>\n";
        v += "    </CategoryNames>\n";
    }
    for (const PlannedWindow& p : windows) {
        const std::string size = "xSize=\"" + std::to_string(p.w.xsize) + "\" ySize=\"" + std::to_string(p.w.ysize) + "\"/>\n";
        v += "    <SimpleSource>\n      <SourceFilename relativeToVRT=\"1\">" +
             xml_text(std::filesystem::path(p.source).filename().string()) + "</SourceFilename>\n";
        v += "      <SourceBand>1</SourceBand>\n      <SrcRect xOff=\"0\" yOff=\"0\" " + size;
        v += "      <DstRect xOff=\"" + std::to_string(p.w.xoff) + "\" yOff=\"" + std::to_string(p.w.yoff) + "\" " + size;
        v += "    </SimpleSource>\n";
    }
    return v + "  </VRTRasterBand>\n</VRTDataset>\n";
}

// The plan: the whole drawing read, one cell of the grid drawn (for its
// size), the interval and the limits of the whole drawing; a command a line
// on standard output, for each window, and OUTPUT.vrt.
int run_plan(const CommandLine& given, Console& con) {
    CommandLine cl = given;
    cl.srcwin = GridWindow{0, 0, 1, 1};
    // OUTPUT.vrt; for a raster named with its extension (sheet.tif), sheet.vrt
    const std::string format = raster_format(cl);
    const std::filesystem::path base(cl.output);
    const std::string vrt = format.empty() || !base.has_extension()
                                ? cl.output + ".vrt"
                                : std::filesystem::path(base).replace_extension(".vrt").string();
    RunState rs;
    std::string wkt;
    OpenSheets sheets;
    if (const int status = begin_run(cl, con, rs, {vrt}, wkt); status != 0) return status;
    if (const int status = open_sheets(con, cl, rs, sheets, wkt); status != 0) return status;
    FileHandle out;
    if (!rs.files.pending.create(con, vrt, "w", out)) return 1;
    rs.pix_size = rs.size_pix = cl.tr;
    CommandLineSettings settings(con, cl, nullptr, true);
    Report quiet;
    if (!treatment(con, quiet, rs, settings, sheets.source) || !settle_first(con, sheets, wkt)) return 1;

    // each window's command: the options as given, the classes of the whole drawing, the window
    std::error_code ec;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || program.empty()) program = "zorvel_raster";
    std::vector<PlannedWindow> windows;
    const auto [tile_cols, tile_rows] = *cl.plan;
    for (int r = 0; r < rs.whole.nb_lig; r += tile_rows)
        for (int c = 0; c < rs.whole.nb_col; c += tile_cols) {
            const std::string suffix = "_" + std::to_string(r / tile_rows) + "_" + std::to_string(c / tile_cols);
            PlannedWindow p{{c, r, std::min(tile_cols, rs.whole.nb_col - c), std::min(tile_rows, rs.whole.nb_lig - r)}, "", ""};
            if (format.empty()) {
                p.image = cl.output + suffix;
                p.source = output_paths(p.image)[0];
            } else {
                p.image = (base.parent_path() / (base.stem().string() + suffix + base.extension().string())).string();
                p.source = p.image;
            }
            windows.push_back(p);
        }
    std::string commands;
    for (const PlannedWindow& p : windows) {
        std::string line = shell_word(program);
        for (const std::string& o : cl.options) line += " " + shell_word(o);
        if (!cl.interval) line += " -interval " + std::to_string(rs.classes.intervalo);
        if (!cl.minimum) line += " -min " + std::to_string(rs.val_minimo);
        if (!cl.maximum) line += " -max " + std::to_string(rs.val_maximo);
        line += " -srcwin " + std::to_string(p.w.xoff) + " " + std::to_string(p.w.yoff) + " " + std::to_string(p.w.xsize) +
                " " + std::to_string(p.w.ysize);
        for (const std::string& d : cl.drawings) line += " " + shell_word(d);
        commands += line + " " + shell_word(p.image) + "\n";
    }
    const std::string text = mosaic_vrt(cl, rs, wkt, windows);
    if (std::fputs(text.c_str(), out.get()) < 0 || !close_output(con, out, vrt)) return 1;
    if (!rs.files.pending.commit(con)) return 1;
    std::fputs(commands.c_str(), con.out);
    return std::fflush(con.out) == 0 ? 0 : 1;
}

}  // namespace

std::vector<std::string> output_paths(const std::string& output) {
    return {output + "_zorvl.raw", output + "_zorvl.txt", output + "_zorvl_tab.txt", output + "_zorvl.hdr"};
}

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
        return cl->plan ? run_plan(*cl, con) : run_with(*cl, con);
    } catch (const std::bad_alloc&) {
        stop_line(con, T_("sin memoria: la ejecucion no puede tener la que necesita"));
        return 1;
    }
}

}  // namespace zorvel

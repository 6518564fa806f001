#include "cli/sheets.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/messages.h"
#include "reading/dxf_scanner.h"
#include "reading/gpkg_source.h"

namespace zorvel {

namespace {

// Whether the source is named as only GDAL names one: a virtual path
// (/vsizip/, /vsicurl/ ...) or a connection string (PG:, WFS: ...).
bool gdal_name(const std::string& name) {
    if (name.rfind("/vsi", 0) == 0) return true;
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon < 2) return false;  // C:\ is a drive
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
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

}  // namespace

bool path_exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

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

int open_sheets(Console& con, const CommandLine& cl, RunFiles& files, OpenSheets& sheets, std::string& wkt) {
    files.nomim1 = cl.drawing;
    if (const int status = open_source(con, cl, cl.drawing, files.f1, sheets.first); status != 0) return status;
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

int begin_run(const CommandLine& cl, Console& con, PendingOutputs& pending, const std::vector<std::string>& paths,
              std::string& wkt) {
    if (!pending.lock(con, cl.output, paths[0])) return 1;
    if (!cl.overwrite)
        for (const std::string& p : paths)
            if (path_exists(p)) {
                stop_line(con, T_("ya existe ") + p + T_(": use --overwrite para reemplazarlo"));
                return kUsageError;
            }
    const auto given = given_srs(con, cl);
    if (!given) return kUsageError;
    wkt = *given;
    return 0;
}

}  // namespace zorvel

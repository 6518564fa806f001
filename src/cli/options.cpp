#include "cli/options.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "base/messages.h"
#include "cli/arguments.h"
#include "reading/ogr_source.h"

namespace zorvel {

namespace {

const OptionSpec* find_option(const std::string& arg) {
    for (const OptionSpec& o : option_table())
        if (o.names != nullptr)
            for (const std::string& n : spellings(o.names))
                if (n == arg) return &o;
    return nullptr;
}

// The checks that take more than one option, once all are read.
std::optional<CommandLine> check_together(Arguments& a, CommandLine& cl, const std::vector<std::string>& positional,
                                          const std::vector<std::string>& args) {
    if (positional.size() < 2) return a.fail(T_("faltan el dibujo y la salida: zorvel_raster [opciones] DIBUJO.dxf... SALIDA"));
    if (positional.size() > 2 && cl.dialogue_grid)
        return a.fail(T_("-dialogue_grid: el dialogo lee un solo dibujo, y se dan ") + std::to_string(positional.size() - 1));
    if (cl.tr == 0.0 && !cl.ts) return a.fail(T_("-tr: falta el tamano del pixel, que es obligatorio"));
    if (cl.tr != 0.0 && cl.ts) return a.fail(T_("-tr y -ts: el tamano de la celda o el numero de celdas, no ambos"));
    if (cl.tap && cl.tr == 0.0) return a.fail(T_("-tap: alinea a multiplos de -tr, que falta"));
    if (cl.nodata && cl.ot == CellType::Byte) return a.fail(T_("-a_nodata: las clases (-ot Byte) dejan 255 en las celdas sin curva"));
    // a GeoTIFF may be written here: GDAL's module in place is enough until then
    if (!cl.of.empty() && cl.of != "ENVI" && !(cl.of == kGeoTiff && cl.co.empty() ? ogr_module_in_place() : ogr_available()))
        return a.fail(T_("-of: ") + ogr_unavailable_why() + T_(": solo escribe ENVI (los cuatro archivos de SALIDA)"));
    if (!cl.co.empty() && (cl.of.empty() || cl.of == "ENVI") && !ogr_available())
        return a.fail(T_("-co: ") + ogr_unavailable_why() + T_(": solo escribe ENVI, sin opciones de creacion"));
    if (cl.dialogue_grid && (cl.ts || cl.tap))
        return a.fail(T_("-dialogue_grid: la cuadricula del dialogo sale de las extensiones y de -tr, sin -ts ni -tap"));
    if ((cl.ts || cl.tap) && cl.rot != 0.0)
        return a.fail(std::string(cl.ts ? "-ts" : "-tap") + T_(" y -rot: una cuadricula girada no se alinea ni se cuenta por celdas de la hoja"));
    if (cl.minimum && cl.maximum && *cl.minimum >= *cl.maximum)
        return a.fail(T_("-min, -max: -min debe ser menor que -max, o no queda ninguna clase"));
    if (cl.minimum && cl.maximum && static_cast<std::int64_t>(*cl.maximum) - *cl.minimum > INT32_MAX)
        return a.fail(T_("-min, -max: su diferencia sale del rango de los enteros"));
    // a nodata value the cells' type cannot hold would become another
    if (cl.nodata && cl.ot == CellType::Float32 && std::isfinite(*cl.nodata) &&
        std::fabs(*cl.nodata) > std::numeric_limits<float>::max())
        return a.fail(message(T_("-a_nodata: {1} no cabe en celdas Float32"), {number_text(*cl.nodata)}));
    if (cl.srcwin && (!cl.interval || !cl.minimum || !cl.maximum))
        return a.fail(T_("-srcwin: una ventana clasifica como la cuadricula entera solo con -interval, -min y -max dados"));
    if (cl.plan && cl.srcwin) return a.fail(T_("-plan y -srcwin: el plan da las ventanas"));
    if (cl.plan && cl.fill && cl.ot == CellType::Byte && !(cl.minimum && cl.maximum))
        return a.fail(T_("-plan y -fill con -ot Byte: los limites de las clases se dan con -min y -max: la superficie "
                         "sube y baja mas alla de las curvas"));
    if (cl.plan && cl.dialogue_grid) return a.fail(T_("-plan y -dialogue_grid: la imagen del dialogo se recorta a los datos"));
    if (cl.fill_margin_given && !((cl.srcwin || cl.plan) && cl.fill))
        return a.fail(T_("-fill_margin: es el margen de una ventana del relleno: pide -srcwin (o -plan) y -fill"));
    if (!cl.fill_table.empty() && !(cl.srcwin && cl.fill))
        return a.fail(T_("-fill_table: es la tabla de una ventana del relleno, que escribe -plan: pide -srcwin y -fill"));
    if (cl.srcwin && cl.dialogue_grid) return a.fail(T_("-srcwin y -dialogue_grid: la imagen del dialogo se recorta a los datos"));
    if (!cl.field.empty() && cl.z) return a.fail(T_("-a y -3d: la elevacion sale de un campo o de la Z, no de ambos"));
    const bool ogr_options = cl.ogr || !cl.layer.empty() || !cl.where.empty() || !cl.field.empty() || cl.z;
    // where the module is in place, GDAL loads beside the reading, and a module that does not load stops the run there
    if (ogr_options && !ogr_module_in_place() && !ogr_available())
        return a.fail(T_("-ogr, -l, -where, -a, -3d: ") + ogr_unavailable_why() + T_(": solo lee dibujos DXF con POLYLINE y VERTEX"));
    // each command of a plan is one line, for xargs and job arrays
    if (cl.plan)
        for (const std::string& word : args)
            if (word.find_first_of("\n\r") != std::string::npos)
                return a.fail(T_("-plan: las ordenes del plan van una por linea, y un nombre lleva un salto de linea"));
    cl.drawings.assign(positional.begin(), positional.end() - 1);
    cl.drawing = positional[0];
    cl.output = positional.back();
    return cl;
}

}  // namespace

std::vector<std::string> option_names() {
    std::vector<std::string> names;
    for (const OptionSpec& o : option_table())
        if (o.names != nullptr)
            for (const std::string& n : spellings(o.names)) names.push_back(n);
    return names;
}

std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    Arguments a(args, error);
    std::vector<std::string> positional;
    while (!a.done() && error.empty()) {
        const std::string& arg = a.next();
        if (const OptionSpec* o = find_option(arg)) {
            const std::size_t from = a.at() - 1;
            o->take(a, cl);
            if (arg != "-plan") cl.options.insert(cl.options.end(), args.begin() + static_cast<std::ptrdiff_t>(from),
                                                  args.begin() + static_cast<std::ptrdiff_t>(a.at()));
            // --help and --version answer whatever follows
            if (cl.action != CommandLine::Action::run) return cl;
        } else if (arg.size() > 1 && arg[0] == '-' && !whole_double(arg)) {
            a.fail(T_("opcion desconocida: ") + arg + T_(" (--help las muestra)"));
        } else {
            positional.push_back(arg);
        }
    }
    if (!error.empty()) return std::nullopt;
    return check_together(a, cl, positional, args);
}

std::string sheet_names(const CommandLine& cl) {
    std::string names;
    for (const std::string& d : cl.drawings)
        names += (names.empty() ? "" : ", ") + std::filesystem::path(d).filename().string();
    return names;
}

}  // namespace zorvel

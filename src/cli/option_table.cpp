#include "cli/options.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "base/messages.h"
#include "cli/arguments.h"

namespace zorvel {

namespace {

constexpr std::size_t kOptionColumn = 22;  // --help: where the help texts start, after two blanks

bool positive(double v) { return v > 0.0 && std::isfinite(v); }
bool finite(double v) { return std::isfinite(v); }

// -tr's value: one size, or gdal_rasterize's two when they are the same
bool take_pixel_size(Arguments& a, CommandLine& cl) {
    const auto tr = a.number<double>("-tr", N_("un tamano de pixel mayor que 0"), positive);
    if (tr && a.peek_number()) {
        const auto second = a.number<double>("-tr", N_("un tamano de pixel mayor que 0"), positive);
        if (second && *second != *tr) return a.refuse(T_("-tr: los pixeles son cuadrados: un solo tamano"));
    }
    if (tr) cl.tr = *tr;
    return tr.has_value();
}

bool take_skip_count(Arguments& a, CommandLine& cl) {
    if (a.peek_is("auto")) {
        a.next();
        cl.reg.reset();
        return true;
    }
    cl.reg = a.number<int>("-reg", N_("un numero de registros (0 o mas) o auto"), [](int v) { return v >= 0; });
    return cl.reg.has_value();
}

bool take_sense(Arguments& a, CommandLine& cl) {
    static const std::map<std::string, int> senses = {{"left", 0},    {"right", 1}, {"izquierdo", 0},
                                                      {"derecho", 1}, {"0", 0},     {"1", 1}};
    const std::string w = a.done() ? "" : a.next();
    const auto s = senses.find(w);
    if (s == senses.end())
        return a.fail(w.empty() ? std::string(T_("-sense: falta left o right")) : T_("-sense: se espera left o right, no '") + w + "'"),
               false;
    cl.sense = s->second;
    return true;
}

// Two whole numbers greater than 0 after `option`: columns, then rows.
std::optional<std::pair<int, int>> two_counts(Arguments& a, const char* option, const char* what) {
    const auto cols = a.number<int>(option, what, [](int v) { return v > 0; });
    const auto rows = cols ? a.number<int>(option, what, [](int v) { return v > 0; }) : std::nullopt;
    if (!rows) return std::nullopt;
    return std::pair{*cols, *rows};
}

bool take_size(Arguments& a, CommandLine& cl) {
    cl.ts = two_counts(a, "-ts", N_("ANCHO ALTO en celdas, mayores que 0"));
    return cl.ts.has_value();
}

bool take_window(Arguments& a, CommandLine& cl) {
    int v[4] = {};
    const char* what[4] = {N_("XOFF, la primera columna (0 o mas)"), N_("YOFF, la primera linea (0 o mas)"),
                           N_("XSIZE, columnas (1 o mas)"), N_("YSIZE, lineas (1 o mas)")};
    for (int k = 0; k < 4; ++k) {
        const int least = k < 2 ? 0 : 1;
        const auto n = a.number<int>("-srcwin", what[k], [least](int x) { return x >= least; });
        if (!n) return false;
        v[k] = *n;
    }
    cl.srcwin = GridWindow{v[0], v[1], v[2], v[3]};
    return true;
}

bool take_plan(Arguments& a, CommandLine& cl) {
    cl.plan = two_counts(a, "-plan", N_("COLUMNAS LINEAS de cada ventana, mayores que 0"));
    return cl.plan.has_value();
}

bool take_extents(Arguments& a, CommandLine& cl) {
    Extents e;
    double* v[] = {&e.min_x, &e.min_y, &e.max_x, &e.max_y};
    bool ok = true;
    for (double* d : v) {
        const auto x = a.number<double>("-te", N_("XMIN YMIN XMAX YMAX"), finite);
        ok = ok && x.has_value();
        if (x) *d = *x;
    }
    if (!ok) return false;
    if (!(e.min_x < e.max_x && e.min_y < e.max_y)) return a.refuse(T_("-te: XMIN debe ser menor que XMAX e YMIN que YMAX"));
    cl.te = e;
    return true;
}

// An option whose value is a word, kept in `to`.
std::function<bool(Arguments&, CommandLine&)> word_into(const char* option, std::string CommandLine::*to) {
    return [option, to](Arguments& a, CommandLine& cl) {
        const auto w = a.word(option);
        if (w) cl.*to = *w;
        return w.has_value();
    };
}

// An option without a value, setting `to`.
std::function<bool(Arguments&, CommandLine&)> flag(bool CommandLine::*to) {
    return [to](Arguments&, CommandLine& cl) {
        cl.*to = true;
        return true;
    };
}

// An option whose value is a whole number that passes check, kept in `to`.
std::function<bool(Arguments&, CommandLine&)> whole_into(const char* option, const char* what, bool (*check)(int),
                                                         std::optional<int> CommandLine::*to) {
    return [=](Arguments& a, CommandLine& cl) {
        cl.*to = a.number<int>(option, what, check);
        return (cl.*to).has_value();
    };
}

}  // namespace

std::vector<std::string> spellings(const char* names) {
    std::vector<std::string> out;
    std::string n = names;
    for (std::size_t at = 0;;) {
        const std::size_t bar = n.find('|', at);
        out.push_back(n.substr(at, bar - at));
        if (bar == std::string::npos) return out;
        at = bar + 1;
    }
}

namespace {

// An option that asks for something else than a run: --help, --version.
std::function<bool(Arguments&, CommandLine&)> action(CommandLine::Action act) {
    return [act](Arguments&, CommandLine& cl) {
        cl.action = act;
        return true;
    };
}

// The grid: its cells, its extents' alignment, a window or a plan of them.
std::vector<OptionSpec> grid_options() {
    return {
        {nullptr, "", N_("Opciones:"), nullptr},
        {"-tr", N_("TAMANO"), N_("tamano de la celda, en unidades del dibujo (o -ts)"), take_pixel_size},
        {"-ts", N_("ANCHO ALTO"), N_("columnas y filas de la cuadricula, en lugar de -tr"), take_size},
        {"-tap", "", N_("alinea las extensiones a multiplos de -tr"), flag(&CommandLine::tap)},
        {"-srcwin", N_("XOFF YOFF XSIZE YSIZE"),
         N_("solo esta ventana de la cuadricula (columna y linea de\n"
            "su esquina, columnas y lineas), sus celdas las mismas\n"
            "que las de la cuadricula entera; pide -interval, -min\n"
            "y -max"),
         take_window},
        {"-plan", N_("COLUMNAS LINEAS"),
         N_("escribe en la salida estandar una orden por ventana\n"
            "de la cuadricula (de estas columnas y lineas, con el\n"
            "intervalo y los limites de todo el dibujo) y\n"
            "SALIDA.vrt (hoja.tif: hoja.vrt), el mosaico de sus\n"
            "imagenes; sin -fill no calcula nada, con el rellena la\n"
            "cuadricula entera una vez para SALIDA.fill, lo que\n"
            "cada ventana toma de ella"),
         take_plan},
        {"-dialogue_grid", "",
         N_("la cuadricula y los archivos del dialogo: el pixel\n"
            "derivado del giro, las extensiones sin girar, la imagen\n"
            "recortada a los datos y el intervalo sugerido"),
         flag(&CommandLine::dialogue_grid)}};
}

// The image: its format and its cells.
std::vector<OptionSpec> image_options() {
    return {
        {"-of", N_("FORMATO"), N_("formato de GDAL de la salida (GTiff, COG, PNG ...); por\n"
                               "defecto el que pide la extension de SALIDA, o ENVI"),
         word_into("-of", &CommandLine::of)},
        {"-co", N_("NOMBRE=VALOR"), N_("opcion de creacion del formato (se repite)"),
         [](Arguments& a, CommandLine& cl) {
             const auto w = a.word("-co");
             if (w && w->find('=') == std::string::npos) return a.refuse(T_("-co: se espera NOMBRE=VALOR, no '") + *w + "'");
             if (w) cl.co.push_back(*w);
             return w.has_value();
         }},
        {"-ot", N_("TIPO"), N_("Byte: las clases (por defecto); Float32 o Float64: las\n"
                           "elevaciones de las curvas"),
         [](Arguments& a, CommandLine& cl) {
             const auto w = a.word("-ot");
             if (!w) return false;
             const auto type = cell_type_named(*w);
             if (!type) return a.refuse(T_("-ot: se espera Byte, Float32 o Float64, no '") + *w + "'");
             cl.ot = *type;
             return true;
         }}};
}

// The drawing's records, the turn, the classes and the extents.
std::vector<OptionSpec> class_options() {
    return {
        {"-reg", "N|auto",
         N_("palabras entre VERTEX y el codigo 10 de X (auto: las\n"
            "del primer registro VERTEX del dibujo; por defecto)"),
         take_skip_count},
        {"-rot", N_("GRADOS"), N_("angulo de rotacion (0 por defecto)"),
         [](Arguments& a, CommandLine& cl) {
             const auto r = a.number<double>("-rot", N_("un angulo en grados"), finite);
             if (r) cl.rot = *r;
             return r.has_value();
         }},
        {"-sense", "left|right", N_("sentido de la rotacion (left por defecto)"), take_sense},
        {"-interval", "N", N_("intervalo entre clases (por defecto la equidistancia\n"
                              "de las curvas)"),
         whole_into("-interval", N_("un intervalo entero mayor que 0"), [](int v) { return v > 0; }, &CommandLine::interval)},
        {"-min", "N", N_("limites de la tabla (por defecto: el multiplo del\n"
                         "intervalo en o bajo la menor elevacion, y el primero\n"
                         "por encima de la mayor)"),
         whole_into("-min", N_("un valor entero"), [](int) { return true; }, &CommandLine::minimum)},
        {"-max", "N", nullptr, whole_into("-max", N_("un valor entero"), [](int) { return true; }, &CommandLine::maximum)},
        {"-te", "XMIN YMIN XMAX YMAX",
         N_("extensiones de la cuadricula, tal cual (por defecto la\n"
            "hoja entera, la cabecera o la capa, girada si se gira)"),
         take_extents}};
}

// The terrain surface and the cells without an elevation.
std::vector<OptionSpec> fill_options() {
    return {
        {"-fill", "",
         N_("rellena las celdas entre las curvas: cada una toma una\n"
            "elevacion entre las de las dos curvas mas cercanas, y\n"
            "con -ot Byte la clase de la banda en que cae"),
         flag(&CommandLine::fill)},
        {"-fill_margin", "N",
         N_("con -srcwin, las celdas que se rellenan alrededor de la\n"
            "ventana, en cada sentido: sus celdas son las de la\n"
            "cuadricula entera, o se detiene; sin el, 256 que se\n"
            "doblan hasta que bastan"),
         [](Arguments& a, CommandLine& cl) {
             const auto m = a.number<int>("-fill_margin", N_("un numero de celdas (0 o mas)"), [](int v) { return v >= 0; });
             if (!m) return false;
             cl.fill_margin = *m;
             cl.fill_margin_given = true;
             return true;
         }},
        {"-fill_table", N_("FICHERO"),
         N_("con -srcwin, lo que la ventana toma del relleno de la\n"
            "cuadricula entera (las bandas a lo largo de las curvas,\n"
            "las zonas de un solo nivel) y su margen: lo escribe\n"
            "-plan con -fill"),
         word_into("-fill_table", &CommandLine::fill_table)},
        {"-a_nodata", N_("VALOR"), N_("valor de las celdas sin elevacion con -ot Float32 o\n"
                                  "Float64 (-9999 por defecto)"),
         [](Arguments& a, CommandLine& cl) {
             cl.nodata = a.number<double>("-a_nodata", N_("un numero"), [](double) { return true; });
             return cl.nodata.has_value();
         }}};
}

// Sources read through GDAL/OGR.
std::vector<OptionSpec> source_options() {
    return {
        {nullptr, "",
         N_("Fuentes que no son DXF con POLYLINE y VERTEX (un DXF moderno, GeoPackage,\n"
            "Shapefile, GeoJSON ...), leidas con GDAL/OGR:"),
         nullptr},
        {"-ogr", "", N_("lee con OGR aunque sea un DXF antiguo"), flag(&CommandLine::ogr)},
        {"-l", N_("CAPA"), N_("la capa (por defecto la primera)"), word_into("-l", &CommandLine::layer)},
        {"-where", N_("EXPRESION"), N_("solo las entidades que la cumplen"), word_into("-where", &CommandLine::where)},
        {"-a", N_("CAMPO"), N_("la elevacion de un campo numerico"), word_into("-a", &CommandLine::field)},
        {"-3d", "",
         N_("la elevacion de la Z de los vertices (por defecto\n"
            "cuando las geometrias la tienen)"),
         flag(&CommandLine::z)},
        {"-a_srs", "SRS",
         N_("sistema de coordenadas para la cabecera (EPSG:25830 ...),\n"
            "donde la fuente no da el suyo"),
         word_into("-a_srs", &CommandLine::a_srs)}};
}

// How the run speaks and what it may replace.
std::vector<OptionSpec> run_options() {
    return {
        {"-q|-quiet|--quiet", "", N_("sin resumen ni progreso"), flag(&CommandLine::quiet)},
        {"-progress", "", N_("el progreso en la salida de errores aunque no sea un\n"
                             "terminal (0...10...20 ... 100 - done.)"),
         flag(&CommandLine::progress)},
        {"--overwrite|-overwrite", "", N_("reemplaza las salidas que ya existan"), flag(&CommandLine::overwrite)},
        {"--help|-h", "", N_("esta ayuda"), action(CommandLine::Action::help)},
        {"--version", "", N_("la version"), action(CommandLine::Action::version)}};
}

}  // namespace

const std::vector<OptionSpec>& option_table() {
    static const std::vector<OptionSpec> table = [] {
        std::vector<OptionSpec> all;
        for (std::vector<OptionSpec> part :
             {grid_options(), image_options(), fill_options(), class_options(), source_options(), run_options()})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }();
    return table;
}

namespace {

// The columns a text takes on a terminal: its characters, not its bytes
// (the Spanish catalog's are UTF-8).
std::size_t columns(const std::string& s) {
    std::size_t n = 0;
    for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::string usage_text() {
    std::string text = T_("Uso: zorvel_raster [opciones] DIBUJO.dxf... SALIDA\n"
                          "       zorvel_raster                  (sin argumentos: el dialogo de preguntas)\n"
                          "\n"
                          "Convierte las curvas de nivel de un dibujo DXF (entidades POLYLINE y VERTEX)\n"
                          "en una imagen clasificada: SALIDA_zorvl.raw (un byte por celda: la clase, o\n"
                          "255 sin curva), SALIDA_zorvl.txt (descriptor), SALIDA_zorvl_tab.txt (clase y\n"
                          "elevacion) y SALIDA_zorvl.hdr (cabecera ENVI que GDAL y QGIS abren, con la\n"
                          "posicion en el mapa). Varios dibujos (hojas contiguas) dan una sola\n"
                          "cuadricula sobre la union de sus extensiones.\n"
                          "\n");
    const std::vector<OptionSpec>& table = option_table();
    for (std::size_t k = 0; k < table.size(); ++k) {
        const OptionSpec& o = table[k];
        if (o.names == nullptr) {
            text += std::string(T_(o.help)) + "\n";
            continue;
        }
        if (o.help == nullptr) continue;  // on the row before
        // the option as it is written, with its values, and those shown on its row
        std::string shown = spellings(o.names).front() + (*o.values != '\0' ? std::string(" ") + T_(o.values) : "");
        for (std::size_t n = k + 1; n < table.size() && table[n].names != nullptr && table[n].help == nullptr; ++n)
            shown += ", " + spellings(table[n].names).front() + (*table[n].values != '\0' ? std::string(" ") + T_(table[n].values) : "");
        const std::string indent(2 + kOptionColumn, ' ');
        text += "  " + shown;
        text += columns(shown) < kOptionColumn ? std::string(kOptionColumn - columns(shown), ' ') : "\n" + indent;
        for (const char* c = T_(o.help); *c != '\0'; ++c) text += *c == '\n' ? "\n" + indent : std::string(1, *c);
        text += "\n";
    }
    text += T_("\n"
               "Estado de salida: 0 al terminar, 1 si la ejecucion se detiene, 2 si la linea\n"
               "de ordenes no sirve.\n");
    return text;
}

}  // namespace zorvel

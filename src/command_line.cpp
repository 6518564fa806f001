#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "envi_header.h"
#include "output.h"
#include "treatment.h"

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

#ifndef ZORVEL_VERSION
#define ZORVEL_VERSION "0"
#endif

namespace zorvel {

namespace {

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

constexpr const char* kExtentsHint = ": indique -te XMIN YMIN XMAX YMAX";

bool is_terminal(std::FILE* f) {
#ifdef _WIN32
    return _isatty(_fileno(f)) != 0;
#else
    return isatty(fileno(f)) != 0;
#endif
}

// The arguments one after the other, each option's values taken with it.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}
    bool done() const { return at_ >= args_.size(); }
    const std::string& next() { return args_[at_++]; }
    bool peek_number() const { return !done() && whole_double(args_[at_]).has_value(); }
    bool peek_is(const char* word) const { return !done() && args_[at_] == word; }
    // The value of `option`, a number that passes `check` (described by `what`).
    template <typename T>
    std::optional<T> number(const std::string& option, const char* what, const std::function<bool(T)>& check) {
        if (done()) return fail(option + ": falta " + what);
        const std::string& word = next();
        std::optional<T> v;
        if constexpr (std::is_same_v<T, int>)
            v = whole_int(word);
        else
            v = whole_double(word);
        if (!v || !check(*v)) return fail(option + ": se espera " + what + ", no '" + word + "'");
        return v;
    }
    std::nullopt_t fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return std::nullopt;
    }

private:
    const std::vector<std::string>& args_;
    std::string& error_;
    std::size_t at_ = 0;
};

// -tr's value: one size, or gdal_rasterize's two when they are the same
std::optional<double> pixel_option(Arguments& a) {
    const auto positive = [](double v) { return v > 0.0 && std::isfinite(v); };
    const auto tr = a.number<double>("-tr", "un tamano de pixel mayor que 0", positive);
    if (tr && a.peek_number()) {
        const auto second = a.number<double>("-tr", "un tamano de pixel mayor que 0", positive);
        if (second && *second != *tr) return a.fail("-tr: los pixeles son cuadrados: un solo tamano");
    }
    return tr;
}

// The settings of the command line: all known before the run, the skip
// count found in the drawing and the table limits from the grid when not given.
class CommandLineSettings final : public RunSettings {
public:
    CommandLineSettings(Console& con, const CommandLine& cl, Progress* progress)
        : con_(con), cl_(cl), progress_(progress) {}

    std::optional<int> skip_count(std::FILE* drawing) override {
        if (cl_.reg || source_ != nullptr) return cl_.reg.value_or(0);
        DrawingReader rd(drawing);
        const int found = first_fitting_skip_count(rd);
        std::rewind(drawing);
        if (found < 0) {
            stop_line(con_, "el dibujo " + cl_.drawing +
                                " no tiene registros VERTEX con el codigo 10 de X: indique -reg");
            return std::nullopt;
        }
        return found;
    }
    std::optional<RotationChoice> rotation() override { return RotationChoice{cl_.rot, cl_.sense}; }
    std::optional<PassOne> first_pass(Console& con, DrawingScan& d, const PassOneOptions& o) override {
        if (source_ == nullptr) return pass_one(con, d, o);
        return pass_one_of(con, d, o, [&](ContourSink& sink) { return source_->read(sink); });
    }
    // Reads through OGR: the source's extents unless -te gives them.
    void use(OgrSource* source) { source_ = source; }
    std::optional<ClassChoice> classes(int suggested, const DrawnRangeOf& drawn_range) override;
    PassSetting pass_setting() const override {
        const Extents* fixed = cl_.te ? &*cl_.te : source_ != nullptr ? &source_->extents() : nullptr;
        return PassSetting{fixed, fixed == nullptr, kExtentsHint};
    }
    Progress* progress() override { return progress_; }

private:
    Console& con_;
    const CommandLine& cl_;
    Progress* progress_;
    OgrSource* source_ = nullptr;
};

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::optional<ClassChoice> CommandLineSettings::classes(int suggested, const DrawnRangeOf& drawn_range) {
    const int intervalo = cl_.interval ? *cl_.interval : suggested;
    if (intervalo == 0) {
        stop_line(con_, "no se puede sugerir un intervalo (la cuadricula tiene menos de diez elevaciones "
                        "distintas): indique -interval");
        return std::nullopt;
    }
    // the limits not given come from the grid's elevations
    const DrawnRange drawn = (!cl_.minimum || !cl_.maximum) ? drawn_range() : DrawnRange{true, 0, 0};
    if (!drawn.any) {
        stop_line(con_, "ninguna celda de la cuadricula tiene elevacion: indique -min y -max");
        return std::nullopt;
    }
    // the limits a multiple of the interval at or below the lowest elevation,
    // and strictly above the highest, so that the top contour has a class too
    const std::int64_t minimo = cl_.minimum ? *cl_.minimum : floor_div(drawn.lowest, intervalo) * intervalo;
    const std::int64_t maximo = cl_.maximum ? *cl_.maximum : (floor_div(drawn.highest, intervalo) + 1) * intervalo;
    if (minimo < INT32_MIN || maximo > INT32_MAX || maximo - minimo > INT32_MAX || maximo - minimo < INT32_MIN) {
        stop_line(con_, "los limites de la tabla salen del rango de los enteros: indique -min y -max");
        return std::nullopt;
    }
    const std::int64_t num_segment = (maximo - minimo) / intervalo;
    if (num_segment > kMaxSegments) {
        stop_line(con_, "el numero total de intervalos (" + std::to_string(num_segment + 1) +
                            ") es demasiado grande: indique otro -interval, -min o -max");
        return std::nullopt;
    }
    const int lo = static_cast<int>(minimo), hi = static_cast<int>(maximo);
    return ClassChoice{lo, hi, class_values(lo, hi, intervalo)};
}

// Progress as GDAL's tools show it: 0...10...20 ... 100 - done.
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::FILE* err) : err_(err) {}
    void at(double fraction) override {
        const int ticks = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * kTicks));
        for (; shown_ < ticks;) {
            ++shown_;
            if (shown_ % 4 == 0)
                std::fprintf(err_, "%d", shown_ / 4 * 10);
            else
                std::fputc('.', err_);
        }
        if (shown_ == kTicks && !done_) {
            std::fputs(" - done.\n", err_);
            done_ = true;
        }
        std::fflush(err_);
    }
    void start() {
        std::fputc('0', err_);
        std::fflush(err_);
    }

private:
    static constexpr int kTicks = 40;  // a dot every 2.5%, a number every 10%
    std::FILE* err_;
    int shown_ = 0;
    bool done_ = false;
};

// A drawing the word scanner reads: a .dxf whose vertex records the skip
// count finds (given, or a record with a code 10 after its VERTEX).
bool old_style_dxf(const CommandLine& cl, std::FILE* f) {
    if (f == nullptr) return false;
    const std::string& p = cl.drawing;
    std::string ext = p.size() >= 4 ? p.substr(p.size() - 4) : "";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dxf") return false;
    if (cl.reg) return true;
    DrawingReader rd(f);
    const bool found = first_fitting_skip_count(rd) >= 0;
    std::rewind(f);
    return found;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

void summary(std::FILE* out, const CommandLine& cl, const RunState& rs, const std::vector<std::string>& paths) {
    std::fprintf(out, "zorvel_raster: %s -> %s\n", cl.drawing.c_str(), paths[0].c_str());
    std::fprintf(out, "  cuadricula: %d lineas x %d columnas, pixel %.17g (girado %.17g grados a la %s)\n", rs.nb_lig,
                 rs.nb_col, rs.pix_size, rs.turn.angle, rs.turn.sentido == 0 ? "izquierda" : "derecha");
    if (rs.image.nb_lig3 == 0)
        std::fputs("  imagen: ninguna celda clasificada, imagen vacia\n", out);
    else
        std::fprintf(out, "  imagen: %d lineas x %d columnas desde la linea %d, columna %d de la cuadricula\n",
                     rs.image.nb_lig3, rs.image.nb_col3, rs.image.min_i, rs.image.min_j);
    const ClassTable& ct = rs.classes;
    if (ct.num_segment >= 1)
        std::fprintf(out, "  clases: %lld, de %d a %d cada %d (%d en la tabla, sin celdas)\n", ct.num_segment,
                     ct.tabord[1], ct.tabord[static_cast<std::size_t>(ct.num_segment)], ct.intervalo,
                     ct.tabord.back());
    else
        std::fputs("  clases: ninguna\n", out);
    std::fputs("  archivos:", out);
    for (const std::string& p : paths) std::fprintf(out, " %s", p.c_str());
    std::fputs("\n", out);
}

}  // namespace

std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    Arguments a(args, error);
    std::vector<std::string> positional;
    const auto whole = [](int) { return true; };
    while (!a.done() && error.empty()) {
        const std::string& arg = a.next();
        if (arg == "--help" || arg == "-h") {
            cl.action = CommandLine::Action::help;
            return cl;
        }
        if (arg == "--version") {
            cl.action = CommandLine::Action::version;
            return cl;
        }
        if (arg == "-tr") {
            if (const auto tr = pixel_option(a)) cl.tr = *tr;
        } else if (arg == "-reg") {
            if (a.peek_is("auto")) {
                a.next();
                cl.reg.reset();
            } else {
                cl.reg = a.number<int>("-reg", "un numero de registros (0 o mas) o auto", [](int v) { return v >= 0; });
            }
        } else if (arg == "-rot") {
            if (const auto r = a.number<double>("-rot", "un angulo en grados", [](double v) { return std::isfinite(v); }))
                cl.rot = *r;
        } else if (arg == "-sense") {
            static const std::map<std::string, int> senses = {{"left", 0}, {"right", 1}, {"izquierdo", 0},
                                                              {"derecho", 1}, {"0", 0}, {"1", 1}};
            const std::string w = a.done() ? "" : a.next();
            const auto s = senses.find(w);
            if (s == senses.end())
                a.fail(w.empty() ? std::string("-sense: falta left o right") : "-sense: se espera left o right, no '" + w + "'");
            else
                cl.sense = s->second;
        } else if (arg == "-interval") {
            cl.interval = a.number<int>("-interval", "un intervalo entero mayor que 0", [](int v) { return v > 0; });
        } else if (arg == "-min") {
            cl.minimum = a.number<int>("-min", "un valor entero", whole);
        } else if (arg == "-max") {
            cl.maximum = a.number<int>("-max", "un valor entero", whole);
        } else if (arg == "-te") {
            Extents e;
            double* v[] = {&e.min_x, &e.min_y, &e.max_x, &e.max_y};
            bool ok = true;
            for (double* d : v) {
                const auto x = a.number<double>("-te", "XMIN YMIN XMAX YMAX", [](double t) { return std::isfinite(t); });
                ok = ok && x.has_value();
                if (x) *d = *x;
            }
            if (ok && !(e.min_x < e.max_x && e.min_y < e.max_y)) a.fail("-te: XMIN debe ser menor que XMAX e YMIN que YMAX");
            if (ok) cl.te = e;
        } else if (arg == "-ogr") {
            cl.ogr = true;
        } else if (arg == "-l" || arg == "-where" || arg == "-a" || arg == "-a_srs") {
            if (a.done()) {
                a.fail(arg + ": falta su valor");
            } else {
                std::string& to = arg == "-l" ? cl.layer : arg == "-where" ? cl.where : arg == "-a" ? cl.field : cl.a_srs;
                to = a.next();
            }
        } else if (arg == "-3d") {
            cl.z = true;
        } else if (arg == "-q" || arg == "-quiet" || arg == "--quiet") {
            cl.quiet = true;
        } else if (arg == "--overwrite" || arg == "-overwrite") {
            cl.overwrite = true;
        } else if (arg.size() > 1 && arg[0] == '-' && !whole_double(arg)) {
            a.fail("opcion desconocida: " + arg + " (--help las muestra)");
        } else {
            positional.push_back(arg);
        }
    }
    if (!error.empty()) return std::nullopt;
    if (positional.size() < 2) return a.fail("faltan el dibujo y la salida: zorvel_raster [opciones] DIBUJO.dxf SALIDA");
    if (positional.size() > 2) return a.fail("argumento de mas: " + positional[2]);
    if (cl.tr == 0.0) return a.fail("-tr: falta el tamano del pixel, que es obligatorio");
    if (cl.minimum && cl.maximum && static_cast<std::int64_t>(*cl.maximum) - *cl.minimum > INT32_MAX)
        return a.fail("-min, -max: su diferencia sale del rango de los enteros");
    if (!cl.field.empty() && cl.z) return a.fail("-a y -3d: la elevacion sale de un campo o de la Z, no de ambos");
    const bool ogr_options = cl.ogr || !cl.layer.empty() || !cl.where.empty() || !cl.field.empty() || cl.z;
    if (ogr_options && !ogr_available())
        return a.fail("-ogr, -l, -where, -a, -3d: " + ogr_unavailable_why() + ": solo lee dibujos DXF con POLYLINE y VERTEX");
    cl.drawing = positional[0];
    cl.output = positional[1];
    return cl;
}

std::string usage_text() {
    return R"(Uso: zorvel_raster [opciones] DIBUJO.dxf SALIDA
       zorvel_raster                  (sin argumentos: el dialogo de preguntas)

Convierte las curvas de nivel de un dibujo DXF (entidades POLYLINE y VERTEX)
en una imagen clasificada: SALIDA_zorvl.raw (un byte por celda: la clase, o
255 sin curva), SALIDA_zorvl.txt (descriptor), SALIDA_zorvl_tab.txt (clase y
elevacion) y SALIDA_zorvl.hdr (cabecera ENVI que GDAL y QGIS abren, con la
posicion en el mapa).

Opciones:
  -tr TAMANO            tamano del pixel, en unidades del dibujo (obligatorio)
  -reg N|auto           palabras entre VERTEX y el codigo 10 de X (auto: las
                        del primer registro VERTEX del dibujo; por defecto)
  -rot GRADOS           angulo de rotacion (0 por defecto)
  -sense left|right     sentido de la rotacion (left por defecto)
  -interval N           intervalo entre clases (por defecto el sugerido)
  -min N, -max N        limites de la tabla (por defecto: el multiplo del
                        intervalo en o bajo la menor elevacion, y el primero
                        por encima de la mayor)
  -te XMIN YMIN XMAX YMAX
                        extensiones de la cuadricula (por defecto las de la
                        cabecera, $EXTMIN y $EXTMAX)
Fuentes que no son DXF con POLYLINE y VERTEX (un DXF moderno, GeoPackage,
Shapefile, GeoJSON ...), leidas con GDAL/OGR:
  -ogr                  lee con OGR aunque sea un DXF antiguo
  -l CAPA               la capa (por defecto la primera)
  -where EXPRESION      solo las entidades que la cumplen
  -a CAMPO              la elevacion de un campo numerico
  -3d                   la elevacion de la Z de los vertices (por defecto
                        cuando las geometrias la tienen)
  -a_srs SRS            sistema de coordenadas para la cabecera (EPSG:25830 ...),
                        donde la fuente no da el suyo
  -q                    sin resumen ni progreso
  --overwrite           reemplaza las salidas que ya existan
  --help                esta ayuda
  --version             la version

Estado de salida: 0 al terminar, 1 si la ejecucion se detiene, 2 si la linea
de ordenes no sirve.
)";
}

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
    if (cl->action == CommandLine::Action::help) {
        std::fputs(usage_text().c_str(), con.out);
        return 0;
    }
    if (cl->action == CommandLine::Action::version) {
        std::fprintf(con.out, "zorvel_raster %s\n", ZORVEL_VERSION);
        return 0;
    }
    const std::vector<std::string> paths = output_paths(cl->output);
    if (!cl->overwrite)
        for (const std::string& p : paths)
            if (exists(p)) {
                stop_line(con, "ya existe " + p + ": use --overwrite para reemplazarlo");
                return kUsageError;
            }

    std::string wkt;
    if (!cl->a_srs.empty()) {
        std::string why;
        wkt = srs_wkt(cl->a_srs, why);
        if (wkt.empty()) {
            stop_line(con, "-a_srs: " + why);
            return kUsageError;
        }
    }
    RunState rs;
    rs.files.nomim1 = cl->drawing;
    rs.files.f1.reset(std::fopen(cl->drawing.c_str(), "r"));
    if (!rs.files.f1 && (!ogr_available() || errno == ENOENT)) {
        stop_line(con, "no se puede abrir el dibujo " + cl->drawing + ": " + std::strerror(errno));
        return 1;
    }
    // old-style DXF on the program's own reader; anything else through OGR
    std::unique_ptr<OgrSource> source;
    if (cl->ogr || !old_style_dxf(*cl, rs.files.f1.get())) {
        source = OgrSource::open(con, cl->drawing, OgrOptions{cl->layer, cl->where, cl->field, cl->z});
        if (!source) return 1;
        rs.files.f1.reset();
        if (wkt.empty()) wkt = source->wkt();
    }
    rs.files.nomim2 = paths[0];
    rs.files.nomdescr2 = paths[1];
    rs.files.nomdescr3 = paths[2];
    FileHandle header;
    if (!rs.files.pending.create(con, paths[0], "wb", rs.files.f2) ||
        !rs.files.pending.create(con, paths[1], "w", rs.files.f2d) ||
        !rs.files.pending.create(con, paths[2], "w", rs.files.f3d) || !rs.files.pending.create(con, paths[3], "w", header))
        return 1;
    rs.pix_size = rs.size_pix = cl->tr;

    // the dialogue's own lines are not this mode's: they go nowhere
    FileHandle nowhere(std::fopen(kNullDevice, "w"));
    if (!nowhere) return 1;
    Console core{con.in, nowhere.get(), con.err, false};
    TerminalProgress bar(con.err);
    const bool show = !cl->quiet && is_terminal(con.err);
    if (show) bar.start();
    CommandLineSettings settings(core, *cl, show ? &bar : nullptr);
    settings.use(source.get());
    if (!treatment(core, rs, settings)) return 1;
    const DescriptorValues dv{rs.val_minimo, rs.val_maximo, rs.size_pix, rs.ext};
    auto image = extraction(core, rs.tab, rs.nb_lig, rs.nb_col, dv, rs.files.f2d, rs.files.nomdescr2);
    if (!image) return 1;
    rs.image = std::move(*image);
    if (!save(core, rs.image, rs.files.f2, rs.files.nomim2)) return 1;
    const ImagePlace place{rs.image.nb_lig3, rs.image.nb_col3, rs.image.min_i, rs.image.min_j, rs.nb_lig,
                           rs.nb_col, rs.pix_size, rs.ext.min_x, rs.ext.min_y, rs.turn};
    const std::string name = std::filesystem::path(cl->drawing).filename().string();
    if (!write_envi_header(core, header, paths[3], place, rs.classes, name, wkt)) return 1;
    if (!rs.files.pending.commit(core)) return 1;
    if (!cl->quiet) summary(con.out, *cl, rs, paths);
    return std::fflush(con.out) == 0 ? 0 : 1;
}

}  // namespace zorvel

// The command line run in-process: the option table, usage errors, the
// defaults it takes from the drawing, its summary and its outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <cctype>
#include <csignal>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "cli/command_line.h"
#include "output/output.h"
#include "reading/dxf_scanner.h"
#include "reading/ogr_source.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int status;
    std::string out, err;
};

Ran run(const std::vector<std::string>& args) {
    test::ScriptedConsole sc("");
    const int status = run_command_line(args, sc.con);
    return Ran{status, sc.output(), sc.errors()};
}

TEST(CommandLine, UsageErrorsAreOneLineExitTwoAndTouchNothing) {
    struct Case {
        std::vector<std::string> args;  // @ stands for the folder
        const char* line;
    };
    const Case cases[] = {
        {{"-tr", "5", "-rot", "inf", "@c.dxf", "@o"}, "-rot: se espera un ángulo en grados, no 'inf'"},
        {{"-tr", "5", "-te", "10", "0", "0", "50", "@c.dxf", "@o"}, "-te: XMIN debe ser menor que XMAX e YMIN que YMAX"},
        {{"-tr", "5", "-te", "0", "0", "100", "@c.dxf", "@o"}, "-te: se espera XMIN YMIN XMAX YMAX, no '@c.dxf'"},
        {{"-tr", "5", "-dialogue_grid", "@c.dxf", "@c.dxf", "@o"},
         "-dialogue_grid: el diálogo lee un solo dibujo, y se dan 2"},
        {{"-tr", "5", "-a", "cota", "-3d", "@c.dxf", "@o"}, "-a y -3d: la elevación sale de un campo o de la Z, no de ambos"},
        {{"-tr", "5", "-interval", "0", "@c.dxf", "@o"}, "-interval: se espera un intervalo entero mayor que 0, no '0'"},
        {{"-tr", "5", "-min", "-2147483648", "-max", "2147483647", "@c.dxf", "@o"},
         "-min, -max: su diferencia sale del rango de los enteros"},
        {{"@c.dxf", "@o"}, "-tr: falta el tamaño del píxel, que es obligatorio"},
        {{"-tr", "5", "@c.dxf"}, "faltan el dibujo y la salida: zorvel_raster [opciones] DIBUJO.dxf... SALIDA"},
        {{"-tr"}, "-tr: falta un tamaño de píxel mayor que 0"},
        {{"-tr", "abc", "@c.dxf", "@o"}, "-tr: se espera un tamaño de píxel mayor que 0, no 'abc'"},
        {{"-tr", "0", "@c.dxf", "@o"}, "-tr: se espera un tamaño de píxel mayor que 0, no '0'"},
        {{"-tr", "5", "6", "@c.dxf", "@o"}, "-tr: los píxeles son cuadrados: un solo tamaño"},
        {{"-tr", "5", "-sense", "up", "@c.dxf", "@o"}, "-sense: se espera left o right, no 'up'"},
        {{"-tr", "5", "-reg", "-1", "@c.dxf", "@o"}, "-reg: se espera un número de registros (0 o más) o auto, no '-1'"},
        {{"-tr", "5", "-x", "@c.dxf", "@o"}, "opción desconocida: -x (--help las muestra)"},
        {{"-tr", "5", "-l"}, "-l: falta su valor"},
        {{"-tr", "5", "-ot", "Int16", "@c.dxf", "@o"}, "-ot: se espera Byte, Float32 o Float64, no 'Int16'"},
        {{"-tr", "5", "-a_nodata", "0", "@c.dxf", "@o"}, "-a_nodata: las clases (-ot Byte) dejan 255 en las celdas sin curva"},
        {{"-tr", "1", "-ts", "20", "10", "@c.dxf", "@o"}, "-tr y -ts: el tamaño de la celda o el número de celdas, no ambos"},
        {{"-tr", "5", "-co", "TILED", "@c.dxf", "@o"}, "-co: se espera NOMBRE=VALOR, no 'TILED'"},
        {{"-tr", "7", "-tap", "-rot", "30", "@c.dxf", "@o"}, "-tap y -rot: una cuadrícula girada no se alinea ni se cuenta por celdas de la hoja"},
        {{"-tr", "5", "-min", "500", "-max", "300", "@c.dxf", "@o"}, "-min, -max: -min debe ser menor que -max, o no queda ninguna clase"},
        {{"-tr", "5", "-ot", "Float32", "-a_nodata", "1e300", "@c.dxf", "@o"}, "-a_nodata: 1e+300 no cabe en celdas Float32"},
        {{"-tr", "5", "-plan", "2", "2", "@c.dxf", "@o\nx"},
         "-plan: las órdenes del plan van una por línea, y un nombre lleva un salto de línea"},
        {{"-tr", "5", "@c.dxf", "@"}, "@ es una carpeta: SALIDA es el nombre de las salidas, como @/mapa"},
    };
    test::TempDir tmp;
    std::ofstream(tmp.root() + "c.dxf") << test::vertical_contours({{12, 100}, {32, 110}});
    for (const Case& c : cases) {
        std::vector<std::string> args;
        // "@" alone is the folder itself
        for (const std::string& a : c.args) args.push_back(a == "@" ? tmp.path.string() : a[0] == '@' ? tmp.root() + a.substr(1) : a);
        std::string line = c.line;
        for (std::size_t at; (at = line.find("@ ")) != std::string::npos;) line.replace(at, 1, tmp.path.string());
        for (std::size_t at; (at = line.find("@/")) != std::string::npos;) line.replace(at, 1, tmp.path.string());
        for (std::size_t at; (at = line.find("@")) != std::string::npos;) line.replace(at, 1, tmp.root());
        SCOPED_TRACE(line);
        const Ran r = run(args);
        EXPECT_EQ(r.status, kUsageError);
        EXPECT_EQ(r.err, "zorvel_raster: " + line + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 1);
    }
}

TEST(CommandLine, OptionsAfterTheNamesAndEverySpellingOfTheTableAreTaken) {
    std::string error;
    const auto cl = parse_command_line({"in.gpkg", "-quiet", "out", "-tr", "2", "2", "-reg", "3", "-reg", "auto",
                                        "-sense", "derecho", "-overwrite", "-te", "0", "1", "2", "3", "-min", "-5",
                                        "-max", "7"},
                                       error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->drawing, "in.gpkg");
    EXPECT_EQ(cl->output, "out");
    EXPECT_TRUE(cl->quiet && cl->overwrite && !cl->reg && cl->sense == 1 && cl->tr == 2.0);
    EXPECT_EQ(*cl->minimum + *cl->maximum, 2);
    EXPECT_EQ(cl->te->max_y, 3.0);
    // the options of the GDAL reader, where it is there
    const auto ogr = parse_command_line({"-tr", "1", "-l", "c", "-where", "z>0", "-a", "h", "-a_srs", "EPSG:25830", "i", "o"},
                                        error);
    if (ogr_available()) {
        ASSERT_TRUE(ogr) << error;
        EXPECT_EQ(ogr->layer + "|" + ogr->where + "|" + ogr->field + "|" + ogr->a_srs, "c|z>0|h|EPSG:25830");
    } else {
        EXPECT_FALSE(ogr);
    }
    error.clear();
    // a lone "-" and a negative number are names, not options
    const auto names = parse_command_line({"-tr", "1", "-", "-5"}, error);
    ASSERT_TRUE(names) << error;
    EXPECT_EQ(names->drawing + " " + names->output, "- -5");
    for (const auto& [word, sense] : {std::pair{"left", 0}, {"right", 1}, {"izquierdo", 0}, {"derecho", 1}, {"0", 0}, {"1", 1}})
        EXPECT_EQ(parse_command_line({"-tr", "1", "-sense", word, "i", "o"}, error)->sense, sense) << word;
    // --help answers whatever follows, a bad option included
    EXPECT_EQ(parse_command_line({"-tr", "1", "-h", "-x"}, error)->action, CommandLine::Action::help);
}

// A window of the grid holds exactly the whole run's cells there, the
// corner cleanup at its border included, at every angle and sense; a
// window of the fill too, or, with a margin given, it stops and says so.
TEST(CommandLine, WindowsHoldExactlyTheWholeGridsCells) {
    test::TempDir tmp;
    const std::string in = tmp.root() + "w.dxf", whole = tmp.root() + "whole", part = tmp.root() + "part";
    std::mt19937 rng(17);
    const auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    const auto open_before = descriptors();
    int filled = 0, refused = 0;
    for (int k = 0; k < 200; ++k) {
        // polylines over extents 0..200 by 0..150, some vertices far outside,
        // and staircases, whose right-angle turns the corner cleanup takes out
        std::vector<test::DrawnLine> lines;
        for (int p = 1 + below(10); p > 0; --p) {
            test::DrawnLine& l = lines.emplace_back(test::DrawnLine{100.0 + 10 * below(10), {}});
            const bool stairs = below(2) == 0;
            int x = below(220) - 10, y = below(170) - 10;
            for (int v = 2 + below(16); v > 0; --v) {
                if (!stairs) {
                    x = below(12) == 0 ? below(4000) - 2000 : below(220) - 10;
                    y = below(170) - 10;
                } else if (v % 2 == 0) {
                    x += below(40) - 20;
                } else {
                    y += below(40) - 20;
                }
                l.at.push_back({static_cast<double>(x), static_cast<double>(y)});
            }
        }
        std::ofstream(in) << test::dxf_of({0, 0, 200, 150}, lines);
        const char* angles[] = {"0", "17.5", "30", "45", "90", "133"};
        std::vector<std::string> settings = {"-q", "--overwrite", "-tr", std::to_string(2 + below(8)),
                                             "-rot", angles[below(2) ? 0 : below(6)], "-sense", below(2) ? "left" : "right",
                                             "-interval", "10", "-min", "100", "-max", "200", "-of", "ENVI"};
        const bool fill = k % 4 == 3;
        const std::size_t cell = fill ? sizeof(double) : 1;  // the raw image's bytes a cell
        if (fill) settings.insert(settings.end(), {"-fill", "-ot", "Float64"});
        auto args = settings;
        args.insert(args.end(), {in, whole});
        ASSERT_EQ(run(args).status, 0);
        const std::string header = test::slurp(whole + "_zorvl.hdr");
        const auto [cols, rows] = test::envi_size(header);
        // windows of one cell to the whole grid, often on its border
        int x = below(cols), y = below(rows);
        int w = 1 + below(cols - x), h = 1 + below(rows - y);
        if (k % 5 == 0) x = 0, y = 0, w = cols, h = rows;
        if (k % 5 == 1) x = cols - w;
        if (k % 5 == 2) y = rows - h;
        SCOPED_TRACE(testing::Message() << k << ": " << x << " " << y << " " << w << " " << h << " of " << cols << " x "
                                        << rows);
        args = settings;
        args.insert(args.end(), {"-srcwin", std::to_string(x), std::to_string(y), std::to_string(w), std::to_string(h)});
        const bool fixed = fill && below(2) == 0;  // or one that grows until it holds
        if (fixed) args.insert(args.end(), {"-fill_margin", std::to_string(below(40))});
        args.insert(args.end(), {in, part});
        const Ran r = run(args);
        if (fixed && r.status == 1) {
            EXPECT_EQ(r.err.rfind("zorvel_raster: -srcwin y -fill: ", 0), 0u) << r.err;
            ++refused;
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        filled += fill;
        const int n = static_cast<int>(cell);
        const std::string cells = test::slurp(part + "_zorvl.raw");
        ASSERT_TRUE(cells == test::window_of(test::slurp(whole + "_zorvl.raw"), cols * n, x * n, y, w * n, h));
        if (fill) {  // the cells it says are left without a class are its own, not its margin's
            long long outside = 0;
            for (std::size_t c = 0; c < cells.size(); c += sizeof(double)) {
                double z;
                std::memcpy(&z, cells.data() + c, sizeof z);
                const double band = std::floor((z - 100) / 10);
                outside += z != kElevationNodata && (band < 0 || band >= 10);
            }
            std::smatch said;
            EXPECT_EQ(std::regex_search(r.err, said, std::regex("([0-9]+) celdas con elevaci")) ? std::stoll(said[1]) : 0, outside);
        }
        if (k % 5 == 0) {
            EXPECT_EQ(test::slurp(part + "_zorvl.hdr"), header);
        }
    }
    EXPECT_GT(filled, refused / 4) << filled << " windows of the fill, " << refused << " refused";
    // a band 1190 cells wide: the middle's cells depend on both its
    // contours; a margin given too narrow stops, one that grows holds them
    // (its part then wider than the grid drawn for the window, whose cells
    // are taken out of it, the first row the window's own)
    std::ofstream(in) << test::dxf_of({0, 0, 3000, 30}, {{100, {{1000, -1}, {1000, 31}}}, {200, {{2190, -1}, {2190, 31}}}});
    const std::vector<std::string> band = {"-q", "--overwrite", "-of", "ENVI", "-tr", "1", "-interval", "10", "-min", "100",
                                           "-max", "200", "-fill", "-ot", "Float64"};
    auto args = band;
    args.insert(args.end(), {in, whole});
    setenv("ZORVEL_RASTER_STAGES", "1", 1);  // and each stage's time, as the benchmarks read it
    const Ran timed = run(args);
    unsetenv("ZORVEL_RASTER_STAGES");
    ASSERT_EQ(timed.status, 0);
    EXPECT_TRUE(std::regex_search(timed.err, std::regex("zorvel_raster: etapas: pasada-1 [0-9.]+ s, pasada-2 [0-9.]+ s, "
                                                       "relleno [0-9.]+ s, clases [0-9.]+ s, escritura [0-9.]+ s\n")))
        << timed.err;
    for (const char* margin : {"300", ""}) {
        args = band;
        args.insert(args.end(), {"-srcwin", "1595", "0", "10", "30"});
        if (*margin != '\0') args.insert(args.end(), {"-fill_margin", margin});
        args.insert(args.end(), {in, part});
        const Ran r = run(args);
        if (*margin != '\0') {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("-srcwin y -fill: 300 celdas de la ventana dependen"), std::string::npos) << r.err;
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        const int cols = test::envi_size(test::slurp(whole + "_zorvl.hdr")).first, n = sizeof(double);
        EXPECT_TRUE(test::slurp(part + "_zorvl.raw") ==
                    test::window_of(test::slurp(whole + "_zorvl.raw"), cols * n, 1595 * n, 0, 10 * n, 30));
    }
    // the cells left without a class that windows count add up to the whole run's
    std::ofstream(in) << test::dxf_of({0, 0, 200, 150}, {{150, {{0, 10}, {200, 140}}}, {210, {{0, 140}, {200, 10}}}});
    const auto lost = [&](std::vector<std::string> window) {
        std::vector<std::string> classes = {"-q", "--overwrite", "-of", "ENVI", "-tr", "2", "-interval", "10", "-min",
                                            "100", "-max", "200"};
        classes.insert(classes.end(), window.begin(), window.end());
        classes.insert(classes.end(), {in, part});
        const Ran r = run(classes);
        std::smatch said;
        EXPECT_EQ(r.status, 0) << r.err;
        return std::regex_search(r.err, said, std::regex("([0-9]+) celdas con curva")) ? std::stoll(said[1]) : 0;
    };
    const long long all = lost({});
    const auto [width, height] = test::envi_size(test::slurp(part + "_zorvl.hdr"));
    long long windows = 0;
    for (const int x : {0, width / 3})
        for (const int y : {0, height / 2})
            windows += lost({"-srcwin", std::to_string(x), std::to_string(y), std::to_string(x == 0 ? width / 3 : width - x),
                             std::to_string(y == 0 ? height / 2 : height - y)});
    EXPECT_EQ(windows, all);
    // a window beyond the grid stops the run in one line
    const Ran beyond = run({"-q", "--overwrite", "-tr", "10", "-interval", "10", "-min", "100", "-max", "200", "-srcwin",
                            "0", "0", "1000", "1", in, part});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.err.rfind("zorvel_raster: -srcwin: la ventana sale de la cuadrícula de ", 0), 0u) << beyond.err;
    // four hundred runs in one process leave no descriptor open
    EXPECT_EQ(descriptors(), open_before);
}

// A plan of the fill: every window's command alone, with the table the
// plan wrote, gives the whole run's cells, where hilltops, hollows and the
// plain between the hills (areas of one level) cross the windows' edges
// and reach far past any margin. A table that is not the window's is refused.
TEST(CommandLine, APlanOfTheFillMosaicsToTheWholeRun) {
    test::TempDir tmp;
    const std::string in = tmp.root() + "hills.dxf", whole = tmp.root() + "whole", plan = tmp.root() + "plan";
    std::mt19937 rng(29);
    const auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int windows = 0;
    for (int k = 0; k < 6; ++k) {
        // hills and pits of rings every 10 m from 100, wavy, on a plain at 100
        std::vector<test::DrawnLine> lines;
        for (int h = 2 + below(5); h > 0; --h) {
            const double cx = below(200), cy = below(150), r0 = 15 + below(40);
            const int rings = 1 + below(4), sense = below(3) == 0 ? -1 : 1;
            for (int ring = 0; ring < rings; ++ring) {
                test::DrawnLine& l = lines.emplace_back(test::DrawnLine{100.0 + sense * 10 * ring + (sense < 0) * 50, {}});
                const double r = r0 * (rings - ring) / rings;
                for (int v = 0; v <= 16; ++v) {
                    const double t = 2 * M_PI * (v % 16) / 16, wave = 1 + 0.1 * std::sin(3 * t + h);
                    l.at.push_back({cx + r * wave * std::cos(t), cy + r * wave * std::sin(t)});
                }
            }
        }
        std::ofstream(in) << test::dxf_of({0, 0, 200, 150}, lines);
        const bool classes = k % 3 == 2;
        std::vector<std::string> settings = {"-q", "--overwrite", "-of", "ENVI", "-tr", std::to_string(1 + below(2)),
                                             "-rot", below(2) ? "0" : "30", "-interval", "10", "-min", "50", "-max", "200",
                                             "-fill"};
        if (!classes) settings.insert(settings.end(), {"-ot", "Float64"});
        const std::size_t cell = classes ? 1 : sizeof(double);
        auto args = settings;
        args.insert(args.end(), {in, whole});
        ASSERT_EQ(run(args).status, 0);
        const auto [cols, rows] = test::envi_size(test::slurp(whole + "_zorvl.hdr"));
        const std::string all = test::slurp(whole + "_zorvl.raw");
        args = settings;
        args.insert(args.end(), {"-plan", std::to_string(20 + below(40)), std::to_string(20 + below(40)), in, plan});
        const Ran planned = run(args);
        ASSERT_EQ(planned.status, 0) << planned.err;
        std::istringstream commands(planned.out);
        for (std::string line; std::getline(commands, line); ++windows) {
            std::istringstream words(line);
            std::vector<std::string> window{std::istream_iterator<std::string>(words), {}};
            window.erase(window.begin());
            SCOPED_TRACE(line);
            const Ran r = run(window);
            ASSERT_EQ(r.status, 0) << r.err;
            const auto at = std::find(window.begin(), window.end(), "-srcwin");
            const int x = std::stoi(at[1]), y = std::stoi(at[2]), w = std::stoi(at[3]), h = std::stoi(at[4]);
            const int n = static_cast<int>(cell);
            ASSERT_TRUE(test::slurp(window.back() + "_zorvl.raw") == test::window_of(all, cols * n, x * n, y, w * n, h));
            if (x == 0 && y == 0 && k == 0) {
                // another window than the table's, or another drawing's table, stops in one line
                std::vector<std::string> other = window;
                other[static_cast<std::size_t>(at - window.begin()) + 3] = std::to_string(w + 1);
                const Ran refused = run(other);
                EXPECT_EQ(refused.status, 1);
                EXPECT_EQ(refused.err.rfind("zorvel_raster: -fill_table: " + plan + ".fill: no tiene la ventana -srcwin", 0), 0u)
                    << refused.err;
                // a damaged table: cut short, or an index of more windows than the file holds
                const std::string bytes = test::slurp(plan + ".fill");
                for (const std::string& damaged : {bytes.substr(0, 32), bytes.substr(0, 16) + std::string("\0\0\0\0\x80\0\0\0", 8) +
                                                                                       bytes.substr(24)}) {
                    std::ofstream(tmp.root() + "damaged.fill", std::ios::binary) << damaged;
                    other = window;
                    other[static_cast<std::size_t>(std::find(other.begin(), other.end(), "-fill_table") - other.begin()) + 1] =
                        tmp.root() + "damaged.fill";
                    const Ran bad = run(other);
                    EXPECT_EQ(bad.status, 1);
                    EXPECT_NE(bad.err.find("damaged.fill: no es una tabla del relleno de -plan"), std::string::npos) << bad.err;
                }
                std::ofstream(tmp.root() + "one.dxf") << test::dxf_of({0, 0, 200, 150}, {lines[0]});
                other = window;
                other[other.size() - 2] = tmp.root() + "one.dxf";
                const Ran stranger = run(other);
                EXPECT_EQ(stranger.status, 1);
                EXPECT_NE(stranger.err.find("-fill_table: " + std::to_string(w * h) + " celdas de la ventana no son las"),
                          std::string::npos)
                    << stranger.err;
            }
        }
        if (k == 1) {
            // with a margin given, the windows fill alone: no table
            fs::remove(plan + ".fill");
            args.insert(args.end() - 2, {"-fill_margin", "40"});
            const Ran alone = run(args);
            ASSERT_EQ(alone.status, 0) << alone.err;
            EXPECT_TRUE(alone.out.find(" -fill_margin 40 ") != std::string::npos &&
                        alone.out.find("-fill_table") == std::string::npos && !fs::exists(plan + ".fill"))
                << alone.out;
            // a mosaic that cannot be written (a file size limit for a full
            // disk) stops the plan in one line, no command printed, and the
            // mosaic written before stays
            const std::string before = test::slurp(plan + ".vrt");
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 1000;  // the stop line fits, the mosaic does not, nor fputs's buffer
            setrlimit(RLIMIT_FSIZE, &small);
            const Ran full = run(args);
            setrlimit(RLIMIT_FSIZE, &saved);
            EXPECT_EQ(full.status, 1);
            EXPECT_NE(full.err.find(plan + ".vrt: File too large"), std::string::npos) << full.err;
            EXPECT_TRUE(full.out.empty()) << full.out;
            EXPECT_EQ(test::slurp(plan + ".vrt"), before);
        }
    }
    EXPECT_GT(windows, 60);
}

// Adjacent sheets make the grid of one drawing over their united extents
// that holds all their polylines in order: the same cells, the same
// default interval and limits, and the same windows.
// Past the elevations pass one can count, a filled run's interval comes
// from the drawn cells: the fill keeps them for it.
TEST(CommandLine, AFillOfVeryManyElevationsTakesItsIntervalFromTheDrawnCells) {
    test::TempDir tmp;
    const std::string in = tmp.root() + "many.dxf";
    std::vector<test::DrawnLine> lines;
    // 70,000 short lines at as many elevations, their whole ones every 10 m from 100 to 190
    for (int k = 0; k < 70000; ++k) {
        const double x = 1 + k % 97, y = 1 + (k / 97) % 48;
        lines.push_back(test::DrawnLine{100 + 10 * (k % 10) + k * 1e-6, {{x, y}, {x + 0.3, y + 0.2}}});
    }
    std::ofstream(in) << test::dxf_of({0, 0, 100, 50}, lines);
    const Ran r = run({"--overwrite", "-of", "ENVI", "-tr", "1", "-fill", "-ot", "Float32", in, tmp.root() + "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("10: la equidistancia de las curvas"), std::string::npos) << r.out;
}

TEST(CommandLine, SheetsOfAnArchiveMakeOneGrid) {
    test::TempDir tmp;
    std::mt19937 rng(5);
    const auto below = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    // three sheets whose extents together make 0..200 by 0..150, overlapping
    const int sheet_extents[3][4] = {{0, 0, 120, 150}, {80, 0, 200, 90}, {100, 60, 190, 140}};
    const std::string one = tmp.root() + "one.dxf";
    for (int k = 0; k < 40; ++k) {
        std::vector<test::DrawnLine> all;
        for (int s = 0; s < 3; ++s) {
            const int* e = sheet_extents[s];
            std::vector<test::DrawnLine> sheet;
            for (int p = 1 + below(4); p > 0; --p) {
                test::DrawnLine& l = sheet.emplace_back(test::DrawnLine{100.0 + 10 * below(8), {}});
                for (int v = 2 + below(8); v > 0; --v)
                    l.at.push_back({static_cast<double>(e[0] + below(e[2] - e[0] + 1)), static_cast<double>(e[1] + below(e[3] - e[1] + 1))});
            }
            std::ofstream(tmp.root() + "s" + std::to_string(s) + ".dxf") << test::dxf_of({1.0 * e[0], 1.0 * e[1], 1.0 * e[2], 1.0 * e[3]}, sheet);
            all.insert(all.end(), sheet.begin(), sheet.end());
        }
        std::ofstream(one) << test::dxf_of({0, 0, 200, 150}, all);
        const char* angles[] = {"0", "0", "30", "90", "133"};
        std::vector<std::string> settings = {"-q", "--overwrite", "-of", "ENVI", "-tr", std::to_string(2 + below(6)),
                                             "-rot", angles[below(5)]};
        if (k % 4 == 3) settings.insert(settings.end(), {"-interval", "10", "-min", "100", "-max", "200", "-srcwin",
                                                         std::to_string(below(10)), std::to_string(below(10)), "7", "9"});
        SCOPED_TRACE(testing::Message() << k << ": -tr " << settings[5] << " -rot " << settings[7]);
        auto args = settings;
        args.insert(args.end(), {one, tmp.root() + "one"});
        ASSERT_EQ(run(args).status, 0);
        args = settings;
        args.insert(args.end(), {tmp.root() + "s0.dxf", tmp.root() + "s1.dxf", tmp.root() + "s2.dxf", tmp.root() + "three"});
        const Ran r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(test::slurp(tmp.root() + "three_zorvl.raw") == test::slurp(tmp.root() + "one_zorvl.raw"));
        EXPECT_EQ(test::slurp(tmp.root() + "three_zorvl_tab.txt"), test::slurp(tmp.root() + "one_zorvl_tab.txt"));
        const std::string h = test::slurp(tmp.root() + "three_zorvl.hdr"), o = test::slurp(tmp.root() + "one_zorvl.hdr");
        EXPECT_EQ(h.substr(h.find("map info")), o.substr(o.find("map info")));
        EXPECT_NE(h.find("{zorvel_raster: s0.dxf, s1.dxf, s2.dxf,"), std::string::npos) << h;
    }
    // a sheet without usable extents stops the run, whichever it is
    std::ofstream(tmp.root() + "none.dxf") << "0\nSECTION\n9\n$EXTMIN\n10\n0\n20\n0\n9\n$EXTMAX\n10\n1e20\n20\n1e20\n0\nEOF\n";
    const Ran r = run({"-q", "--overwrite", "-tr", "5", "-reg", "0", tmp.root() + "s0.dxf", tmp.root() + "none.dxf", tmp.root() + "bad"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("el dibujo " + tmp.root() + "none.dxf no da extensiones utilizables"), std::string::npos) << r.err;
}

// What depends on the build: without GDAL only old-style DXF is read, and
// only ENVI's files written.
TEST(CommandLine, SourcesTheBuildCannotReadStopInOneLine) {
    test::TempDir tmp;
    const std::string none = tmp.root() + "n.dxf";
    std::ofstream(none) << "0\nLWPOLYLINE\n38\n100\n10\n1\n20\n2\n0\nEOF\n";
    const Ran nr = run({"-tr", "10", none, tmp.root() + "o"});
    EXPECT_EQ(nr.status, 1);
    EXPECT_NE(nr.err.find(ogr_available() ? "GDAL no puede abrir" : ogr_unavailable_why() + ": solo lee dibujos DXF"),
              std::string::npos)
        << nr.err;
    EXPECT_EQ(std::count(nr.err.begin(), nr.err.end(), '\n'), 1);
    // every option that only the GDAL reader takes is refused where it is missing
    for (const std::string option : {"-ogr", "-3d", "-l x", "-where x", "-a x"}) {
        std::vector<std::string> args = {"-tr", "10", option.substr(0, option.find(' '))};
        if (option.find(' ') != std::string::npos) args.push_back("x");
        args.insert(args.end(), {tmp.root() + "nada.dxf", tmp.root() + "o"});
        EXPECT_EQ(run(args).status, ogr_available() ? 1 : 2) << option;
    }
    // an old-style DXF is read by the program, which would drop what only GDAL honours
    // (a colon in its name makes no GDAL connection of it)
    const std::string old = tmp.root() + "c-1:2.dxf";
    std::ofstream(old) << test::vertical_contours({{12, 100}, {32, 110}});
    for (const std::vector<std::string>& option : {std::vector<std::string>{"-where", "cota > 0"}, {"-l", "x"}, {"-a", "h"}, {"-3d"}}) {
        std::vector<std::string> args = {"-tr", "10", "-interval", "10"};
        args.insert(args.end(), option.begin(), option.end());
        args.insert(args.end(), {old, tmp.root() + "o"});
        const Ran r = run(args);
        EXPECT_EQ(r.status, kUsageError) << option[0];
        if (ogr_available()) {
            EXPECT_EQ(r.err, "zorvel_raster: -l, -where, -a y -3d solo valen para las fuentes leídas con GDAL, y " + old +
                                 " es un DXF antiguo que lee el programa: añada -ogr para leerlo con GDAL\n");
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 2);
    // a GDAL format where the build has GDAL; ENVI's files alone where not
    const std::string out = tmp.root() + "o.tif";
    const Ran tif = run({"-q", "-tr", "10", "-of", "GTiff", old, out});
    EXPECT_EQ(tif.status, ogr_available() ? 0 : kUsageError) << tif.err;
    if (!ogr_available()) {
        EXPECT_EQ(tif.err.rfind("zorvel_raster: -of: ", 0), 0u) << tif.err;
        ASSERT_EQ(run({"-q", "-tr", "10", old, out}).status, 0);
        EXPECT_TRUE(fs::exists(out + "_zorvl.raw"));
    }
}

TEST(CommandLine, SkipCountFromTheFirstVertexRecord) {
    // (the writers' drawings are read with their skip counts end to end)
    const std::pair<const char*, int> cases[] = {
        // a layer named VERTEX in the polyline record is no vertex record
        {"0 POLYLINE 8 VERTEX 66 1 0 VERTEX 8 CURVAS DE NIVEL 10 1", 4},
        {"0 POLYLINE 8 VERTEX 10 0 20 0 30 100 0 VERTEX 5 1F 8 L 10 1", 4},  // nor is the polyline's own point
        {"0 VERTEX 8 L 42 1 0 VERTEX 5 A 10 1", 2},
        {"0 VERTEX 10 1", 0},
        {"0 LWPOLYLINE 10 1 20 2", -1},
    };
    for (const auto& [drawing, reg] : cases) {
        FileHandle f = test::stream_of(drawing);
        DrawingReader rd(f.get());
        EXPECT_EQ(first_fitting_skip_count(rd), reg) << drawing;
        std::rewind(f.get());
        // the word scanner reads a .dxf whose records it finds, or whose skip count is given
        EXPECT_EQ(old_style_dxf("a.DXF", f.get(), false), reg >= 0) << drawing;
        EXPECT_TRUE(old_style_dxf("a.dxf", f.get(), true));
        EXPECT_FALSE(old_style_dxf("a.gpkg", f.get(), true));
    }
}

// The man page's options are the table's, no more and no fewer: each option
// as it is first spelled heads an entry of the page's OPTIONS (-min and -max
// share one).
TEST(CommandLine, TheManPageListsTheOptionsOfTheTable) {
    std::ifstream page(std::string(ZORVEL_SOURCE_DIR) + "/doc/zorvel_raster.1");
    ASSERT_TRUE(page) << "doc/zorvel_raster.1";
    std::set<std::string> documented;
    bool options = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind(".SH", 0) == 0) options = line == ".SH OPTIONS";
        if (!options || line.rfind(".B", 0) != 0) continue;
        // "\-tr", "\-\-overwrite": the option's words, unescaped
        for (std::size_t at = line.find("\\-"); at != std::string::npos; at = line.find("\\-", at)) {
            std::string word;
            std::size_t k = at;
            for (; line.compare(k, 2, "\\-") == 0; k += 2) word += '-';
            while (k < line.size() && (std::isalnum(static_cast<unsigned char>(line[k])) != 0 || line[k] == '_')) word += line[k++];
            documented.insert(word);
            at = k;
        }
    }
    std::set<std::string> table;
    for (const OptionSpec& o : option_table())
        if (o.names != nullptr) table.insert(std::string(o.names).substr(0, std::string(o.names).find('|')));
    EXPECT_EQ(documented, table);
}

}  // namespace
}  // namespace zorvel

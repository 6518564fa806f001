// The memory check under an address-space limit, and allocations that fail
// past it. Not in the sanitizer builds: their shadow memory does not fit
// such a limit, and they keep operator new for themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "cli/command_line.h"
#include "process.h"
#include "test_support.h"

namespace {
// Allocations of more bytes than this fail, as they would where the memory is not there.
std::size_t g_refuse_above = SIZE_MAX;
}  // namespace

// malloc and free behind new and delete, as the library's own are
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    if (n > g_refuse_above) throw std::bad_alloc();
    if (void* p = std::malloc(n != 0 ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zorvel {
namespace {

TEST(MemoryLimit, TheGridIsCheckedAgainstWhatTheProcessMayTake) {
    test::TempDir tmp;
    const std::string drawing = tmp.root() + "c.dxf", errors = tmp.root() + "err.txt";
    std::ofstream(drawing) << test::dxf_of({0, 0, 100, 50}, {{100, {{10, 10}, {90, 40}}}});
    // 20,001 x 40,001 cells of one byte: 763 MiB, more than the 512 MiB the process may take
    const test::Exit e =
        test::run_program({"-q", "-tr", "0.0025", "-interval", "10", drawing, tmp.root() + "o"}, errors, [] {
            rlimit as{std::size_t{512} << 20, std::size_t{512} << 20};
            setrlimit(RLIMIT_AS, &as);
        });
    const std::string& err = e.err;
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 1) << e.status << " " << err;
    EXPECT_EQ(err.rfind("zorvel_raster: la cuadrícula de 20001 líneas y 40001 columnas necesita 763 MiB de memoria y "
                        "solo hay ",
                        0),
              0u)
        << err;
    // and which extents made the grid, with what to do
    EXPECT_NE(err.find(" MiB; las extensiones del dibujo ($EXTMIN, $EXTMAX) para X de 0 a 100 e Y de 0 a 50 con píxel "
                       "0.0025; indique -te XMIN YMIN XMAX YMAX o un píxel mayor\n"),
              std::string::npos)
        << err;
    // what the process may still take: the limit less what it has taken
    EXPECT_LT(std::stoi(err.substr(err.find("solo hay ") + 9)), 512) << err;
    // a plan of the fill holds a strip of the grid at a time: the grid whose
    // fill would need 850 MiB is planned within the 512 MiB
    const test::Exit p = test::run_program({"-q", "-tr", "0.01", "-interval", "10", "-fill", "-ot", "Float32", "-plan", "100",
                                            "100", drawing, tmp.root() + "p"},
                                           errors, [] {
                                               rlimit as{std::size_t{512} << 20, std::size_t{512} << 20};
                                               setrlimit(RLIMIT_AS, &as);
                                           });
    EXPECT_TRUE(WIFEXITED(p.status) && WEXITSTATUS(p.status) == 0) << p.status << " " << p.err;
    EXPECT_GT(std::filesystem::file_size(tmp.root() + "p.fill"), 5000u * 100u);
    // the elevations of an image of them are counted too: 200 million cells of 1 + 8 + 4 bytes
    const test::Exit f = test::run_program(
        {"-q", "-tr", "0.005", "-ot", "Float32", "-of", "GTiff", drawing, tmp.root() + "o.tif"}, errors, [] {
            rlimit as{std::size_t{2} << 30, std::size_t{2} << 30};
            setrlimit(RLIMIT_AS, &as);
        });
    EXPECT_TRUE(WIFEXITED(f.status) && WEXITSTATUS(f.status) == 1) << f.status << " " << f.err;
    EXPECT_EQ(f.err.rfind("zorvel_raster: la cuadrícula de 10001 líneas y 20001 columnas necesita ", 0), 0u) << f.err;
}

// An allocation that fails where none was foreseen stops the run in one
// line, and leaves neither a file nor the lock.
TEST(MemoryLimit, AnAllocationThatFailsStopsTheRunAndLeavesNothing) {
    test::TempDir tmp;
    const std::string drawing = tmp.root() + "c.dxf";
    std::ofstream(drawing) << "0\nSECTION\n9\n$EXTMIN\n10\n0\n20\n0\n9\n$EXTMAX\n10\n100\n20\n50\n0\nENDSEC\n"
                              "0\nPOLYLINE\n0\nVERTEX\n10\n10\n20\n10\n30\n100\n0\nVERTEX\n10\n90\n20\n40\n30\n110\n"
                              "0\nSEQEND\n0\nEOF\n";
    // 2,001 x 4,001 cells: their elevations are 64 MB
    for (const char* more : {"-ot", "-fill"}) {
        SCOPED_TRACE(more);
        std::vector<std::string> args = {"-q", "-tr", "0.025", "-interval", "10", more};
        if (std::string(more) == "-ot") args.push_back("Float32");
        args.insert(args.end(), {drawing, tmp.root() + "o"});
        test::ScriptedConsole sc("");
        g_refuse_above = std::size_t{32} << 20;
        const int status = run_command_line(args, sc.con);
        g_refuse_above = SIZE_MAX;
        EXPECT_EQ(status, 1);
        EXPECT_EQ(sc.errors(), std::string(more) == "-ot"
                                   ? "zorvel_raster: sin memoria: la ejecución no puede tener la que necesita\n"
                                   : "zorvel_raster: sin memoria para el relleno entre las curvas de 2001 líneas y 4001 columnas\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path), std::filesystem::directory_iterator()), 1);
    }
}

}  // namespace
}  // namespace zorvel

// The memory check under an address-space limit. Not in the sanitizer
// builds: their shadow memory does not fit such a limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "process.h"
#include "test_support.h"

namespace zorvel {
namespace {

TEST(MemoryLimit, TheGridIsCheckedAgainstWhatTheProcessMayTake) {
    test::TempDir tmp;
    const std::string drawing = tmp.root() + "c.dxf", errors = tmp.root() + "err.txt";
    std::ofstream(drawing) << "0\nSECTION\n9\n$EXTMIN\n10\n0\n20\n0\n9\n$EXTMAX\n10\n100\n20\n50\n0\nENDSEC\n"
                              "0\nPOLYLINE\n0\nVERTEX\n10\n10\n20\n10\n30\n100\n0\nVERTEX\n10\n90\n20\n40\n30\n100\n"
                              "0\nSEQEND\n0\nEOF\n";
    // 20,001 x 40,001 cells of one byte: 763 MiB, more than the 512 MiB the process may take
    const test::Exit e =
        test::run_program({"-q", "-tr", "0.0025", "-interval", "10", drawing, tmp.root() + "o"}, errors, [] {
            rlimit as{std::size_t{512} << 20, std::size_t{512} << 20};
            setrlimit(RLIMIT_AS, &as);
        });
    const std::string& err = e.err;
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 1) << e.status << " " << err;
    EXPECT_EQ(err.rfind("zorvel_raster: la cuadricula de 20001 lineas y 40001 columnas necesita 763 MiB de memoria y "
                        "solo hay ",
                        0),
              0u)
        << err;
    EXPECT_NE(err.find("; indique -te XMIN YMIN XMAX YMAX o un pixel mayor\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace zorvel

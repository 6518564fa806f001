// The memory check under an address-space limit. Not in the sanitizer
// builds: their shadow memory does not fit such a limit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <string>

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
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        rlimit as{std::size_t{512} << 20, std::size_t{512} << 20};
        setrlimit(RLIMIT_AS, &as);
        execl(ZORVEL_BINARY, "zorvel_raster", "-q", "-tr", "0.0025", "-interval", "10", drawing.c_str(),
              (tmp.root() + "o").c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string err = test::slurp(errors);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << " " << err;
    EXPECT_EQ(err.rfind("zorvel_raster: la cuadricula de 20001 lineas y 40001 columnas necesita 763 MiB de memoria y "
                        "solo hay ",
                        0),
              0u)
        << err;
    EXPECT_NE(err.find("; indique -te XMIN YMIN XMAX YMAX o un pixel mayor\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace zorvel

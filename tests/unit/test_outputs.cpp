// The output set of the program run as a process: whole after a signal at
// every named step and after runs that race for one output, never taken by a
// standard descriptor the process started without; and the drawings it
// refuses rather than lose what they hold.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "dialogue/dialogue_run.h"
#include "process.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::Exit;
using test::finish;
using test::run_program;
using test::start;

const char* const kSuffixes[] = {"_zorvl.raw", "_zorvl.txt", "_zorvl_tab.txt", "_zorvl.hdr", "_zorvl.qml"};

// The outputs of base, as one text.
std::string output_set(const std::string& base) {
    std::string all;
    for (const char* suffix : kSuffixes) all += test::slurp(base + suffix) + '\x1e';
    return all;
}

std::set<std::string> folder(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

struct Sheet {
    test::TempDir tmp;
    fs::path dir = tmp.path / "out";
    std::string drawing = tmp.root() + "c.dxf";
    std::string out = (dir / "o").string();
    std::string errors = tmp.root() + "err.txt";
    std::string old_set, new_set;
    std::set<std::string> outputs = {"o_zorvl.raw", "o_zorvl.txt", "o_zorvl_tab.txt", "o_zorvl.hdr", "o_zorvl.qml"};
    Sheet() {
        fs::create_directory(dir);
        std::vector<std::pair<double, double>> ten;  // 100 to 190, the last on the extents' maximum X
        for (double x = 10; x <= 100; x += 10) ten.push_back({x, 90 + x});
        std::ofstream(drawing) << test::vertical_contours(ten);
        // the two sets, told apart by their interval
        EXPECT_EQ(run_program(args(10), errors).status, 0);
        new_set = output_set(out);
        EXPECT_EQ(run_program(args(20), errors).status, 0);
        old_set = output_set(out);
        EXPECT_NE(old_set, new_set);
    }
    std::vector<std::string> args(int interval, bool overwrite = true) const {
        std::vector<std::string> a = {"-q", "-tr", "10", "-interval", std::to_string(interval), drawing, out};
        if (overwrite) a.insert(a.begin(), "--overwrite");
        return a;
    }
    void put_back_old() const {
        EXPECT_EQ(run_program(args(20), errors).status, 0);
        EXPECT_EQ(output_set(out), old_set);
    }
};

TEST(Outputs, ASignalAtEveryStepLeavesAWholeSetAndNoOtherFile) {
    Sheet sheet;
    for (const char* step : {"created", "commit", "renamed"}) {
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) {
            SCOPED_TRACE(testing::Message() << step << " " << strsignal(sig));
            sheet.put_back_old();
            const std::string ask = std::string(step) + ":" + std::to_string(sig);
            const Exit e = run_program(sheet.args(10), sheet.errors,
                                       [&] { setenv("ZORVEL_RASTER_TEST_SIGNAL", ask.c_str(), 1); });
            ASSERT_TRUE(WIFSIGNALED(e.status)) << e.status << " " << e.err;
            EXPECT_EQ(WTERMSIG(e.status), sig);
            EXPECT_EQ(folder(sheet.dir), sheet.outputs);
            // the renames are not interrupted: once begun, the new set is whole
            EXPECT_EQ(output_set(sheet.out), std::string(step) == "renamed" ? sheet.new_set : sheet.old_set);
        }
    }
    // a rename that fails once the first is made: stopped after it, the
    // others' names taken by folders, the run puts the first file back
    sheet.put_back_old();
    std::vector<fs::path> paths;
    std::vector<ino_t> inodes;
    struct stat st {};
    for (const char* suffix : kSuffixes) {
        paths.push_back(sheet.out + suffix);
        inodes.push_back(stat(paths.back().c_str(), &st) == 0 ? st.st_ino : 0);
    }
    const pid_t pid = start(sheet.args(10), sheet.errors, [] { setenv("ZORVEL_RASTER_TEST_SIGNAL", "renamed:19", 1); });
    int stopped = 0;
    ASSERT_EQ(waitpid(pid, &stopped, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(stopped)) << stopped;
    std::size_t first = paths.size();
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (stat(paths[k].c_str(), &st) == 0 && st.st_ino != inodes[k])
            first = k;
        else if (fs::remove(paths[k]))
            fs::create_directory(paths[k]);
    }
    kill(pid, SIGCONT);
    const Exit failed = finish(pid, sheet.errors);
    EXPECT_TRUE(WIFEXITED(failed.status) && WEXITSTATUS(failed.status) == 1) << failed.status << " " << failed.err;
    EXPECT_NE(failed.err.find(": las salidas anteriores quedan como estaban\n"), std::string::npos) << failed.err;
    ASSERT_LT(first, paths.size());
    EXPECT_TRUE(stat(paths[first].c_str(), &st) == 0 && st.st_ino == inodes[first]) << paths[first];
    for (const fs::path& p : paths) fs::remove(p);
    // a signal the process was started with ignored (a background job's) stays ignored
    sheet.put_back_old();
    const std::string ask = "created:" + std::to_string(SIGINT);
    const Exit e = run_program(sheet.args(10), sheet.errors, [&] {
        setenv("ZORVEL_RASTER_TEST_SIGNAL", ask.c_str(), 1);
        std::signal(SIGINT, SIG_IGN);
    });
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 0) << e.status;
    EXPECT_EQ(output_set(sheet.out), sheet.new_set);
    // a GeoTIFF, with its class names' sidecar, where this build writes one
    const std::string tif = sheet.out + ".tif";
    const std::vector<std::string> gdal = {"-q", "--overwrite", "-tr", "10", "-interval", "20", sheet.drawing, tif};
    if (run_program(gdal, sheet.errors).status != 0) return;
    const std::string earlier = test::slurp(tif) + test::slurp(tif + ".aux.xml") + test::slurp(sheet.out + ".qml");
    for (const char* step : {"created", "commit"}) {
        SCOPED_TRACE(step);
        const std::string at_step = std::string(step) + ":" + std::to_string(SIGTERM);
        std::vector<std::string> args = gdal;
        args[5] = "10";
        const Exit t = run_program(args, sheet.errors, [&] { setenv("ZORVEL_RASTER_TEST_SIGNAL", at_step.c_str(), 1); });
        EXPECT_TRUE(WIFSIGNALED(t.status)) << t.status << " " << t.err;
        std::set<std::string> want = sheet.outputs;
        want.insert({"o.tif", "o.tif.aux.xml", "o.qml"});
        EXPECT_EQ(folder(sheet.dir), want);
        EXPECT_EQ(test::slurp(tif) + test::slurp(tif + ".aux.xml") + test::slurp(sheet.out + ".qml"), earlier);
    }
    // a disk that takes the style but not the raster: one line naming it,
    // exit 1, the earlier set whole
    std::vector<std::string> args = gdal;
    args[5] = "10";
    const auto style = fs::file_size(sheet.out + ".qml"), raster = fs::file_size(tif);
    ASSERT_LT(style + 100, raster);
    const rlim_t half = static_cast<rlim_t>((style + raster) / 2);
    const Exit full = run_program(args, sheet.errors, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{half, half};
        setrlimit(RLIMIT_FSIZE, &r);
    });
    EXPECT_TRUE(WIFEXITED(full.status) && WEXITSTATUS(full.status) == 1) << full.status << " " << full.err;
    EXPECT_EQ(full.err.rfind("zorvel_raster: no se puede escribir " + tif + ": ", 0), 0u) << full.err;
    EXPECT_EQ(std::count(full.err.begin(), full.err.end(), '\n'), 1) << full.err;
    EXPECT_EQ(test::slurp(tif) + test::slurp(tif + ".aux.xml") + test::slurp(sheet.out + ".qml"), earlier);
}

TEST(Outputs, RunsRacingForOneOutputLeaveOneWholeSet) {
    Sheet sheet;
    // ZORVEL_RACE_PAIRS runs more of them by hand; under a sanitizer, which
    // sees the same races, fewer
    const char* asked = std::getenv("ZORVEL_RACE_PAIRS");
    const int kPairs = asked != nullptr ? std::atoi(asked) : test::kSanitized ? 10 : 40;
    int waited = 0;
    for (bool overwrite : {true, false}) {
        for (int k = 0; k < kPairs; ++k) {
            SCOPED_TRACE(testing::Message() << (overwrite ? "--overwrite " : "") << k);
            if (!overwrite)
                for (const char* suffix : kSuffixes) fs::remove(sheet.out + suffix);
            const std::string err_a = sheet.errors + "a", err_b = sheet.errors + "b";
            const pid_t a = start(sheet.args(10, overwrite), err_a);
            const pid_t b = start(sheet.args(20, overwrite), err_b);
            const Exit ea = finish(a, err_a), eb = finish(b, err_b);
            waited += ea.err.find("espero") != std::string::npos || eb.err.find("espero") != std::string::npos;
            const std::string set = output_set(sheet.out);
            EXPECT_TRUE(set == sheet.new_set || set == sheet.old_set);
            EXPECT_EQ(folder(sheet.dir), sheet.outputs);
            const int sa = WEXITSTATUS(ea.status), sb = WEXITSTATUS(eb.status);
            if (overwrite) {
                EXPECT_EQ(sa + sb, 0) << ea.err << eb.err;
            } else {
                // the later one finds the earlier one's outputs, and leaves them
                EXPECT_EQ(sa + sb, 2) << ea.err << eb.err;
                EXPECT_EQ(set, sa == 0 ? sheet.new_set : sheet.old_set);
            }
        }
    }
    std::printf("%d of %d pairs waited for the other run\n", waited, 2 * kPairs);
}

TEST(Outputs, DescriptorsTheProcessStartsWithoutTakeNoOutput) {
    Sheet sheet;  // its last run wrote the warning of the contour on the maximum X to its errors
    ASSERT_NE(test::slurp(sheet.errors).find("aviso"), std::string::npos);
    // without standard error, its warning goes nowhere, not into the image
    const Exit e = run_program(sheet.args(10), sheet.errors, [] { close(2); });
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 0);
    EXPECT_EQ(output_set(sheet.out), sheet.new_set);
    // without standard input either, and without standard output: the
    // summary cannot be written, which is a failure as it always was
    const auto drop_all = [] {
        close(0);
        close(1);
        close(2);
    };
    std::vector<std::string> loud = sheet.args(20);
    loud.erase(std::find(loud.begin(), loud.end(), "-q"));
    const Exit closed = run_program(loud, sheet.errors, drop_all);
    EXPECT_TRUE(WIFEXITED(closed.status) && WEXITSTATUS(closed.status) == 1) << closed.status;
    EXPECT_EQ(output_set(sheet.out), sheet.old_set);
}

TEST(Outputs, DrawingsThatCannotBeReadTwiceAreRefusedAtTheStart) {
    test::TempDir tmp;
    const std::string pipe = tmp.root() + "pipe.dxf", loop = tmp.root() + "loop.dxf";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    fs::create_symlink(loop, loop);
    const std::string errors = tmp.root() + "err.txt";
    Exit e = run_program({"-tr", "10", pipe, tmp.root() + "o"}, errors);
    EXPECT_EQ(WEXITSTATUS(e.status), 1);
    EXPECT_EQ(e.err, "zorvel_raster: no se puede leer " + pipe +
                         ": no es un archivo (una tubería, un dispositivo), y el dibujo se lee dos veces: cópielo a "
                         "un archivo\n");
    e = run_program({"-tr", "10", loop, tmp.root() + "o"}, errors);
    EXPECT_EQ(WEXITSTATUS(e.status), 1);
    EXPECT_EQ(e.err, "zorvel_raster: no se puede abrir el dibujo " + loop + ": Too many levels of symbolic links\n");
    // the dialogue: the same refusal, before any output is made
    fs::create_directory(tmp.path / "obra");
    ASSERT_EQ(mkfifo((tmp.path / "obra" / "curvas.dxf").c_str(), 0644), 0);
    test::ScriptedConsole sc("obra curvas mapa 10\n");
    EXPECT_EQ(run(sc.con, tmp.root()), 1);
    EXPECT_EQ(sc.errors(), "zorvel_raster: no se puede leer " + tmp.root() +
                               "obra/curvas.dxf: no es un archivo (una tubería, un dispositivo), y el dibujo se lee "
                               "dos veces\n");
    EXPECT_EQ(folder(tmp.path / "obra"), std::set<std::string>{"curvas.dxf"});
}

}  // namespace
}  // namespace zorvel

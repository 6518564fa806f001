// Whole runs in-process: what the user sees for hostile drawings and answers.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "dialogue/dialogue_run.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

// Vertical contours from y = 40 to 10, as (x, elevation) pairs.
std::string contours(const std::vector<std::pair<double, double>>& at) { return test::vertical_contours(at, 40, 10); }

struct Outcome {
    int status;
    std::string err;
    std::string raw;
    std::size_t files;  // in the folder after the run
};

std::string join(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += w + "\n";
    return s;
}

// Runs the program with `drawing` as root/obra/curvas.dxf; `prepare` may
// change the folder (or the process) last. The errors go through a pipe,
// which no file size limit reaches.
Outcome run_with(const std::string& drawing, const std::string& answers,
                 const std::function<void(const fs::path&)>& prepare = {}) {
    test::TempDir tmp;
    const fs::path folder = tmp.path / "obra";
    fs::create_directories(folder);
    std::ofstream(folder / "curvas.dxf", std::ios::binary) << drawing;
    FileHandle in = test::stream_of(answers), out(std::fopen("/dev/null", "w"));
    int pipe_ends[2];
    EXPECT_EQ(pipe(pipe_ends), 0);
    FileHandle err(fdopen(pipe_ends[1], "w"));
    Console con{in.get(), out.get(), err.get(), false};
    if (prepare) prepare(folder);
    Outcome o;
    o.status = run(con, tmp.root());  // the run closes whatever it opened
    err.reset();
    char b[4096];
    for (ssize_t got; (got = read(pipe_ends[0], b, sizeof b)) > 0;) o.err.append(b, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    o.raw = test::slurp(folder / "mapa_zorvl.raw");
    o.files = static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    return o;
}

TEST(Run, WordOfAnySizeIsStreamed) {
    // one contour: no suggestion, so the interval is typed
    const std::string one = join({"obra", "curvas", "mapa", "10", "0", "0", "0", "1", "10", "100", "200"});
    // a word of any size is streamed through a bounded buffer
    const std::string word(64 << 20, 'W');
    std::string drawing = contours({{10, 100}});
    drawing.insert(drawing.find("0\nPOLYLINE"), word + "\n");
    const Outcome o = run_with(drawing, one);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.raw, std::string(4, '\x01'));
}

TEST(Run, ExtentsChangedBetweenPolylinesPlaceOnlyTheLaterVertices) {
    // a second $EXTMIN among the entities moves the vertices read after it, not
    // those before it, even while they are still being drawn
    std::string drawing = contours(std::vector<std::pair<double, double>>(3000, {10, 100}));
    const std::string later = contours({{10, 110}});
    drawing.replace(drawing.find("0\nEOF"), std::string::npos,
                    "9\n$EXTMIN\n10\n-20.0\n20\n0.0\n30\n0.0\n9\n$OTHER\n" + later.substr(later.find("0\nPOLYLINE")));
    const Outcome o =
        run_with(drawing, join({"obra", "curvas", "mapa", "10", "0", "0", "0", "1", "10", "100", "120"}));
    ASSERT_EQ(o.status, 0) << o.err;
    // rows 1..4: class 1 in column 1, class 2 in column 3 (the crop keeps columns 1..3)
    EXPECT_EQ(o.raw, std::string("\x01\xff\x02\x01\xff\x02\x01\xff\x02\x01\xff\x02", 12));
}

TEST(Run, WriteFailureNamesTheFileAndLeavesNoFile) {
    // a file size limit stands for a full disk: each output in turn meets it
    std::signal(SIGXFSZ, SIG_IGN);
    struct Case {
        const char* name;
        const char* pixel;  // 1: an image of 31 x 91 bytes
        rlim_t limit;
    };
    // 0.05: an image of 601 x 1801 bytes, more than the megabyte written at a time
    const Case cases[] = {{"mapa_zorvl_tab.txt", "10", 50},
                          {"mapa_zorvl.txt", "10", 150},
                          {"mapa_zorvl.raw", "1", 1000},
                          {"mapa_zorvl.raw", "0.05", 1000}};
    std::vector<std::pair<double, double>> ten;  // 100 at x = 0 to 190 at x = 90
    for (int k = 0; k < 10; ++k) ten.push_back({10.0 * k, 100.0 + 10 * k});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.pixel);
        std::vector<std::string> answers = {"obra", "curvas", "mapa", "10", "0", "0", "0", "0", "100", "200"};
        answers[3] = c.pixel;
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const Outcome o = run_with(contours(ten), join(answers), [&](const fs::path&) {
            rlimit small = saved;
            small.rlim_cur = c.limit;
            setrlimit(RLIMIT_FSIZE, &small);
        });
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(std::string(c.name) + ": File too large"), std::string::npos) << o.err;
        EXPECT_EQ(o.files, 1u);  // the drawing alone
    }
}

}  // namespace
}  // namespace zorvel
